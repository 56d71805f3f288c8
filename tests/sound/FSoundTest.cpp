// The sound library on SDL's disk audio driver: what is played is captured as
// raw PCM, in real time, and checked sample by sample.
#include "sound/FSound.h"
#include "tests/sound/SoundFixtures.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr int BufferFrames = 1024; // the library's mixing buffer, for capture slack

// 600 ms: long enough to restart or re-level it midway, short for a real-time test.
const Pcm& Tone() {
    static const Pcm tone = MakeChirp(ShowRate, 0.6);
    return tone;
}

std::string CaseName(std::string name) {
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "vazu-sound-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        Dir = pattern;
        Capture = Dir / "capture.raw";
        TonePath = Dir / "tone.wav";
        WriteWav(TonePath, Tone(), ShowRate);
        UseDiskOutput(Capture);
    }

    void TearDown() override {
        FSOUND_Close();
        std::error_code ignored;
        fs::remove_all(Dir, ignored);
    }

    static void UseDiskOutput(const fs::path& capture) {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
    }

    FSOUND_SAMPLE* LoadTone() const {
        return FSOUND_Sample_Load(FSOUND_FREE, TonePath.c_str(), FSOUND_2D, 0);
    }

    std::uintmax_t CaptureBytes() const {
        std::error_code ec;
        const auto bytes = fs::file_size(Capture, ec);
        return ec ? 0 : bytes;
    }

    // The disk driver writes in real time: wait until `frames` more frames (plus
    // slack for buffering) are on disk instead of guessing a sleep.
    ::testing::AssertionResult CaptureFurther(std::size_t frames) const {
        const std::uintmax_t target = CaptureBytes() + (frames + 3 * BufferFrames) * 4;
        const auto deadline = std::chrono::steady_clock::now() + 5s +
                              std::chrono::milliseconds(frames * 1000 / ShowRate);
        while (CaptureBytes() < target) {
            if (std::chrono::steady_clock::now() > deadline)
                return ::testing::AssertionFailure()
                       << "capture stalled at " << CaptureBytes() << " of " << target << " bytes";
            std::this_thread::sleep_for(10ms);
        }
        return ::testing::AssertionSuccess();
    }

    // Closing the output completes the capture.
    Pcm Finish() const {
        FSOUND_Close();
        return ReadCapture(Capture);
    }

    fs::path Dir, Capture, TonePath;
};

TEST_F(SoundTest, LoadedToneIsHeardUnchangedOnChannelOneAfterItsFileIsGone) {
    // The program names its files with backslashes.
    fs::create_directories(Dir / "data" / "songs");
    WriteWav(Dir / "data" / "songs" / "tone.wav", Tone(), ShowRate);
    const std::string name = Dir.string() + "\\data\\songs\\tone.wav";

    ASSERT_TRUE(FSOUND_Init(44000, 2, 0));
    FSOUND_SAMPLE* tone = FSOUND_Sample_Load(FSOUND_FREE, name.c_str(), FSOUND_2D, 0);
    ASSERT_NE(tone, nullptr);
    fs::remove_all(Dir / "data"); // decoded whole: the file is not needed to play
    ASSERT_EQ(FSOUND_PlaySound(1, tone), 1);
    ASSERT_TRUE(CaptureFurther(Frames(Tone())));

    const Pcm capture = Finish();
    const auto plays = FindPlays(capture, Tone());
    EXPECT_EQ(plays.size(), 1u);
    EXPECT_TRUE(PlaysTileCapture(capture, Tone(), plays));
}

