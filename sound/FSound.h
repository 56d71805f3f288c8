#pragma once
// The five calls of the sound library the show uses, on SDL2_mixer.
//
// Contract:
// - Callers: the loading sequence, the clock step and the close handler, all on
//   the main thread. Not thread-safe; the library's own mixing runs on SDL's
//   audio thread and shares nothing with the caller but what SDL_mixer locks.
// - Ownership: the library owns every sample. A handle is an opaque token checked
//   against the library's table on every use, never dereferenced, so a stale or
//   foreign handle is refused harmlessly. FSOUND_Close frees all samples at once;
//   there is no call to free one.
// - Failures: nothing throws and nothing is printed. Init and SetVolume return
//   false, Sample_Load returns null, PlaySound returns -1. Without a working
//   FSOUND_Init, and after FSOUND_Close, every call does nothing and reports
//   failure; a later FSOUND_Init starts afresh.
// - Unsupported arguments (an explicit sample index, loop modes, a file offset,
//   init flags, a channel outside the allocated range) are refused the same way
//   rather than approximated.

struct FSOUND_SAMPLE; // opaque; never defined

constexpr int FSOUND_FREE = -1;        // sample index or channel: let the library pick
constexpr unsigned FSOUND_2D = 0x2000; // mode: plain stereo sample, plays once

// Opens stereo audio output mixing at MixRate Hz, with MaxChannels mixing
// channels (at least 2, so channel 1 always exists). Flags must be 0.
// False when no device can be opened (the show then plays silent), when the
// arguments are refused, or when the output is already open (it stays open).
bool FSOUND_Init(int MixRate, int MaxChannels, unsigned Flags);

// Decodes the whole file into memory (MP3, WAV and whatever else SDL2_mixer
// decodes). Index must be FSOUND_FREE, Mode 0 or FSOUND_2D, Offset 0. A
// backslash in Name separates folders. Null when the file is missing,
// unreadable, undecodable or holds no sound, when an argument is refused, or
// without a working init.
FSOUND_SAMPLE* FSOUND_Sample_Load(int Index, const char* Name, unsigned Mode, int Offset);

// Stops whatever Channel plays and starts Sample there from its beginning,
// also when it is the sample already playing. FSOUND_FREE picks an idle
// channel. Returns the channel, or -1 when nothing was started (unknown or
// null sample, channel out of range, no idle channel); the channel is then
// left as it was.
int FSOUND_PlaySound(int Channel, FSOUND_SAMPLE* Sample);

// Sets Channel's volume on the scale 0 (silent) to 255 (full); it holds for
// everything later played on that channel and takes effect from the next
// mixing buffer. False, changing nothing, for a channel out of range or a
// volume outside 0..255.
bool FSOUND_SetVolume(int Channel, int Volume);

// Stops all sound, frees every sample, closes the output. Does nothing when
// nothing is open, so it is harmless before init, after a failed init and
// when called twice.
void FSOUND_Close();
