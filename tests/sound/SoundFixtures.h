#pragma once
// Test-time sound fixtures and the analysis of what SDL's disk audio driver
// captured. Samples are interleaved stereo int16 in native byte order, the
// format the library asks SDL for.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

constexpr int ShowRate = 44000;

using Pcm = std::vector<std::int16_t>; // interleaved L, R

inline std::size_t Frames(const Pcm& pcm) {
    return pcm.size() / 2;
}

// A rising chirp, different on left and right, that never repeats itself: any
// 256 frames of it are found only where it starts.
Pcm MakeChirp(int rate, double seconds);
// A steady sine, same on both sides.
Pcm MakeSine(int rate, double seconds, double hz, double amplitude);

void WriteWav(const std::filesystem::path& path, const Pcm& pcm, int rate);
void WriteBytes(const std::filesystem::path& path, const std::string& bytes);
// Encodes with LAME at the given rate (no tag frame).
void WriteMp3(const std::filesystem::path& path, const Pcm& pcm, int rate);

Pcm ReadCapture(const std::filesystem::path& path);

// One place where the tone starts in the capture, and for how many frames the
// capture follows it exactly from there.
struct TonePlay {
    std::size_t Start;
    std::size_t Matched;
};
std::vector<TonePlay> FindPlays(const Pcm& capture, const Pcm& tone);

// The plays follow one another (each runs unchanged until the next starts),
// the last runs to the tone's end, and the capture is silent before and after.
::testing::AssertionResult PlaysTileCapture(const Pcm& capture, const Pcm& tone,
                                            const std::vector<TonePlay>& plays);

// Sum of absolute sample values over frames [from, to) of pcm.
double Level(const Pcm& pcm, std::size_t from, std::size_t to);
inline double Level(const Pcm& pcm) {
    return Level(pcm, 0, Frames(pcm));
}

// Share of the signal's energy (both sides) at hz.
double EnergyShareAt(const Pcm& pcm, std::size_t from, std::size_t to, int rate, double hz);
