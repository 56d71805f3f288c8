// Checks the show that vazu-demo writes, read back with independent readers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>

#include "ShowChecks.h"

namespace fs = std::filesystem;

namespace {

constexpr int FrameCount = 242;

// The show under test: the one the CTest fixture made, or one made here
// when the test runs on its own.
class DemoShow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (const char* Dir = std::getenv("VAZU_DEMO_SHOW")) {
            Folder = Dir;
            return;
        }
        Folder = MakeTempFolder();
        Owned = true;
        ProgramResult R = RunProgram(VAZU_DEMO_EXE, {Folder.string()});
        ASSERT_EQ(R.ExitCode, 0) << R.Err;
    }
    static void TearDownTestSuite() {
        if (Owned)
            fs::remove_all(Folder);
    }
    void SetUp() override { ASSERT_TRUE(fs::is_directory(Data())) << Data() << " missing"; }

    static fs::path Data() { return Folder / "data"; }

    static std::vector<std::string> Lines(const char* Name) {
        std::string Why;
        auto L = SplitCrLfLines(ReadWholeFile(Data() / Name), Why);
        EXPECT_TRUE(L) << Name << ": " << Why;
        return L.value_or(std::vector<std::string>{});
    }

    static std::vector<SceneEntry> Scene() {
        std::string Why;
        auto S = ParseScene(Lines("scene.dat"), Why);
        EXPECT_TRUE(S) << Why;
        return S.value_or(std::vector<SceneEntry>{});
    }

    static inline fs::path Folder;
    static inline bool Owned = false;
};

TEST_F(DemoShow, WritesOnlyTheShowFiles) {
    std::set<std::string> Expected{"loading.jpg", "frames.dat", "scene.dat", "title.mp3",
                                   "vazu.mp3",    "vazu1.mp3",  "vazu2.mp3"};
    for (const std::string& Name : Lines("frames.dat"))
        Expected.insert(Name);
    std::set<std::string> Found;
    for (const auto& E : fs::directory_iterator(Data()))
        Found.insert(E.path().filename().string());
    EXPECT_EQ(Found, Expected);
    std::set<std::string> Top;
    for (const auto& E : fs::directory_iterator(Folder))
        Top.insert(E.path().filename().string());
    EXPECT_EQ(Top, std::set<std::string>{"data"});
}

TEST_F(DemoShow, FrameListNamesFullSizePicturesThatDecode) {
    std::vector<std::string> Names = Lines("frames.dat");
    ASSERT_EQ(Names.size(), static_cast<std::size_t>(FrameCount));
    Names.push_back("loading.jpg");
    for (const std::string& Name : Names) {
        SCOPED_TRACE(Name);
        ASSERT_FALSE(Name.empty());
        ASSERT_EQ(Name.find_first_of(" \\/"), std::string::npos);
        std::string Why;
        auto Jpeg = DecodeJpeg(ReadWholeFile(Data() / Name), Why);
        ASSERT_TRUE(Jpeg) << Why;
        EXPECT_EQ(Jpeg->Width, 640);
        EXPECT_EQ(Jpeg->Height, 480);
        EXPECT_EQ(Jpeg->Components, 3);
    }
}

TEST_F(DemoShow, LoadingPictureKeepsAPlainDarkBandForTheProgressLine) {
    // The progress line is painted at y 455, 16 pixels high, in a white box.
    std::string Why;
    auto Jpeg = DecodeJpeg(ReadWholeFile(Data() / "loading.jpg"), Why);
    ASSERT_TRUE(Jpeg) << Why;
    double Sum = 0, Sum2 = 0;
    int N = 0;
    for (int Y = 448; Y < 480; ++Y)
        for (int X = 0; X < Jpeg->Width; ++X) {
            const std::uint8_t* P =
                &Jpeg->Pixels[(static_cast<std::size_t>(Y) * Jpeg->Width + X) * 3];
            double Luma = 0.299 * P[0] + 0.587 * P[1] + 0.114 * P[2];
            Sum += Luma;
            Sum2 += Luma * Luma;
            ++N;
        }
    double Mean = Sum / N, Deviation = std::sqrt(std::max(0.0, Sum2 / N - Mean * Mean));
    EXPECT_LT(Mean, 60.0);
    EXPECT_LT(Deviation, 4.0);
}

TEST_F(DemoShow, SceneScriptNamesAscendingSlotsUpToTheClosingSection) {
    std::vector<SceneEntry> Entries = Scene();
    ASSERT_FALSE(Entries.empty());
    for (std::size_t I = 0; I < Entries.size(); ++I) {
        SCOPED_TRACE("line " + std::to_string(I + 1));
        EXPECT_GE(Entries[I].Frame, 1);
        // A cycle begun here reaches two frames further.
        EXPECT_LE(Entries[I].Frame - 1 + 2, FrameCount - 1);
        if (I > 0) {
            EXPECT_GT(Entries[I].Slot, Entries[I - 1].Slot);
        }
    }
    EXPECT_GE(Entries.back().Slot, 382);
    EXPECT_EQ(Entries.front().Slot, 0);
}

