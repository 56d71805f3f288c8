#include "tools/Songs.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <string_view>

#include "tools/DemoRandom.h"
#include "tools/Synth.h"

namespace {

constexpr std::array<int, 7> Major{0, 2, 4, 5, 7, 9, 11};
constexpr std::array<int, 7> Minor{0, 2, 3, 5, 7, 8, 10};

struct Key {
    int Root; // MIDI note of degree 0
    std::array<int, 7> Scale;

    int Note(int Degree) const {
        int Octave = Degree >= 0 ? Degree / 7 : -((-Degree + 6) / 7);
        return Root + 12 * Octave + Scale[Degree - 7 * Octave];
    }
};

// A melodic phrase over two bars, in scale steps above the chord's root.
struct MotifNote {
    int Step;   // sixteenth within the phrase, 0..31
    int Length; // in sixteenths
    int Offset; // scale degrees above the chord root
};
using Motif = std::vector<MotifNote>;

Motif MakeMotif(DemoRandom& Rng, bool Resolve) {
    Motif M;
    int Offset = Rng.Chance(0.5) ? 4 : 2;
    for (int Step = 0; Step < 32; Step += 2) {
        double P = Step % 8 == 0 ? 0.9 : (Step % 4 == 0 ? 0.65 : 0.4);
        if (Resolve && Step >= 24)
            break;
        if (!Rng.Chance(P))
            continue;
        if (Step % 4 == 0) {
            // Strong beats land on a chord tone near the last note.
            static const int Tones[] = {0, 2, 4, 7, 9};
            int Best = Tones[0];
            for (int T : Tones)
                if (std::abs(T - Offset) < std::abs(Best - Offset) ||
                    (std::abs(T - Offset) == std::abs(Best - Offset) && Rng.Chance(0.5)))
                    Best = T;
            Offset = Best;
        } else {
            static const int Moves[] = {-2, -1, 1, 2};
            Offset = std::clamp(Offset + Moves[Rng.Below(4)], -2, 9);
        }
        M.push_back({Step, 2, Offset});
    }
    if (Resolve)
        M.push_back({24, 8, Rng.Chance(0.6) ? 0 : 2});
    // Each note lasts until the next one, at most a beat and a half.
    for (std::size_t I = 0; I + 1 < M.size(); ++I)
        M[I].Length = std::min(M[I + 1].Step - M[I].Step, 6);
    return M;
}

class Composer {
public:
    Composer(SongMix& Mix, Key K, double Bpm) : Mix(Mix), K(K), Step(60.0 / Bpm / 4) {}

    double BarStart(int Bar) const { return Bar * 16 * Step; }
    double StepLength() const { return Step; }
    const Key& Keys() const { return K; }

    // 'x' hit, 'X' accent, 'h' soft, 'o' open hi-hat, '.' rest; 16 steps.
    void Drums(int Bar, std::string_view KickP, std::string_view SnareP, std::string_view HatP) {
        for (int S = 0; S < 16; ++S) {
            double T = BarStart(Bar) + S * Step;
            if (Level(KickP[S]) > 0)
                Mix.Kick(T, Level(KickP[S]));
            if (Level(SnareP[S]) > 0)
                Mix.Snare(T, Level(SnareP[S]));
            if (Level(HatP[S]) > 0)
                Mix.HiHat(T, Level(HatP[S]), HatP[S] == 'o');
        }
    }

    // '1' root, '3' third, '5' fifth, '7' seventh, '8' octave, '-' holds the
    // note before, '.' rest; 16 steps.
    void Bass(int Bar, int Chord, std::string_view Pattern, const Instrument& Sound, int Octave,
              float Velocity) {
        for (int S = 0; S < 16; ++S) {
            int Offset = BassOffset(Pattern[S]);
            if (Offset < 0)
                continue;
            int Len = 1;
            while (S + Len < 16 && Pattern[S + Len] == '-')
                ++Len;
            float Accent = S % 4 == 0 ? 1.0f : 0.8f;
            Mix.Note(Sound, BarStart(Bar) + S * Step, Len * Step * 0.9,
                     K.Note(Chord + Offset) + 12 * Octave, Velocity * Accent);
        }
    }