TEST_F(SoundTest, Mp3SongIsDecodedWholeAndHeard) {
    // MP3 decoders add a little delay and padding; what must come through is a
    // half-second 1 kHz tone at about its level, resampled to the mixing rate.
    const double seconds = 0.5, hz = 1000, amplitude = 10000;
    const fs::path song = Dir / "song.mp3";
    WriteMp3(song, MakeSine(44100, seconds, hz, amplitude), 44100);

    ASSERT_TRUE(FSOUND_Init(44000, 2, 0));
    FSOUND_SAMPLE* sample = FSOUND_Sample_Load(FSOUND_FREE, song.c_str(), FSOUND_2D, 0);
    ASSERT_NE(sample, nullptr);
    fs::remove(song);
    ASSERT_EQ(FSOUND_PlaySound(1, sample), 1);
    ASSERT_TRUE(CaptureFurther(static_cast<std::size_t>(ShowRate * (seconds + 0.1))));
    const Pcm capture = Finish();

    std::size_t first = Frames(capture), last = 0;
    for (std::size_t i = 0; i < Frames(capture); ++i) {
        if (std::abs(capture[2 * i]) > 1000 || std::abs(capture[2 * i + 1]) > 1000) {
            first = std::min(first, i);
            last = i;
        }
    }
    ASSERT_LT(first, last) << "nothing loud in the capture";
    const double heard = double(last - first + 1) / ShowRate;
    EXPECT_GT(heard, seconds - 0.03);
    EXPECT_LT(heard, seconds + 0.1);

    const std::size_t margin = ShowRate / 20;
    const std::size_t from = first + margin, to = last - margin;
    // Resampling 44100 -> 44000 may shift the pitch by a fraction of a hertz;
    // playing unconverted would shift it by 2.3 Hz.
    double peakHz = 0, peakShare = 0;
    for (double f = hz - 10; f <= hz + 10; f += 0.25) {
        const double share = EnergyShareAt(capture, from, to, ShowRate, f);
        if (share > peakShare) {
            peakHz = f;
            peakShare = share;
        }
    }
    EXPECT_NEAR(peakHz, hz, 1.5);
    EXPECT_GT(peakShare, 0.95);
    const double meanLevel = Level(capture, from, to) / (2.0 * double(to - from));
    EXPECT_NEAR(meanLevel, amplitude * 2 / 3.14159265, amplitude * 0.1);
}

struct RestartCase {
    const char* Name;
    int Plays;
    std::chrono::milliseconds Interval;
    std::size_t MinStarts, MaxStarts; // starts that fall into one mixing buffer merge
};
void PrintTo(const RestartCase& row, std::ostream* out) {
    *out << row.Name;
}

class RestartTest : public SoundTest, public ::testing::WithParamInterface<RestartCase> {};

TEST_P(RestartTest, PlayingAgainRestartsTheToneInsteadOfMixingIt) {
    const RestartCase& row = GetParam();
    ASSERT_TRUE(FSOUND_Init(44000, 2, 0));
    FSOUND_SAMPLE* tone = LoadTone();
    ASSERT_NE(tone, nullptr);
    for (int i = 0; i < row.Plays; ++i) {
        if (i > 0)
            std::this_thread::sleep_for(row.Interval);
        ASSERT_EQ(FSOUND_PlaySound(1, tone), 1) << "play " << i;
    }
    ASSERT_TRUE(CaptureFurther(Frames(Tone())));

    const Pcm capture = Finish();
    const auto plays = FindPlays(capture, Tone());
    EXPECT_GE(plays.size(), row.MinStarts);
    EXPECT_LE(plays.size(), row.MaxStarts);
    EXPECT_TRUE(PlaysTileCapture(capture, Tone(), plays));
}

INSTANTIATE_TEST_SUITE_P(Cases, RestartTest,
                         ::testing::Values(RestartCase{"second play", 2, 200ms, 2, 2},
                                           RestartCase{"ten plays 20 ms apart", 10, 20ms, 2, 10}),
                         [](const auto& info) { return CaseName(info.param.Name); });

struct VolumeCase {
    const char* Name;
    int Channel, Volume;
    bool Accepted;
    int MixVolume; // channel 1's resulting volume on SDL_mixer's 0..128 scale
};
void PrintTo(const VolumeCase& row, std::ostream* out) {
    *out << row.Name;
}

class VolumeTest : public SoundTest, public ::testing::WithParamInterface<VolumeCase> {};