TEST_F(DemoShow, ClockRunsTheWholeMovieInsideTheFrames) {
    ClockRun Run = RunClock(Scene());
    ASSERT_TRUE(Run.Why.empty()) << Run.Why;
    ASSERT_TRUE(Run.Closed);
    EXPECT_EQ(Run.Ticks.size(), 4180u);
    EXPECT_EQ(Run.LoopCount, 4);
    for (const TickView& T : Run.Ticks)
        ASSERT_TRUE(T.Shown >= 0 && T.Shown < FrameCount)
            << "tick " << T.Tick << " slot " << T.Slot << " shows frame " << T.Shown;
}

TEST_F(DemoShow, EveryFrameAppearsAndEveryCycleMoves) {
    ClockRun Run = RunClock(Scene());
    ASSERT_TRUE(Run.Why.empty()) << Run.Why;
    std::set<int> Shown{0}; // frame 0 is on screen before the first tick
    for (const TickView& T : Run.Ticks)
        Shown.insert(T.Shown);
    for (int F = 0; F < FrameCount; ++F)
        EXPECT_TRUE(Shown.count(F)) << "frame " << F << " never shown";

    // No picture stays up longer than a scene: a cycle that stopped moving
    // would hold one frame for many slots.
    int Longest = 0, Run1 = 0;
    for (std::size_t I = 1; I < Run.Ticks.size(); ++I) {
        Run1 = Run.Ticks[I].Shown == Run.Ticks[I - 1].Shown ? Run1 + 1 : 0;
        Longest = std::max(Longest, Run1 + 1);
    }
    EXPECT_LE(Longest, 10) << "one frame held for " << Longest << " ticks";
}

TEST_F(DemoShow, ClosingAndEndingHaveTheirOwnPictures) {
    std::vector<SceneEntry> Entries = Scene();
    auto HasEntry = [&](int Slot) {
        return std::any_of(Entries.begin(), Entries.end(),
                           [&](const SceneEntry& E) { return E.Slot == Slot; });
    };
    // Each pass of the closing section and the ending start on a chosen frame.
    EXPECT_TRUE(HasEntry(370));
    EXPECT_TRUE(HasEntry(350));

    ClockRun Run = RunClock(Entries);
    ASSERT_TRUE(Run.Why.empty()) << Run.Why;
    std::set<int> Opening, Closing, Ending;
    std::map<int, std::vector<int>> ClosingPasses; // per pass, the frames in order
    int Pass = 0;
    for (std::size_t I = 0; I < Run.Ticks.size(); ++I) {
        const TickView& T = Run.Ticks[I];
        if (T.Slot <= 345)
            Opening.insert(T.Shown);
        else if (T.Slot >= 370) {
            Closing.insert(T.Shown);
            ClosingPasses[Pass].push_back(T.Shown);
            if (T.Slot == 382)
                ++Pass;
        } else
            Ending.insert(T.Shown);
    }
    EXPECT_EQ(Pass, 5);
    for (int F : Closing)
        EXPECT_FALSE(Opening.count(F) || Ending.count(F)) << "closing frame " << F;
    for (int F : Ending)
        EXPECT_FALSE(Opening.count(F)) << "ending frame " << F;
    // The five passes look the same.
    for (int P = 1; P < 5; ++P)
        EXPECT_EQ(ClosingPasses[P], ClosingPasses[0]) << "pass " << P;
    EXPECT_GE(Closing.size(), 6u);
}

TEST_F(DemoShow, FramesOfACycleDiffer) {
    // Three frames that were all alike would not animate.
    const std::vector<std::string> Names = Lines("frames.dat");
    for (const SceneEntry& E : Scene()) {
        std::vector<std::vector<std::uint8_t>> Pixels;
        for (int K = 0; K < 3; ++K) {
            std::string Why;
            const std::string& Name = Names.at(E.Frame - 1 + K);
            auto Jpeg = DecodeJpeg(ReadWholeFile(Data() / Name), Why);
            ASSERT_TRUE(Jpeg) << Name << ": " << Why;
            Pixels.push_back(std::move(Jpeg->Pixels));
        }
        for (int A = 0; A < 3; ++A) {
            const auto& P = Pixels[A];
            const auto& Q = Pixels[(A + 1) % 3];
            double Diff = 0;
            for (std::size_t I = 0; I < P.size(); ++I)
                Diff += std::abs(int(P[I]) - int(Q[I]));
            Diff /= P.size();
            EXPECT_GT(Diff, 1.0) << "slot " << E.Slot << ": frames " << E.Frame + A << " and next";
        }
    }
}

