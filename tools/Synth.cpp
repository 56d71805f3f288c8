#include "tools/Synth.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "tools/FastMath.h"

using fastmath::SinT;

namespace {

constexpr float Rate = static_cast<float>(SongSampleRate);

// Band-limited step correction for the saw and square edges (PolyBLEP).
float Blep(float T, float Dt) {
    if (T < Dt) {
        T /= Dt;
        return T + T - T * T - 1.0f;
    }
    if (T > 1.0f - Dt) {
        T = (T - 1.0f) / Dt;
        return T * T + T + T + 1.0f;
    }
    return 0.0f;
}

float Oscillator(Wave Shape, float Phase, float Dt) {
    switch (Shape) {
    case Wave::Sine:
        return SinT(Phase);
    case Wave::Triangle:
        return 4.0f * std::abs(Phase - 0.5f) - 1.0f;
    case Wave::Saw:
        return 2.0f * Phase - 1.0f - Blep(Phase, Dt);
    case Wave::Square: {
        float Half = Phase + 0.5f;
        if (Half >= 1.0f)
            Half -= 1.0f;
        return (Phase < 0.5f ? 1.0f : -1.0f) + Blep(Phase, Dt) - Blep(Half, Dt);
    }
    }
    return 0.0f;
}

float Envelope(const Instrument& S, float T, float Length) {
    auto Held = [&](float At) {
        if (At < S.Attack)
            return At / S.Attack;
        if (At < S.Attack + S.Decay)
            return 1.0f - (1.0f - S.Sustain) * (At - S.Attack) / S.Decay;
        return S.Sustain;
    };
    if (T < Length)
        return Held(T);
    float Off = Held(Length);
    float R = (T - Length) / S.Release;
    return R >= 1.0f ? 0.0f : Off * (1.0f - R);
}

} // namespace

double NoteFrequency(double Midi) {
    return 440.0 * std::pow(2.0, (Midi - 69.0) / 12.0);
}

SongMix::SongMix(double Seconds, std::uint64_t Seed) : Rng(Seed) {
    if (!(Seconds > 0))
        throw std::invalid_argument("a song needs a positive length");
    std::size_t N = static_cast<std::size_t>(Seconds * SongSampleRate);
    Left.assign(N, 0.0f);
    Right.assign(N, 0.0f);
    SendLeft.assign(N, 0.0f);
    SendRight.assign(N, 0.0f);
}

double SongMix::Seconds() const {
    return static_cast<double>(Left.size()) / SongSampleRate;
}

SongMix::Stereo SongMix::PanGains(float Position) {
    // Constant-power pan.
    return {std::sqrt(0.5f * (1.0f - Position)), std::sqrt(0.5f * (1.0f + Position))};
}

void SongMix::Put(std::size_t Index, float Value, Stereo Gains, float Send) {
    Left[Index] += Value * Gains.L;
    Right[Index] += Value * Gains.R;
    if (Send > 0.0f) {
        SendLeft[Index] += Value * Gains.L * Send;
        SendRight[Index] += Value * Gains.R * Send;
    }
}

void SongMix::Note(const Instrument& S, double Start, double Length, double Midi, float Velocity,
                   float Pan) {
    std::size_t First = static_cast<std::size_t>(std::max(0.0, Start) * SongSampleRate);
    float Len = static_cast<float>(Length);
    std::size_t Count = static_cast<std::size_t>((Length + S.Release) * SongSampleRate);
    float Base = static_cast<float>(NoteFrequency(Midi));
    int Voices = std::max(1, S.Unison);
    std::vector<float> Phase(Voices), Ratio(Voices);
    for (int V = 0; V < Voices; ++V) {
        float Cents = Voices > 1 ? S.Detune * (static_cast<float>(V) / (Voices - 1) - 0.5f) : 0.0f;
        Ratio[V] = std::pow(2.0f, Cents / 1200.0f);
        Phase[V] = fastmath::Frac(0.37f * V);
    }
    bool Filtered = S.Cutoff < 12000.0f;
    float Low = 0, Band = 0, F = 0;
    const Stereo Gains = PanGains(Pan);
    float Damp = 2.0f * (1.0f - std::clamp(S.Resonance, 0.0f, 0.9f));
    for (std::size_t N = 0; N < Count && First + N < Left.size(); ++N) {
        float T = N / Rate;
        float Amp = Envelope(S, T, Len);
        float Freq = Base;
        if (S.Vibrato > 0)
            Freq *= 1.0f + S.Vibrato * 0.05776f * SinT(S.VibratoRate * T) * std::min(1.0f, T * 3);
        float Sum = 0;
        for (int V = 0; V < Voices; ++V) {
            float Dt = Freq * Ratio[V] / Rate;
            Sum += Oscillator(S.Shape, Phase[V], Dt);
            Phase[V] += Dt;
            if (Phase[V] >= 1.0f)
                Phase[V] -= 1.0f;
        }
        float Out = Sum / std::sqrt(static_cast<float>(Voices));
        if (Filtered) {
            // Chamberlin state-variable filter; the cutoff is kept where it stays
            // stable, and its sweep is fine enough when updated every 16 samples.
            if (N % 16 == 0) {
                float Fc = std::min(S.Cutoff + S.CutoffEnv * std::exp(-T / S.FilterDecay), 7000.0f);
                F = 2.0f * SinT(Fc / Rate * 0.5f);
            }
            Low += F * Band;
            float High = Out - Low - Damp * Band;
            Band += F * High;
            Out = Low;
        }
        Put(First + N, Out * Amp * Velocity * S.Gain, Gains, S.EchoSend);
    }
}

