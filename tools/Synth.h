#pragma once
// A small software synthesiser for the demo's songs: notes on oscillators
// with envelopes and a resonant low-pass filter, drums from noise and
// sweeping sines, and an echo. A SongMix renders events into a stereo float
// buffer as they are added; Finish turns it into 16-bit PCM.
// One SongMix per thread; the result depends only on the events and the seed.
#include <cstdint>
#include <vector>

#include "tools/DemoRandom.h"

constexpr int SongSampleRate = 44100;
constexpr int SongChannels = 2;

enum class Wave { Sine, Triangle, Saw, Square };

struct Instrument {
    Wave Shape = Wave::Saw;
    float Attack = 0.005f, Decay = 0.15f, Sustain = 0.6f, Release = 0.08f; // seconds, level
    float Cutoff = 20000; // Hz; 12 kHz and above leave the filter out
    float CutoffEnv = 0;  // Hz added at the note's start, dying away with FilterDecay
    float FilterDecay = 0.15f;
    float Resonance = 0;      // 0 .. 0.9
    int Unison = 1;           // detuned copies of the oscillator
    float Detune = 0;         // cents between the outermost copies
    float Vibrato = 0;        // semitones
    float VibratoRate = 5.5f; // Hz
    float Gain = 0.2f;
    float EchoSend = 0; // share of the note fed to the echo
};

// MIDI note number to frequency.
double NoteFrequency(double Midi);

class SongMix {
public:
    SongMix(double Seconds, std::uint64_t Seed);

    double Seconds() const;

    // Pan -1 (left) .. 1 (right). Events reaching past the end are cut.
    void Note(const Instrument& Sound, double Start, double Length, double Midi, float Velocity,
              float Pan = 0);
    void Kick(double Start, float Velocity);
    void Snare(double Start, float Velocity);
    void HiHat(double Start, float Velocity, bool Open);
    void Crash(double Start, float Velocity);

    // Adds the ping-pong echo, fades out over the last FadeOut seconds,
    // normalises with a gentle soft clip and interleaves left and right.
    std::vector<std::int16_t> Finish(double EchoTime, float EchoFeedback, double FadeOut);

private:
    struct Stereo {
        float L, R;
    };
    static Stereo PanGains(float Position);
    void Put(std::size_t Index, float Value, Stereo Gains, float Send);
    float Noise() { return static_cast<float>(Rng.Uniform() * 2.0 - 1.0); }

    std::vector<float> Left, Right, SendLeft, SendRight;
    DemoRandom Rng;
};
