#pragma once
// The demo's four songs, composed from the seed and rendered to 16-bit
// interleaved stereo PCM at SongSampleRate. Each is long enough for its
// place on the show's timeline:
//   title  plays while the pictures load and again from 69.0 s to 81.0 s
//          (100 bpm: a bar is 2.4 s, one pass of the closing section);
//   main   from 0 s to 40.2 s (150 bpm: a bar is eight slots);
//   second from 40.2 s to 69.0 s (150 bpm);
//   outro  from 81.0 s to the end at 83.6 s.
#include <cstdint>
#include <string>
#include <vector>

enum class SongId { Title, Main, Second, Outro };

struct SongFile {
    SongId Id;
    const char* FileName; // in data/
    double MinSeconds;    // the shortest length its place on the timeline needs
};

inline constexpr SongFile ShowSongs[] = {
    {SongId::Title, "title.mp3", 30.0},
    {SongId::Main, "vazu.mp3", 40.2},
    {SongId::Second, "vazu1.mp3", 28.8},
    {SongId::Outro, "vazu2.mp3", 2.6},
};

std::vector<std::int16_t> ComposeSong(SongId Id, std::uint64_t Seed);