// Channel 1 starts at 100 (mixing volume 50), then the row's call follows.
TEST_P(VolumeTest, VolumeScalesWhatChannelOnePlays) {
    const VolumeCase& row = GetParam();
    ASSERT_TRUE(FSOUND_Init(44000, 2, 0));
    FSOUND_SAMPLE* tone = LoadTone();
    ASSERT_NE(tone, nullptr);
    ASSERT_TRUE(FSOUND_SetVolume(1, 100));
    EXPECT_EQ(FSOUND_SetVolume(row.Channel, row.Volume), row.Accepted);
    ASSERT_EQ(FSOUND_PlaySound(1, tone), 1);
    ASSERT_TRUE(CaptureFurther(Frames(Tone())));

    const Pcm capture = Finish();
    // SDL_mixer scales each sample by volume/128, so the level ratio tells the
    // volume to well under one step (one step is 0.8 %).
    EXPECT_NEAR(Level(capture) / Level(Tone()), row.MixVolume / 128.0, 0.003);
}

INSTANTIATE_TEST_SUITE_P(Cases, VolumeTest,
                         ::testing::Values(VolumeCase{"full", 1, 255, true, 128},
                                           VolumeCase{"show level", 1, 200, true, 100},
                                           VolumeCase{"silent", 1, 0, true, 0},
                                           VolumeCase{"kept at 100", 1, 100, true, 50},
                                           VolumeCase{"rounded up", 1, 127, true, 64},
                                           VolumeCase{"lowest step", 1, 1, true, 1},
                                           VolumeCase{"above scale refused", 1, 256, false, 50},
                                           VolumeCase{"below scale refused", 1, -1, false, 50},
                                           VolumeCase{"other channel", 0, 0, true, 50},
                                           VolumeCase{"channel out of range", 2, 0, false, 50}),
                         [](const auto& info) { return CaseName(info.param.Name); });

TEST_F(SoundTest, VolumeChangeWhilePlayingLowersTheRestOfTheTone) {
    // The loading sequence's order: play first, then volume 200.
    ASSERT_TRUE(FSOUND_Init(44000, 2, 0));
    FSOUND_SAMPLE* tone = LoadTone();
    ASSERT_NE(tone, nullptr);
    ASSERT_EQ(FSOUND_PlaySound(1, tone), 1);
    std::this_thread::sleep_for(150ms);
    ASSERT_TRUE(FSOUND_SetVolume(1, 200));
    ASSERT_TRUE(CaptureFurther(Frames(Tone())));

    const Pcm capture = Finish();
    const auto plays = FindPlays(capture, Tone());
    ASSERT_EQ(plays.size(), 1u);
    const std::size_t start = plays[0].Start, full = plays[0].Matched, end = Frames(Tone());
    ASSERT_LT(full, end) << "the volume never changed";
    ASSERT_LE(start + end, Frames(capture));
    EXPECT_NEAR(Level(capture, start + full, start + end) / Level(Tone(), full, end), 100 / 128.0,
                0.003);
    EXPECT_EQ(Level(capture, start + end, Frames(capture)), 0) << "sound after the tone";
}

struct InitCase {
    const char* Name;
    int Rate, Channels;
    unsigned Flags;
    bool Opens;
    std::vector<std::pair<int, int>> Plays; // channel asked, result expected; in order
};
void PrintTo(const InitCase& row, std::ostream* out) {
    *out << row.Name;
}

class InitTest : public SoundTest, public ::testing::WithParamInterface<InitCase> {};

