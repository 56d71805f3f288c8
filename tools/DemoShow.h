#pragma once
// Writes the complete demo show into a show folder: <folder>/data/ with the
// loading picture, the frames, the frame list, the scene script and the four
// songs. The folder and data/ are made when missing; only the files named
// here are written (replacing older ones), nothing else in the folder is
// touched. Pictures and songs are made on a few worker threads; the result
// does not depend on their number or order. Throws std::exception with a
// message naming what failed; files written before the failure stay.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

constexpr std::uint64_t DefaultDemoSeed = 0x5EED'0F'5A1D'E5ull;

struct DemoOptions {
    std::uint64_t Seed = DefaultDemoSeed;
    int Threads = 0; // 0: one per processor, at most 8
    int JpegQuality = 85;
    int Mp3BitrateKbps = 128;
};

// The file names, in data/, that WriteDemoShow makes.
std::vector<std::string> DemoFileNames();

void WriteDemoShow(const std::filesystem::path& ShowFolder, const DemoOptions& Options = {});
