// audio-cues on captures of known content: built sample by sample from WAV
// songs (SDL_mixer decodes a 44000 Hz WAV to its own samples, so the expected
// capture is known exactly), and recorded in real time from MP3 songs played
// through the sound library.
#include "sound/FSound.h"
#include "tests/sound/SoundFixtures.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <numbers>
#include <optional>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr int MixRate = 44000;
constexpr int BufferFrames = 1024; // the sound library's mixing buffer
const char* const SongNames[] = {"vazu.mp3", "vazu1.mp3", "title.mp3", "vazu2.mp3"};
enum SongIndex { Vazu, Vazu1, Title, Vazu2 };

// A sweep from `from` to `to` Hz, scaled differently on the two sides. It never
// repeats itself, and it starts off zero so its first frame is already audible.
Pcm Chirp(int rate, double seconds, double from, double to, double left, double right) {
    const auto frames = static_cast<std::size_t>(rate * seconds);
    Pcm pcm(frames * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = double(i) / rate;
        const double phase =
            2 * std::numbers::pi * (from * t + (to - from) * t * t / (2 * seconds)) +
            std::numbers::pi / 4;
        pcm[2 * i] = static_cast<std::int16_t>(std::lround(left * std::sin(phase)));
        pcm[2 * i + 1] = static_cast<std::int16_t>(std::lround(right * std::sin(phase)));
    }
    return pcm;
}