TEST(ClockModel, FollowsTheTimelineRules) {
    // The model the checks above rely on: entries at slots 0, 2, 4 and 9
    // (frames 1, 4, 7, 12) show 0, 1, 3, 4, 6, 7, 8, 6, 7, 11 in slots 0..9.
    std::vector<SceneEntry> Entries{{0, 1}, {2, 4}, {4, 7}, {9, 12}, {382, 1}};
    ClockRun Run = RunClock(Entries);
    ASSERT_TRUE(Run.Why.empty()) << Run.Why;
    std::vector<int> PerSlot(10, -1);
    for (const TickView& T : Run.Ticks)
        if (T.Tick < 100)
            PerSlot[T.Slot] = T.Shown;
    EXPECT_EQ(PerSlot, (std::vector<int>{0, 1, 3, 4, 6, 7, 8, 6, 7, 11}));
    EXPECT_TRUE(Run.Closed);
    EXPECT_EQ(Run.Ticks.size(), 4180u);
    EXPECT_EQ(Run.LoopCount, 4);

    // A table that stops short of slot 382 is caught, not read past.
    ClockRun Short = RunClock({{0, 1}, {381, 1}});
    EXPECT_FALSE(Short.Why.empty());
}

struct SongCase {
    const char* Name;
    double MinSeconds; // its place on the timeline
    double MaxSeconds;
};

TEST_F(DemoShow, SongsAreMp3OfTheLengthTheirPlaceNeeds) {
    const SongCase Cases[] = {
        {"title.mp3", 30.0, 60.0}, // loading, and 69.0 s to 81.0 s
        {"vazu.mp3", 40.2, 50.0},  // 0 s to 40.2 s
        {"vazu1.mp3", 28.8, 40.0}, // 40.2 s to 69.0 s
        {"vazu2.mp3", 2.6, 10.0},  // 81.0 s to 83.6 s
    };
    std::set<std::string> Contents;
    for (const SongCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        std::string Bytes = ReadWholeFile(Data() / C.Name);
        Mp3Walk Walk = WalkMp3Frames(Bytes);
        ASSERT_TRUE(Walk.Ok) << Walk.Why;
        EXPECT_EQ(Walk.SampleRate, 44100);
        EXPECT_LE(Walk.BitrateKbps, 160);
        EXPECT_GE(Walk.Seconds(), C.MinSeconds);
        EXPECT_LE(Walk.Seconds(), C.MaxSeconds);

        Mp3Decode Sound = DecodeMp3(Bytes);
        ASSERT_TRUE(Sound.Ok) << Sound.Why;
        EXPECT_NEAR(Sound.SamplesPerChannel, Walk.Frames * 1152L, 2 * 1152L);
        EXPECT_GT(Sound.Rms, 0.05) << "nearly silent";
        EXPECT_LT(Sound.Peak, 1.0) << "clipped";
        Contents.insert(Bytes);
    }
    EXPECT_EQ(Contents.size(), std::size(Cases));
}

TEST_F(DemoShow, AnotherRunWritesTheSameShowAndLeavesOtherFilesAlone) {
    // This folder already has a data/ with a stale frame and a file of the user's.
    fs::path Again = MakeTempFolder();
    fs::create_directories(Again / "data");
    { std::ofstream(Again / "data" / "f001.jpg") << "stale"; }
    { std::ofstream(Again / "data" / "notes.txt") << "mine\r\n"; }

    ProgramResult R = RunProgram(VAZU_DEMO_EXE, {Again.string()});
    ASSERT_EQ(R.ExitCode, 0) << R.Err;

    EXPECT_EQ(ReadWholeFile(Again / "data" / "notes.txt"), "mine\r\n");
    std::size_t Compared = 0;
    for (const auto& E : fs::directory_iterator(Data())) {
        std::string Name = E.path().filename().string();
        EXPECT_TRUE(ReadWholeFile(E.path()) == ReadWholeFile(Again / "data" / Name))
            << Name << " differs";
        ++Compared;
    }
    EXPECT_EQ(Compared, 249u);
    fs::remove_all(Again);
}

struct BadCall {
    const char* What;
    std::vector<std::string> Args;
    int ExitCode;
    const char* ErrorText;
};

TEST(DemoGenerator, RefusesBadArgumentsWithAMessage) {
    fs::path Temp = MakeTempFolder();
    fs::path File = Temp / "plain-file";
    { std::ofstream(File) << "x"; }
    fs::path DataIsFile = Temp / "show";
    fs::create_directories(DataIsFile);
    { std::ofstream(DataIsFile / "data") << "x"; }

    const BadCall Cases[] = {
        {"no folder", {}, 2, "usage: vazu-demo <show-folder>"},
        {"two folders", {(Temp / "a").string(), (Temp / "b").string()}, 2, "usage"},
        {"empty folder name", {""}, 2, "usage"},
        {"folder is a file", {File.string()}, 1, "vazu-demo: "},
        {"data is a file", {DataIsFile.string()}, 1, "vazu-demo: "},
    };
    for (const BadCall& C : Cases) {
        SCOPED_TRACE(C.What);
        ProgramResult R = RunProgram(VAZU_DEMO_EXE, C.Args);
        EXPECT_EQ(R.ExitCode, C.ExitCode);
        EXPECT_NE(R.Err.find(C.ErrorText), std::string::npos) << R.Err;
    }
    // Nothing was written for any of them.
    EXPECT_FALSE(fs::exists(Temp / "a"));
    EXPECT_FALSE(fs::exists(Temp / "b"));
    EXPECT_EQ(ReadWholeFile(File), "x");
    EXPECT_EQ(ReadWholeFile(DataIsFile / "data"), "x");
    fs::remove_all(Temp);
}

} // namespace
