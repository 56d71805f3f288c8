#pragma once
// The five calls of the sound library the show uses, on SDL2_mixer.
// Main thread only. No call ever fails loudly: results are plain values the
// program may ignore, and every call after FSOUND_Close (or without a working
// FSOUND_Init) does nothing.

struct FSOUND_SAMPLE; // opaque; owned by the library, freed by FSOUND_Close

constexpr int FSOUND_FREE = -1;        // sample index: let the library pick
constexpr unsigned FSOUND_2D = 0x2000; // mode: plain stereo sample, plays once

// Opens audio output at MixRate Hz with at least MaxChannels mixing channels.
// False when no device can be opened; the show then plays silent.
bool FSOUND_Init(int MixRate, int MaxChannels, unsigned Flags);

// Decodes the whole file into memory. A backslash in Name separates folders.
// Null when the file is missing, unreadable or undecodable, or before init.
FSOUND_SAMPLE* FSOUND_Sample_Load(int Index, const char* Name, unsigned Mode, int Offset);

// Stops whatever Channel plays and starts Sample from its beginning.
// Returns the channel, or -1 when nothing was started (null sample, bad channel).
int FSOUND_PlaySound(int Channel, FSOUND_SAMPLE* Sample);

// Volume on the scale 0 (silent) to 255 (full).
bool FSOUND_SetVolume(int Channel, int Volume);

// Stops all sound, frees every sample, closes the output. Harmless when
// nothing is open, and when called twice.
void FSOUND_Close();