Pcm Join(Pcm first, const Pcm& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

Pcm Silence(std::size_t frames) {
    return Pcm(frames * 2, 0);
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void PutLE(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::string PcmBytes(const Pcm& pcm) {
    std::string bytes;
    bytes.reserve(pcm.size() * 2);
    for (std::int16_t s : pcm)
        PutLE(bytes, static_cast<std::uint16_t>(s), 2);
    return bytes;
}

struct ToolRun {
    int Status = -1; // exit status; -1 when it did not exit normally
    std::string Out, Err;
};

// Runs audio-cues with stdout and stderr caught in files under `scratch`.
ToolRun RunCues(const std::vector<std::string>& args, const fs::path& scratch) {
    const fs::path out = scratch / "cues.out", err = scratch / "cues.err";
    std::vector<std::string> words = {AUDIO_CUES_EXE};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, AUDIO_CUES_EXE, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ToolRun run;
    if (spawned != 0) {
        run.Err = "cannot start " AUDIO_CUES_EXE;
        return run;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.Out = ReadBytes(out);
    run.Err = ReadBytes(err);
    return run;
}

struct Cue {
    double Seconds = 0;
    std::string Song;
    int Volume = 0; // only with --with-volume
};

struct CueList {
    std::vector<Cue> Starts;
    std::optional<double> End; // none: "end none"
};

// Reads the tool's output; fails the test and returns nullopt when a line is
// not in the documented form or "end" is missing or not last.
std::optional<CueList> ParseCues(const std::string& out, bool withVolume) {
    CueList cues;
    std::istringstream lines(out);
    std::string line;
    bool ended = false;
    while (std::getline(lines, line)) {
        if (ended) {
            ADD_FAILURE() << "line after the end line: " << line;
            return std::nullopt;
        }
        std::istringstream words(line);
        std::string first, rest;
        words >> first;
        if (first == "end") {
            ended = true;
            std::string value;
            words >> value;
            if (value != "none") {
                std::size_t used = 0;
                try {
                    cues.End = std::stod(value, &used);
                } catch (const std::exception&) {
                    used = 0;
                }
                if (used == 0 || used != value.size()) {
                    ADD_FAILURE() << "bad end line: " << line;
                    return std::nullopt;
                }
            }
        } else {
            Cue cue;
            std::istringstream seconds(first);
            seconds >> cue.Seconds;
            words >> cue.Song;
            if (withVolume)
                words >> cue.Volume;
            if (!seconds || !seconds.eof() || cue.Song.empty() || !words) {
                ADD_FAILURE() << "bad start line: " << line;
                return std::nullopt;
            }
            cues.Starts.push_back(cue);
        }
        if (words >> rest) {
            ADD_FAILURE() << "extra words in line: " << line;
            return std::nullopt;
        }
    }
    if (!ended) {
        ADD_FAILURE() << "no end line in:\n" << out;
        return std::nullopt;
    }
    return cues;
}

std::string Describe(const CueList& cues) {
    std::ostringstream text;
    for (const Cue& cue : cues.Starts)
        text << cue.Seconds << ' ' << cue.Song << ' ' << cue.Volume << '\n';
    text << "end ";
    if (cues.End)
        text << *cues.End;
    else
        text << "none";
    return text.str();
}

std::string CaseName(std::string name) {
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

// ---- captures built sample by sample ----

// Songs as WAV at the mixing rate. Title starts with 3000 frames of digital
// silence; vazu2 begins with title's first 7400 frames and then goes its own way.
const std::vector<Pcm>& BuiltSongs() {
    static const std::vector<Pcm> songs = [] {
        const Pcm title = Join(Silence(3000), Chirp(MixRate, 0.4, 800, 1800, 10000, 6000));
        const Pcm shared(title.begin(), title.begin() + 2 * 7400);
        return std::vector<Pcm>{
            Chirp(MixRate, 0.5, 300, 3000, 12000, -7000),
            Chirp(MixRate, 0.4, 2500, 500, 9000, 11000),
            title,
            Join(shared, Chirp(MixRate, 0.3, 1500, 4000, 8000, 12000)),
        };
    }();
    return songs;
}

struct Play {
    int Song;
    std::size_t Frame;
    int Volume = 100; // SDL_mixer's 0..128
};

struct BuiltCase {
    const char* Name;
    std::vector<Play> Plays; // in time order; each lasts until the next or its song's end
    std::size_t CaptureFrames;
    std::vector<Play> Expected;
    std::size_t ExtraBytes = 0; // an unfinished frame at the capture's end
};
void PrintTo(const BuiltCase& row, std::ostream* out) {
    *out << row.Name;
}

// What the mixer makes of the plays: each song scaled as SDL mixes S16.
Pcm BuildCapture(const BuiltCase& row) {
    Pcm capture(row.CaptureFrames * 2, 0);
    for (std::size_t i = 0; i < row.Plays.size(); ++i) {
        const Play& play = row.Plays[i];
        const Pcm& song = BuiltSongs()[std::size_t(play.Song)];
        std::size_t until = std::min(play.Frame + Frames(song), row.CaptureFrames);
        if (i + 1 < row.Plays.size())
            until = std::min(until, row.Plays[i + 1].Frame);
        for (std::size_t f = play.Frame; f < until; ++f)
            for (std::size_t side = 0; side < 2; ++side)
                capture[2 * f + side] = static_cast<std::int16_t>(
                    song[2 * (f - play.Frame) + side] * play.Volume / 128);
    }
    return capture;
}

class AudioCuesBuiltTest : public ::testing::TestWithParam<BuiltCase> {
protected:
    void SetUp() override {
        fs::create_directories(Dir.Path() / "show" / "data");
        for (std::size_t i = 0; i < BuiltSongs().size(); ++i)
            WriteWav(Dir.Path() / "show" / "data" / SongNames[i], BuiltSongs()[i], MixRate);
    }
    TempFolder Dir;
};

TEST_P(AudioCuesBuiltTest, StartsAreFoundAtTheirFrame) {
    const BuiltCase& row = GetParam();
    const Pcm capture = BuildCapture(row);
    const fs::path capturePath = Dir.Path() / "capture.raw";
    const std::string bytes = PcmBytes(capture) + std::string(row.ExtraBytes, '\x7f');
    WriteBytes(capturePath, bytes);
    // As under ctest: the disk driver still named, and pointing at the capture.
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", capturePath.c_str(), 1);

    const ToolRun run = RunCues(
        {"--with-volume", capturePath.string(), (Dir.Path() / "show").string()}, Dir.Path());
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(ReadBytes(capturePath), bytes) << "the capture was changed";
    EXPECT_EQ(run.Err.find("unfinished frame") != std::string::npos, row.ExtraBytes != 0)
        << run.Err;
    const auto cues = ParseCues(run.Out, true);
    ASSERT_TRUE(cues);

    ASSERT_EQ(cues->Starts.size(), row.Expected.size()) << Describe(*cues);
    for (std::size_t i = 0; i < row.Expected.size(); ++i) {
        const Play& expected = row.Expected[i];
        const Cue& found = cues->Starts[i];
        EXPECT_EQ(found.Song, SongNames[expected.Song]) << "start " << i;
        // Printed to 0.1 ms: the frame itself, give or take rounding.
        EXPECT_NEAR(found.Seconds, double(expected.Frame) / MixRate, 0.00006) << "start " << i;
        EXPECT_EQ(found.Volume, expected.Volume) << "start " << i;
    }

    std::optional<double> lastSound;
    for (std::size_t f = Frames(capture); f-- > 0;)
        if (capture[2 * f] != 0 || capture[2 * f + 1] != 0) {
            lastSound = double(f) / MixRate;
            break;
        }
    ASSERT_EQ(cues->End.has_value(), lastSound.has_value()) << Describe(*cues);
    if (lastSound) {
        EXPECT_NEAR(*cues->End, *lastSound, 0.00006);
    }
}

// Song lengths in frames: vazu 22000, vazu1 17600, title 20600, vazu2 20600.
INSTANTIATE_TEST_SUITE_P(
    Cases, AudioCuesBuiltTest,
    ::testing::Values(
        BuiltCase{"each song whole, apart",
                  {{Vazu, 1000}, {Vazu1, 30000}, {Title, 60000}, {Vazu2, 90000}},
                  120000,
                  {{Vazu, 1000}, {Vazu1, 30000}, {Title, 60000}, {Vazu2, 90000}}},
        BuiltCase{"each cut by the next",
                  {{Vazu, 0}, {Vazu1, 5000}, {Title, 12000}, {Vazu2, 40000}, {Vazu, 60000}},
                  70000,
                  {{Vazu, 0}, {Vazu1, 5000}, {Title, 12000}, {Vazu2, 40000}, {Vazu, 60000}}},
        BuiltCase{"leading silence belongs to the song", {{Title, 0}}, 30000, {{Title, 0}}},
        BuiltCase{"burst of restarts a buffer apart is the last one",
                  {{Vazu1, 10000}, {Vazu1, 11024}, {Vazu1, 12048}, {Vazu1, 13072}},
                  40000,
                  {{Vazu1, 13072}}},
        BuiltCase{"restart after 0.3 s is a cue of its own",
                  {{Vazu1, 10000}, {Vazu1, 23200}},
                  50000,
                  {{Vazu1, 10000}, {Vazu1, 23200}}},
        BuiltCase{"volume is found per start",
                  {{Vazu, 0, 128}, {Vazu1, 30000, 100}, {Title, 60000, 1}, {Vazu2, 90000, 64}},
                  120000,
                  {{Vazu, 0, 128}, {Vazu1, 30000, 100}, {Title, 60000, 1}, {Vazu2, 90000, 64}}},
        BuiltCase{"shared beginning: the song that goes on is the one found",
                  {{Vazu2, 1000}, {Title, 30000}},
                  60000,
                  {{Vazu2, 1000}, {Title, 30000}}},
        BuiltCase{"play cut inside a shared beginning is not guessed",
                  {{Vazu2, 1000}, {Vazu, 7000}, {Title, 40000}, {Vazu, 46000}},
                  70000,
                  {{Vazu, 7000}, {Vazu, 46000}}},
        BuiltCase{"play cut before its fingerprint is not found",
                  {{Vazu, 1000}, {Vazu1, 1300}},
                  30000,
                  {{Vazu1, 1300}}},
        BuiltCase{"start cut by the capture's end is not found", {{Vazu, 9800}}, 10000, {}},
        BuiltCase{"silence only", {}, 10000, {}}, BuiltCase{"empty capture", {}, 0, {}},
        BuiltCase{"unfinished last frame is left out", {{Vazu, 100}}, 30000, {{Vazu, 100}}, 2}),
    [](const auto& info) { return CaseName(info.param.Name); });

// ---- refused input ----

struct RefusedCase {
    const char* Name;
    std::function<void(const fs::path& show)> Spoil; // what to break in a good show
    std::function<std::vector<std::string>(const fs::path& capture, const fs::path& show)> Args;
    int Status;
    const char* Names; // a text the error must name
};
void PrintTo(const RefusedCase& row, std::ostream* out) {
    *out << row.Name;
}

class AudioCuesRefusedTest : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(AudioCuesRefusedTest, BadInputIsRefusedWithAClearErrorAndNoCues) {
    const RefusedCase& row = GetParam();
    TempFolder dir;
    const fs::path show = dir.Path() / "show", capture = dir.Path() / "capture.raw";
    fs::create_directories(show / "data");
    for (std::size_t i = 0; i < BuiltSongs().size(); ++i)
        WriteWav(show / "data" / SongNames[i], BuiltSongs()[i], MixRate);
    WriteBytes(capture, PcmBytes(Join(Silence(100), BuiltSongs()[Vazu])));
    row.Spoil(show);

    const ToolRun run = RunCues(row.Args(capture, show), dir.Path());
    EXPECT_EQ(run.Status, row.Status) << run.Err;
    EXPECT_EQ(run.Out, "");
    EXPECT_NE(run.Err.find(row.Names), std::string::npos) << run.Err;
}

const auto NoChange = [](const fs::path&) {};
const auto Normal = [](const fs::path& capture, const fs::path& show) {
    return std::vector<std::string>{capture.string(), show.string()};
};

INSTANTIATE_TEST_SUITE_P(
    Cases, AudioCuesRefusedTest,
    ::testing::Values(
        RefusedCase{"no arguments", NoChange,
                    [](const fs::path&, const fs::path&) { return std::vector<std::string>{}; }, 2,
                    "usage"},
        RefusedCase{"only the capture given", NoChange,
                    [](const fs::path& capture, const fs::path&) {
                        return std::vector<std::string>{capture.string()};
                    },
                    2, "usage"},
        RefusedCase{"unknown option", NoChange,
                    [](const fs::path& capture, const fs::path& show) {
                        return std::vector<std::string>{"--fast", capture.string(), show.string()};
                    },
                    2, "usage"},
        RefusedCase{"capture missing", NoChange,
                    [](const fs::path& capture, const fs::path& show) {
                        return std::vector<std::string>{capture.string() + ".none", show.string()};
                    },
                    1, "capture.raw.none"},
        RefusedCase{"capture is a folder", NoChange,
                    [](const fs::path&, const fs::path& show) {
                        return std::vector<std::string>{show.string(), show.string()};
                    },
                    1, "not a file"},
        RefusedCase{"song missing",
                    [](const fs::path& show) { fs::remove(show / "data" / "vazu2.mp3"); }, Normal,
                    1, "vazu2.mp3"},
        RefusedCase{"song undecodable",
                    [](const fs::path& show) {
                        WriteBytes(show / "data" / "vazu1.mp3", "not a song at all");
                    },
                    Normal, 1, "vazu1.mp3"},
        RefusedCase{"song silent",
                    [](const fs::path& show) {
                        WriteWav(show / "data" / "title.mp3", Silence(20000), MixRate);
                    },
                    Normal, 1, "title.mp3"}),
    [](const auto& info) { return CaseName(info.param.Name); });

// ---- a capture recorded through the sound library ----

// The show's pattern in two seconds: a song, then another restarted five times
// a tick apart, a short one that ends on its own, and one still playing when
// the output closes. MP3 at 44100 Hz, so decoder delay and resampling are in.
TEST(AudioCuesRecordedTest, SongsPlayedByTheSoundLibraryAreFoundWhereTheyStarted) {
    TempFolder dir;
    const fs::path show = dir.Path() / "show", capture = dir.Path() / "capture.raw";
    fs::create_directories(show / "data");
    const int rate = 44100;
    WriteMp3(show / "data" / "vazu.mp3", Chirp(rate, 0.8, 300, 3000, 12000, -7000), rate);
    WriteMp3(show / "data" / "vazu1.mp3", Chirp(rate, 1.0, 2500, 500, 9000, 11000), rate);
    WriteMp3(show / "data" / "title.mp3", Chirp(rate, 0.25, 800, 1800, 10000, 6000), rate);
    WriteMp3(show / "data" / "vazu2.mp3", Chirp(rate, 0.6, 1500, 4000, 8000, 12000), rate);

    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
    ASSERT_TRUE(FSOUND_Init(44000, 2, 0));
    struct CloseOutput {
        ~CloseOutput() { FSOUND_Close(); } // also when an assertion leaves early
    } closeOutput;
    FSOUND_SAMPLE* samples[4] = {};
    for (int i = 0; i < 4; ++i) {
        // The program names its files with backslashes.
        const std::string name = show.string() + "\\data\\" + SongNames[i];
        samples[i] = FSOUND_Sample_Load(FSOUND_FREE, name.c_str(), FSOUND_2D, 0);
        ASSERT_NE(samples[i], nullptr) << SongNames[i];
    }

    // Where the capture stands when each call is made. A play starts with the
    // next mixing buffer (one later when the call waits for a buffer being
    // mixed), and the file may lag what was mixed by its stdio buffer.
    auto capturedSeconds = [&] {
        std::error_code ec;
        const auto bytes = fs::file_size(capture, ec);
        return ec ? 0.0 : double(bytes / 4) / MixRate;
    };
    struct Call {
        std::chrono::milliseconds At;
        int Song;
    };
    const Call calls[] = {{0ms, Vazu},    {500ms, Vazu1}, {520ms, Vazu1},  {540ms, Vazu1},
                          {560ms, Vazu1}, {580ms, Vazu1}, {1200ms, Title}, {1700ms, Vazu2}};
    std::vector<double> calledAt;
    const auto t0 = std::chrono::steady_clock::now();
    for (const Call& call : calls) {
        std::this_thread::sleep_until(t0 + call.At);
        calledAt.push_back(capturedSeconds());
        ASSERT_EQ(FSOUND_PlaySound(1, samples[call.Song]), 1);
        if (call.Song == Vazu) {
            ASSERT_TRUE(FSOUND_SetVolume(1, 200)); // after the first play, as the show does
        }
    }
    std::this_thread::sleep_until(t0 + 2000ms);
    FSOUND_Close();
    const double captureEnd = capturedSeconds();
    struct stat info {};
    ASSERT_EQ(stat(capture.c_str(), &info), 0);
    const double rounding = 0.0001; // printed to 0.1 ms
    const double latest = double(BufferFrames + info.st_blksize / 4) / MixRate + rounding;

    // Of vazu1's burst only the last start is a cue.
    const std::vector<std::pair<std::string, double>> expected = {{"vazu.mp3", calledAt[0]},
                                                                  {"vazu1.mp3", calledAt[5]},
                                                                  {"title.mp3", calledAt[6]},
                                                                  {"vazu2.mp3", calledAt[7]}};

    for (const bool withVolume : {false, true}) {
        SCOPED_TRACE(withVolume ? "with volume" : "plain");
        std::vector<std::string> args = {capture.string(), show.string()};
        if (withVolume)
            args.insert(args.begin(), "--with-volume");
        const ToolRun run = RunCues(args, dir.Path());
        ASSERT_EQ(run.Status, 0) << run.Err;
        const auto cues = ParseCues(run.Out, withVolume);
        ASSERT_TRUE(cues);
        ASSERT_EQ(cues->Starts.size(), expected.size()) << Describe(*cues);
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(cues->Starts[i].Song, expected[i].first) << "start " << i;
            // With a 4 KiB stdio buffer: from the size seen to 46.5 ms after it.
            EXPECT_GE(cues->Starts[i].Seconds, expected[i].second - rounding) << "start " << i;
            EXPECT_LE(cues->Starts[i].Seconds, expected[i].second + latest) << "start " << i;
            if (withVolume) {
                EXPECT_EQ(cues->Starts[i].Volume, 100) << "start " << i;
            }
        }
        // vazu2 was still playing when the output closed.
        ASSERT_TRUE(cues->End);
        EXPECT_NEAR(*cues->End, captureEnd, 0.030);
    }
}

} // namespace
