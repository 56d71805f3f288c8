#pragma once
// Independent readers for what the demo generator writes: JPEG decoding,
// MP3 frame walking and decoding, the scene script and a model of the
// playback clock's lookups. Test code only.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

std::string ReadWholeFile(const std::filesystem::path& Path);

// Lines of a text file whose lines all end in CR LF; nullopt (and a reason)
// when a line ends otherwise or the file holds a byte 26.
std::optional<std::vector<std::string>> SplitCrLfLines(const std::string& Text, std::string& Why);

struct DecodedJpeg {
    int Width = 0, Height = 0, Components = 0;
    std::vector<std::uint8_t> Pixels; // row-major, Components bytes a pixel
};
// Full decode with libjpeg; nullopt and libjpeg's message when it fails.
std::optional<DecodedJpeg> DecodeJpeg(const std::string& Bytes, std::string& Why);

struct Mp3Walk {
    bool Ok = false;
    std::string Why;
    int Frames = 0;
    int SampleRate = 0;
    int BitrateKbps = 0; // of the first frame
    int Channels = 0;
    double Seconds() const { return SampleRate ? Frames * 1152.0 / SampleRate : 0.0; }
};
// Walks MPEG-1 Layer III frame headers from the first byte to the last.
Mp3Walk WalkMp3Frames(const std::string& Bytes);

struct Mp3Decode {
    bool Ok = false;
    std::string Why;
    long SamplesPerChannel = 0;
    int Channels = 0;
    double Rms = 0;  // over both channels, full scale 1.0
    double Peak = 0; // full scale 1.0
};
// Decodes the whole file with LAME's decoder.
Mp3Decode DecodeMp3(const std::string& Bytes);

struct SceneEntry {
    int Slot;
    int Frame; // as written, from 1
};
// Strict reading of the generator's format: "slot frame", decimal.
std::optional<std::vector<SceneEntry>> ParseScene(const std::vector<std::string>& Lines,
                                                  std::string& Why);

// One tick of the movie as the playback clock runs it.
struct TickView {
    int Tick;  // 1-based count of ticks since the timer started
    int Slot;  // the slot looked up
    int Shown; // frame index shown after the tick
};
struct ClockRun {
    std::vector<TickView> Ticks;
    bool Closed = false;
    int LoopCount = 0;
    std::string Why; // set when a lookup fell outside the scene table
};
ClockRun RunClock(const std::vector<SceneEntry>& Entries);

struct ProgramResult {
    int ExitCode = -1;
    std::string Out, Err;
};
// Runs Exe with Args (no shell quoting needed: temp paths only).
ProgramResult RunProgram(const std::string& Exe, const std::vector<std::string>& Args);

// A fresh folder under the system's temp folder.
std::filesystem::path MakeTempFolder();