void SongMix::Kick(double Start, float Velocity) {
    const Stereo Center = PanGains(0);
    std::size_t First = static_cast<std::size_t>(Start * SongSampleRate);
    float Phase = 0;
    for (std::size_t N = 0;
         N < static_cast<std::size_t>(0.45 * SongSampleRate) && First + N < Left.size(); ++N) {
        float T = N / Rate;
        float Freq = 45.0f + 115.0f * std::exp(-T / 0.03f);
        Phase += Freq / Rate;
        float Body = SinT(Phase) * std::exp(-T / 0.16f);
        float Click = Noise() * std::exp(-T / 0.002f) * 0.3f;
        Put(First + N, std::tanh(1.5f * (Body + Click)) * 0.55f * Velocity, Center, 0);
    }
}

void SongMix::Snare(double Start, float Velocity) {
    const Stereo Gains = PanGains(0.05f);
    std::size_t First = static_cast<std::size_t>(Start * SongSampleRate);
    float Last = 0;
    for (std::size_t N = 0;
         N < static_cast<std::size_t>(0.25 * SongSampleRate) && First + N < Left.size(); ++N) {
        float T = N / Rate;
        float White = Noise();
        float Bright = White - Last; // first difference: a crude high-pass
        Last = White;
        float Body = SinT(185.0f * T) * std::exp(-T / 0.05f);
        float Rattle = (0.6f * White + 0.5f * Bright) * std::exp(-T / 0.07f);
        Put(First + N, (0.45f * Body + 0.5f * Rattle) * 0.5f * Velocity, Gains, 0.1f);
    }
}

void SongMix::HiHat(double Start, float Velocity, bool Open) {
    const Stereo Gains = PanGains(0.3f);
    std::size_t First = static_cast<std::size_t>(Start * SongSampleRate);
    float Decay = Open ? 0.12f : 0.018f;
    float Last = 0;
    for (std::size_t N = 0;
         N < static_cast<std::size_t>(Decay * 6 * SongSampleRate) && First + N < Left.size(); ++N) {
        float T = N / Rate;
        float White = Noise();
        float Bright = White - Last;
        Last = White;
        Put(First + N, Bright * std::exp(-T / Decay) * 0.16f * Velocity, Gains, 0);
    }
}

void SongMix::Crash(double Start, float Velocity) {
    const Stereo Lefter = PanGains(-0.25f), Righter = PanGains(0.25f);
    std::size_t First = static_cast<std::size_t>(Start * SongSampleRate);
    float Last = 0;
    for (std::size_t N = 0;
         N < static_cast<std::size_t>(2.0 * SongSampleRate) && First + N < Left.size(); ++N) {
        float T = N / Rate;
        float White = Noise();
        float Bright = White - 0.6f * Last;
        Last = White;
        float Amp = std::exp(-T / 0.45f) * 0.14f * Velocity;
        Put(First + N, Bright * Amp, Lefter, 0.2f);
        Put(First + N, Noise() * Amp * 0.5f, Righter, 0);
    }
}

std::vector<std::int16_t> SongMix::Finish(double EchoTime, float EchoFeedback, double FadeOut) {
    std::size_t N = Left.size();
    std::size_t Delay = static_cast<std::size_t>(EchoTime * SongSampleRate);
    if (Delay > 0) {
        // Ping-pong: each repeat crosses to the other side.
        std::vector<float> EchoL(N, 0.0f), EchoR(N, 0.0f);
        for (std::size_t I = Delay; I < N; ++I) {
            EchoL[I] = SendRight[I - Delay] + EchoFeedback * EchoR[I - Delay];
            EchoR[I] = SendLeft[I - Delay] + EchoFeedback * EchoL[I - Delay];
            Left[I] += 0.7f * EchoL[I];
            Right[I] += 0.7f * EchoR[I];
        }
    }
    std::size_t FadeFrom = N - std::min(N, static_cast<std::size_t>(FadeOut * SongSampleRate));
    for (std::size_t I = FadeFrom; I < N; ++I) {
        float G = static_cast<float>(N - I) / static_cast<float>(N - FadeFrom);
        Left[I] *= G * G;
        Right[I] *= G * G;
    }
    float Peak = 1e-9f;
    for (std::size_t I = 0; I < N; ++I)
        Peak = std::max({Peak, std::abs(Left[I]), std::abs(Right[I])});
    const float Drive = 1.4f, Norm = 0.85f / std::tanh(Drive);
    std::vector<std::int16_t> Pcm(N * 2);
    for (std::size_t I = 0; I < N; ++I) {
        Pcm[I * 2] = static_cast<std::int16_t>(
            std::lround(std::tanh(Drive * Left[I] / Peak) * Norm * 32767.0f));
        Pcm[I * 2 + 1] = static_cast<std::int16_t>(
            std::lround(std::tanh(Drive * Right[I] / Peak) * Norm * 32767.0f));
    }
    return Pcm;
}