TEST_P(InitTest, InitOpensTheAskedChannelsAndRefusesOthers) {
    const InitCase& row = GetParam();
    EXPECT_EQ(FSOUND_Init(row.Rate, row.Channels, row.Flags), row.Opens);
    FSOUND_SAMPLE* tone = LoadTone();
    EXPECT_EQ(tone != nullptr, row.Opens);
    for (const auto& [channel, expected] : row.Plays) {
        EXPECT_EQ(FSOUND_PlaySound(channel, tone), expected) << "channel " << channel;
        if (channel != FSOUND_FREE) {
            EXPECT_EQ(FSOUND_SetVolume(channel, 200), expected == channel)
                << "volume on channel " << channel;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InitTest,
    ::testing::Values(
        // The tone lasts 600 ms, so every channel played stays busy for the row.
        InitCase{"show call",
                 44000,
                 2,
                 0,
                 true,
                 {{1, 1}, {FSOUND_FREE, 0}, {FSOUND_FREE, -1}, {0, 0}, {2, -1}, {-2, -1}}},
        InitCase{"one channel asked", 44000, 1, 0, true, {{1, 1}, {0, 0}, {2, -1}}},
        InitCase{"eight channels", 44000, 8, 0, true, {{7, 7}, {8, -1}}},
        InitCase{"flags", 44000, 2, 1, false, {{1, -1}}},
        InitCase{"no rate", 0, 2, 0, false, {{1, -1}}},
        InitCase{"no channels", 44000, 0, 0, false, {{1, -1}}}),
    [](const auto& info) { return CaseName(info.param.Name); });

TEST_F(SoundTest, SecondInitIsRefusedAndKeepsTheOpenOutput) {
    ASSERT_TRUE(FSOUND_Init(44000, 2, 0));
    EXPECT_FALSE(FSOUND_Init(44000, 8, 0));
    FSOUND_SAMPLE* tone = LoadTone();
    ASSERT_NE(tone, nullptr);
    EXPECT_EQ(FSOUND_PlaySound(7, tone), -1) << "the second init took effect";
    EXPECT_EQ(FSOUND_PlaySound(1, tone), 1);
}

struct LoadCase {
    const char* Name;
    std::function<std::string(const fs::path& dir, const fs::path& tone)> MakeFile;
    int Index = FSOUND_FREE;
    unsigned Mode = FSOUND_2D;
    int Offset = 0;
    bool Loads = false;
    bool NullName = false;
    bool NeedsPermissions = false; // root reads any file
};
void PrintTo(const LoadCase& row, std::ostream* out) {
    *out << row.Name;
}

class LoadTest : public SoundTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(LoadTest, OnlyDecodableFilesLoadAndFailuresLeaveTheLibraryWorking) {
    const LoadCase& row = GetParam();
    if (row.NeedsPermissions && geteuid() == 0)
        GTEST_SKIP() << "running as root";
    ASSERT_TRUE(FSOUND_Init(44000, 2, 0));
    const std::string name = row.MakeFile(Dir, TonePath);
    FSOUND_SAMPLE* sample =
        FSOUND_Sample_Load(row.Index, row.NullName ? nullptr : name.c_str(), row.Mode, row.Offset);
    EXPECT_EQ(sample != nullptr, row.Loads);
    EXPECT_EQ(FSOUND_PlaySound(1, sample), row.Loads ? 1 : -1);
    FSOUND_SAMPLE* tone = LoadTone();
    ASSERT_NE(tone, nullptr);
    EXPECT_NE(tone, sample);
    EXPECT_EQ(FSOUND_PlaySound(1, tone), 1);
}

std::string ToneFile(const fs::path&, const fs::path& tone) {
    return tone.string();
}

std::string Written(const fs::path& dir, const std::string& bytes) {
    WriteBytes(dir / "file", bytes);
    return (dir / "file").string();
}

std::string WavHead(const fs::path& tone, std::size_t bytes) {
    std::ifstream in(tone, std::ios::binary);
    std::string head(bytes, '\0');
    in.read(head.data(), static_cast<std::streamsize>(bytes));
    return head;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadTest,
    ::testing::Values(
        LoadCase{.Name = "wav", .MakeFile = ToneFile, .Loads = true},
        LoadCase{.Name = "mode 0", .MakeFile = ToneFile, .Mode = 0, .Loads = true},
        LoadCase{.Name = "missing file",
                 .MakeFile = [](const fs::path& dir,
                                const fs::path&) { return (dir / "absent.wav").string(); }},
        LoadCase{
            .Name = "missing folder",
            .MakeFile = [](const fs::path& dir,
                           const fs::path&) { return (dir / "absent" / "tone.wav").string(); }},
        LoadCase{.Name = "folder",
                 .MakeFile = [](const fs::path& dir, const fs::path&) { return dir.string(); }},
        LoadCase{.Name = "empty file",
                 .MakeFile = [](const fs::path& dir, const fs::path&) { return Written(dir, ""); }},
        LoadCase{.Name = "text",
                 .MakeFile =
                     [](const fs::path& dir, const fs::path&) {
                         std::string text;
                         for (int i = 0; i < 200; ++i)
                             text += "not a sound at all\r\n";
                         return Written(dir, text);
                     }},
        LoadCase{.Name = "truncated wav",
                 .MakeFile = [](const fs::path& dir,
                                const fs::path& tone) { return Written(dir, WavHead(tone, 30)); }},
        LoadCase{.Name = "wav without samples",
                 .MakeFile =
                     [](const fs::path& dir, const fs::path&) {
                         WriteWav(dir / "empty.wav", {}, ShowRate);
                         return (dir / "empty.wav").string();
                     }},
        LoadCase{.Name = "unreadable",
                 .MakeFile =
                     [](const fs::path& dir, const fs::path& tone) {
                         fs::copy_file(tone, dir / "locked.wav");
                         chmod((dir / "locked.wav").c_str(), 0);
                         return (dir / "locked.wav").string();
                     },
                 .NeedsPermissions = true},
        LoadCase{.Name = "explicit index", .MakeFile = ToneFile, .Index = 0},
        LoadCase{.Name = "loop mode", .MakeFile = ToneFile, .Mode = FSOUND_2D | 0x2},
        LoadCase{.Name = "file offset", .MakeFile = ToneFile, .Offset = 44},
        LoadCase{.Name = "null name", .MakeFile = ToneFile, .NullName = true}),
    [](const auto& info) { return CaseName(info.param.Name); });

struct NoDeviceCase {
    const char* Name;
    std::function<void(const fs::path& dir)> BreakOutput;
};
void PrintTo(const NoDeviceCase& row, std::ostream* out) {
    *out << row.Name;
}

class NoDeviceTest : public SoundTest, public ::testing::WithParamInterface<NoDeviceCase> {};

TEST_P(NoDeviceTest, WithoutADeviceEveryCallIsHarmlessUntilAWorkingInit) {
    GetParam().BreakOutput(Dir);
    EXPECT_FALSE(FSOUND_Init(44000, 2, 0));
    FSOUND_SAMPLE* tone = LoadTone();
    EXPECT_EQ(tone, nullptr);
    EXPECT_EQ(FSOUND_PlaySound(1, tone), -1);
    EXPECT_FALSE(FSOUND_SetVolume(1, 200));
    FSOUND_Close();
    FSOUND_Close();

    // The failure left nothing half-open behind.
    UseDiskOutput(Capture);
    ASSERT_TRUE(FSOUND_Init(44000, 2, 0));
    tone = LoadTone();
    ASSERT_NE(tone, nullptr);
    EXPECT_EQ(FSOUND_PlaySound(1, tone), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NoDeviceTest,
    ::testing::Values(NoDeviceCase{"no such driver",
                                   [](const fs::path&) {
                                       setenv("SDL_AUDIODRIVER", "vazu-no-such-driver", 1);
                                   }},
                      NoDeviceCase{"device refuses",
                                   [](const fs::path& dir) {
                                       setenv("SDL_DISKAUDIOFILE",
                                              (dir / "absent" / "capture.raw").c_str(), 1);
                                   }}),
    [](const auto& info) { return CaseName(info.param.Name); });

enum class Heard { NotChecked, ToneThrough, Silence };

struct NoOpCase {
    const char* Name;
    // Brings the library into the row's state; returns the handle to play.
    std::function<FSOUND_SAMPLE*(const fs::path& tone)> Prepare;
    bool Open; // an output is open afterwards
    Heard Expect;
};
void PrintTo(const NoOpCase& row, std::ostream* out) {
    *out << row.Name;
}

class NoOpTest : public SoundTest, public ::testing::WithParamInterface<NoOpCase> {};

TEST_P(NoOpTest, CallThatCannotActChangesNothing) {
    const NoOpCase& row = GetParam();
    FSOUND_SAMPLE* handle = row.Prepare(TonePath);
    EXPECT_EQ(FSOUND_PlaySound(1, handle), -1);
    EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, handle), -1);
    if (!row.Open) {
        // A closed output writes nothing more.
        const auto written = CaptureBytes();
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(CaptureBytes(), written);
        EXPECT_EQ(LoadTone(), nullptr);
        EXPECT_FALSE(FSOUND_SetVolume(1, 200));
        FSOUND_Close();
        return;
    }
    ASSERT_TRUE(CaptureFurther(Frames(Tone())));
    const Pcm capture = Finish();
    if (row.Expect == Heard::Silence) {
        EXPECT_EQ(Level(capture), 0);
    } else if (row.Expect == Heard::ToneThrough) {
        const auto plays = FindPlays(capture, Tone());
        EXPECT_EQ(plays.size(), 1u);
        EXPECT_TRUE(PlaysTileCapture(capture, Tone(), plays));
    }
}

FSOUND_SAMPLE* LoadAndPlay(const fs::path& tone) {
    FSOUND_SAMPLE* sample = FSOUND_Sample_Load(FSOUND_FREE, tone.c_str(), FSOUND_2D, 0);
    FSOUND_PlaySound(1, sample);
    return sample;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NoOpTest,
    ::testing::Values(NoOpCase{"null handle while playing",
                               [](const fs::path& tone) -> FSOUND_SAMPLE* {
                                   EXPECT_TRUE(FSOUND_Init(44000, 2, 0));
                                   EXPECT_NE(LoadAndPlay(tone), nullptr);
                                   return nullptr;
                               },
                               true, Heard::ToneThrough},
                      NoOpCase{"before init",
                               [](const fs::path&) -> FSOUND_SAMPLE* { return nullptr; }, false,
                               Heard::NotChecked},
                      NoOpCase{"after close",
                               [](const fs::path& tone) {
                                   EXPECT_TRUE(FSOUND_Init(44000, 2, 0));
                                   FSOUND_SAMPLE* sample = LoadAndPlay(tone);
                                   EXPECT_NE(sample, nullptr);
                                   FSOUND_Close();
                                   return sample;
                               },
                               false, Heard::NotChecked},
                      NoOpCase{"after double close",
                               [](const fs::path& tone) {
                                   EXPECT_TRUE(FSOUND_Init(44000, 2, 0));
                                   FSOUND_SAMPLE* sample = LoadAndPlay(tone);
                                   EXPECT_NE(sample, nullptr);
                                   FSOUND_Close();
                                   FSOUND_Close();
                                   return sample;
                               },
                               false, Heard::NotChecked},
                      NoOpCase{"old handle in a new session",
                               [](const fs::path& tone) {
                                   EXPECT_TRUE(FSOUND_Init(44000, 2, 0));
                                   FSOUND_SAMPLE* sample = LoadAndPlay(tone);
                                   EXPECT_NE(sample, nullptr);
                                   FSOUND_Close();
                                   EXPECT_TRUE(FSOUND_Init(44000, 2, 0));
                                   // A new sample must not answer to the old handle.
                                   EXPECT_NE(
                                       FSOUND_Sample_Load(FSOUND_FREE, tone.c_str(), FSOUND_2D, 0),
                                       nullptr);
                                   return sample;
                               },
                               true, Heard::Silence}),
    [](const auto& info) { return CaseName(info.param.Name); });

} // namespace