    void Chord(double Start, double Length, int Chord, const Instrument& Sound, int Octave,
               float Velocity, bool AddNinth = false) {
        const int Tones[] = {0, 2, 4, 7, 8};
        int Count = AddNinth ? 5 : 4;
        for (int I = 0; I < Count; ++I) {
            float Pan = (I - (Count - 1) * 0.5f) * 0.25f;
            Mix.Note(Sound, Start, Length, K.Note(Chord + Tones[I]) + 12 * Octave, Velocity, Pan);
        }
    }

    // Chord hits where the pattern has 'x'.
    void Stabs(int Bar, int ChordDegree, std::string_view Pattern, const Instrument& Sound,
               int Octave, float Velocity) {
        for (int S = 0; S < 16; ++S)
            if (Pattern[S] == 'x')
                Chord(BarStart(Bar) + S * Step, Step * 1.5, ChordDegree, Sound, Octave, Velocity);
    }

    // Broken chord, one note every StepsPerNote sixteenths.
    void Arpeggio(int Bar, int ChordDegree, const Instrument& Sound, int Octave, float Velocity,
                  int StepsPerNote = 1) {
        static const int Order[] = {0, 2, 4, 7, 9, 7, 4, 2};
        for (int S = 0, I = 0; S < 16; S += StepsPerNote, ++I)
            Mix.Note(Sound, BarStart(Bar) + S * Step, Step * StepsPerNote * 0.8,
                     K.Note(ChordDegree + Order[I % 8]) + 12 * Octave, Velocity,
                     (I % 2) ? 0.35f : -0.35f);
    }

    // Plays a two-bar phrase from Bar over the chords of those bars.
    void Phrase(int Bar, const Motif& M, const int ChordOfBar[2], const Instrument& Sound,
                int Octave, float Velocity) {
        for (const MotifNote& N : M) {
            int Chord = ChordOfBar[N.Step / 16];
            Mix.Note(Sound, BarStart(Bar) + N.Step * Step, N.Length * Step * 0.92,
                     K.Note(Chord + N.Offset) + 12 * Octave, Velocity, 0.1f);
        }
    }

private:
    static float Level(char C) {
        switch (C) {
        case 'X':
            return 1.0f;
        case 'x':
            return 0.8f;
        case 'o':
            return 0.7f;
        case 'h':
            return 0.45f;
        default:
            return 0.0f;
        }
    }
    static int BassOffset(char C) {
        switch (C) {
        case '1':
            return 0;
        case '3':
            return 2;
        case '5':
            return 4;
        case '7':
            return 6;
        case '8':
            return 7;
        default:
            return -1;
        }
    }

    SongMix& Mix;
    Key K;
    double Step; // a sixteenth note in seconds
};

std::vector<std::int16_t> ComposeTitle(std::uint64_t Seed) {
    // F major, 100 bpm, I-V-vi-IV; 17 bars and a ringing tail: about 43 s.
    const double Bpm = 100;
    const int Bars = 17;
    SongMix Mix(Bars * 2.4 + 2.2, Seed);
    Composer C(Mix, {53, Major}, Bpm);
    DemoRandom Rng(Seed ^ 0x7171);
    const int Prog[] = {0, 4, 5, 3};

    Instrument Pad{.Shape = Wave::Saw,
                   .Attack = 0.4f,
                   .Decay = 0.5f,
                   .Sustain = 0.8f,
                   .Release = 1.2f,
                   .Cutoff = 1400,
                   .Unison = 3,
                   .Detune = 18,
                   .Gain = 0.09f,
                   .EchoSend = 0.1f};
    Instrument Arp{.Shape = Wave::Square,
                   .Attack = 0.003f,
                   .Decay = 0.18f,
                   .Sustain = 0.0f,
                   .Release = 0.05f,
                   .Cutoff = 2200,
                   .CutoffEnv = 2500,
                   .FilterDecay = 0.08f,
                   .Gain = 0.09f,
                   .EchoSend = 0.35f};
    Instrument Bass{.Shape = Wave::Saw,
                    .Decay = 0.25f,
                    .Sustain = 0.5f,
                    .Cutoff = 500,
                    .CutoffEnv = 600,
                    .Resonance = 0.3f,
                    .Gain = 0.3f};
    Instrument Lead{.Shape = Wave::Triangle,
                    .Attack = 0.02f,
                    .Decay = 0.3f,
                    .Sustain = 0.7f,
                    .Release = 0.25f,
                    .Vibrato = 0.15f,
                    .Gain = 0.24f,
                    .EchoSend = 0.3f};

    Motif A = MakeMotif(Rng, false), B = MakeMotif(Rng, true);
    for (int Bar = 0; Bar < Bars - 1; ++Bar) {
        int Chord = Prog[Bar % 4];
        C.Chord(C.BarStart(Bar), 16 * C.StepLength(), Chord, Pad, 0, 0.8f);
        if (Bar < 8 || Bar >= 12)
            C.Arpeggio(Bar, Chord, Arp, 1, 0.8f);
        else
            C.Arpeggio(Bar, Chord, Arp, 1, 0.6f, 2);
        if (Bar >= 3)
            C.Bass(Bar, Chord, "1-----1-5---8-5-", Bass, -1, 0.9f);
        if (Bar < 8 || Bar >= 12)
            C.Drums(Bar, "x.......x.x.....", Bar >= 4 ? "....x.......x..." : "................",
                    "..x...x...x...xo");
        else
            C.Drums(Bar, "x...............", "................", "..h...h...h...h.");
        if (Bar >= 8 && Bar % 2 == 0) {
            int Chords[2] = {Prog[Bar % 4], Prog[(Bar + 1) % 4]};
            C.Phrase(Bar, (Bar / 2) % 4 == 3 ? B : A, Chords, Lead, 1, 0.9f);
        }
    }
    int Last = Bars - 1;
    C.Chord(C.BarStart(Last), 16 * C.StepLength(), 0, Pad, 0, 1.0f, true);
    Mix.Kick(C.BarStart(Last), 0.9f);
    Mix.Crash(C.BarStart(Last), 0.6f);
    return Mix.Finish(60.0 / Bpm * 0.75, 0.35f, 2.5);
}

std::vector<std::int16_t> ComposeMain(std::uint64_t Seed) {
    // A minor, 150 bpm, i-VI-III-VII; 26 bars: about 42.6 s.
    const double Bpm = 150;
    const int Bars = 26;
    SongMix Mix(Bars * 1.6 + 1.0, Seed);
    Composer C(Mix, {57, Minor}, Bpm);
    DemoRandom Rng(Seed ^ 0xA1A1);
    const int Prog[] = {0, 5, 2, 6};

    Instrument Bass{.Shape = Wave::Saw,
                    .Decay = 0.12f,
                    .Sustain = 0.4f,
                    .Release = 0.05f,
                    .Cutoff = 600,
                    .CutoffEnv = 1800,
                    .FilterDecay = 0.09f,
                    .Resonance = 0.45f,
                    .Gain = 0.3f};
    Instrument Stab{.Shape = Wave::Square,
                    .Attack = 0.002f,
                    .Decay = 0.15f,
                    .Sustain = 0.0f,
                    .Release = 0.06f,
                    .Cutoff = 2500,
                    .Unison = 2,
                    .Detune = 12,
                    .Gain = 0.07f,
                    .EchoSend = 0.25f};
    Instrument Lead{.Shape = Wave::Saw,
                    .Attack = 0.01f,
                    .Decay = 0.2f,
                    .Sustain = 0.6f,
                    .Release = 0.1f,
                    .Cutoff = 4500,
                    .Unison = 2,
                    .Detune = 10,
                    .Vibrato = 0.1f,
                    .Gain = 0.14f,
                    .EchoSend = 0.3f};
    Instrument Pad{.Shape = Wave::Saw,
                   .Attack = 0.3f,
                   .Decay = 0.5f,
                   .Sustain = 0.8f,
                   .Release = 0.6f,
                   .Cutoff = 1100,
                   .Unison = 3,
                   .Detune = 20,
                   .Gain = 0.08f};
    Instrument Arp{.Shape = Wave::Square,
                   .Decay = 0.1f,
                   .Sustain = 0.0f,
                   .Release = 0.03f,
                   .Cutoff = 3000,
                   .Gain = 0.07f,
                   .EchoSend = 0.3f};

    Motif A = MakeMotif(Rng, false), B = MakeMotif(Rng, true);
    for (int Bar = 0; Bar < Bars; ++Bar) {
        int Chord = Prog[Bar % 4];
        bool Intro = Bar < 2, Break = Bar >= 18 && Bar < 22;
        if (Intro) {
            C.Drums(Bar, "x...x...x...x...", "................", "hhxhhhxhhhxhhhxo");
            C.Bass(Bar, 0, "1.8.1.8.1.8.1.8.", Bass, -1, 0.6f);
            continue;
        }
        if (Break) {
            C.Chord(C.BarStart(Bar), 16 * C.StepLength(), Chord, Pad, 0, 0.9f);
            C.Arpeggio(Bar, Chord, Arp, 1, 0.8f);
            C.Drums(Bar, "................", Bar == 21 ? "x.x.x.x.xxxxXXXX" : "................",
                    "..h...h...h...h.");
            continue;
        }
        C.Drums(Bar, "x...x...x...x...", "....X.......X...", "hhxhhhxhhhxhhhxo");
        C.Bass(Bar, Chord, "1.8.1.8.1.8.1.8.", Bass, -1, 0.9f);
        C.Stabs(Bar, Chord, "..x..x....x..x..", Stab, 0, 0.8f);
        if (Bar >= 10 && Bar % 2 == 0) {
            int Chords[2] = {Prog[Bar % 4], Prog[(Bar + 1) % 4]};
            C.Phrase(Bar, (Bar / 2) % 4 == 3 ? B : A, Chords, Lead, 1, 0.9f);
        }
    }
    Mix.Crash(C.BarStart(2), 0.7f);
    Mix.Crash(C.BarStart(22), 0.8f);
    return Mix.Finish(60.0 / Bpm * 0.75, 0.3f, 1.0);
}

std::vector<std::int16_t> ComposeSecond(std::uint64_t Seed) {
    // D minor, 150 bpm, broken beat and a squelchy bass, i-iv-VI-v; 19 bars: about 31.4 s.
    const double Bpm = 150;
    const int Bars = 19;
    SongMix Mix(Bars * 1.6 + 1.0, Seed);
    Composer C(Mix, {50, Minor}, Bpm);
    DemoRandom Rng(Seed ^ 0xB2B2);
    const int Prog[] = {0, 3, 5, 4};

    Instrument Acid{.Shape = Wave::Saw,
                    .Decay = 0.1f,
                    .Sustain = 0.5f,
                    .Release = 0.03f,
                    .Cutoff = 350,
                    .CutoffEnv = 2600,
                    .FilterDecay = 0.12f,
                    .Resonance = 0.8f,
                    .Gain = 0.26f};
    Instrument Pluck{.Shape = Wave::Square,
                     .Attack = 0.002f,
                     .Decay = 0.12f,
                     .Sustain = 0.0f,
                     .Release = 0.04f,
                     .Cutoff = 3000,
                     .CutoffEnv = 3000,
                     .FilterDecay = 0.05f,
                     .Gain = 0.09f,
                     .EchoSend = 0.4f};
    Instrument Lead{.Shape = Wave::Square,
                    .Attack = 0.01f,
                    .Decay = 0.2f,
                    .Sustain = 0.65f,
                    .Release = 0.12f,
                    .Cutoff = 3800,
                    .Vibrato = 0.2f,
                    .Gain = 0.1f,
                    .EchoSend = 0.35f};
    Instrument Pad{.Shape = Wave::Triangle,
                   .Attack = 0.2f,
                   .Decay = 0.4f,
                   .Sustain = 0.8f,
                   .Release = 0.6f,
                   .Unison = 2,
                   .Detune = 8,
                   .Gain = 0.11f};

    Motif A = MakeMotif(Rng, false), B = MakeMotif(Rng, true);
    for (int Bar = 0; Bar < Bars - 1; ++Bar) {
        int Chord = Prog[Bar % 4];
        bool Break = Bar >= 10 && Bar < 14;
        if (Break) {
            C.Chord(C.BarStart(Bar), 16 * C.StepLength(), Chord, Pad, 0, 0.9f);
            C.Bass(Bar, Chord, "1-----1-----1---", Acid, -1, 0.7f);
            C.Drums(Bar, "................", Bar == 13 ? "....x..x.x.xxxXX" : "................",
                    "x.h.x.h.x.h.x.h.");
            continue;
        }
        C.Drums(Bar, "x.....x.x.......", "....X..x.x..X...", "x.x.x.x.x.x.x.o.");
        C.Bass(Bar, Chord, "1.18.1.51.8.17.8", Acid, -1, 0.9f);
        if (Bar >= 2)
            C.Arpeggio(Bar, Chord, Pluck, 1, 0.8f, 2);
        if (Bar >= 2 && Bar % 2 == 0) {
            int Chords[2] = {Prog[Bar % 4], Prog[(Bar + 1) % 4]};
            C.Phrase(Bar, (Bar / 2) % 2 == 1 ? B : A, Chords, Lead, 1, 0.85f);
        }
    }
    int Last = Bars - 1;
    Mix.Kick(C.BarStart(Last), 1.0f);
    Mix.Crash(C.BarStart(Last), 0.7f);
    C.Chord(C.BarStart(Last), 8 * C.StepLength(), 0, Pad, 0, 1.0f);
    Mix.Crash(C.BarStart(0), 0.6f);
    return Mix.Finish(60.0 / Bpm * 0.75, 0.35f, 1.0);
}

std::vector<std::int16_t> ComposeOutro(std::uint64_t Seed) {
    // A major after the minor songs: a hit, a falling run, a last chord; about 5.4 s.
    const double Bpm = 120;
    SongMix Mix(5.4, Seed);
    Composer C(Mix, {57, Major}, Bpm);
    Instrument Pad{.Shape = Wave::Saw,
                   .Attack = 0.01f,
                   .Decay = 0.8f,
                   .Sustain = 0.5f,
                   .Release = 1.5f,
                   .Cutoff = 2400,
                   .CutoffEnv = 2000,
                   .FilterDecay = 0.4f,
                   .Unison = 3,
                   .Detune = 16,
                   .Gain = 0.1f,
                   .EchoSend = 0.2f};
    Instrument Bass{.Shape = Wave::Saw,
                    .Decay = 0.6f,
                    .Sustain = 0.5f,
                    .Release = 0.8f,
                    .Cutoff = 500,
                    .Gain = 0.3f};
    Instrument Bell{.Shape = Wave::Triangle,
                    .Attack = 0.002f,
                    .Decay = 0.4f,
                    .Sustain = 0.0f,
                    .Release = 0.3f,
                    .Gain = 0.25f,
                    .EchoSend = 0.4f};
    const double Beat = 60.0 / Bpm;

    Mix.Kick(0, 1.0f);
    Mix.Crash(0, 0.9f);
    C.Chord(0, 1.2, 0, Pad, 0, 1.0f);
    Mix.Note(Bass, 0, 1.5, C.Keys().Note(0) - 24, 1.0f);
    const int Run[] = {14, 11, 9, 7, 4, 2, 0, -3};
    for (int I = 0; I < 8; ++I)
        Mix.Note(Bell, 0.5 + I * Beat / 2, Beat / 2, C.Keys().Note(Run[I]) + 12, 0.8f,
                 I % 2 ? 0.4f : -0.4f);
    for (int I = 0; I < 8; ++I)
        Mix.Snare(1.6 + I * Beat / 8, 0.3f + 0.08f * I);
    Mix.Kick(2.4, 1.0f);
    Mix.Crash(2.4, 1.0f);
    C.Chord(2.4, 1.6, 0, Pad, 0, 1.0f, true);
    Mix.Note(Bass, 2.4, 1.6, C.Keys().Note(0) - 24, 1.0f);
    Mix.Note(Bell, 2.4, 1.0, C.Keys().Note(7) + 12, 0.9f);
    return Mix.Finish(Beat * 0.75, 0.3f, 1.6);
}

} // namespace

std::vector<std::int16_t> ComposeSong(SongId Id, std::uint64_t Seed) {
    std::uint64_t Own = DeriveSeed(Seed, 100 + static_cast<std::uint64_t>(Id));
    switch (Id) {
    case SongId::Title:
        return ComposeTitle(Own);
    case SongId::Main:
        return ComposeMain(Own);
    case SongId::Second:
        return ComposeSecond(Own);
    case SongId::Outro:
        return ComposeOutro(Own);
    }
    throw std::invalid_argument("unknown song");
}
