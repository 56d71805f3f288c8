// The program's own readers and clock take the generated show as it is.
#include <gtest/gtest.h>

#include <cstdlib>

#include "ShowChecks.h"
#include "playback/FrameList.h"
#include "playback/PlaybackClock.h"
#include "playback/SceneScript.h"

namespace fs = std::filesystem;

namespace {

// The show the CTest fixture made, or one made here (and removed again)
// when the test runs on its own.
class ShowFolder {
public:
    ShowFolder() {
        if (const char* Dir = std::getenv("VAZU_DEMO_SHOW")) {
            Path = Dir;
            return;
        }
        Path = MakeTempFolder();
        Owned = true;
        ProgramResult R = RunProgram(VAZU_DEMO_EXE, {Path.string()});
        if (R.ExitCode != 0)
            ADD_FAILURE() << R.Err;
    }
    ~ShowFolder() {
        if (Owned)
            fs::remove_all(Path);
    }
    fs::path Path;
    bool Owned = false;
};

TEST(PlaybackReadsDemo, FrameListAndSceneScriptReadAndTheClockStaysInsideTheFrames) {
    const ShowFolder Folder;
    const fs::path& Show = Folder.Path;
    Frames.clear();
    SceneTable.clear();
    std::int32_t LastCount = 0;
    std::vector<std::string> Missing;
    ReadFrameListFrom((Show / "data" / "frames.dat").string(),
                      [&](std::unique_ptr<TSurface>&, const std::string& Name) {
                          if (!fs::is_regular_file(Show / Name))
                              Missing.push_back(Name);
                      },
                      [&](std::int32_t Count) { LastCount = Count; });
    EXPECT_EQ(Frames.size(), 242u);
    EXPECT_EQ(LastCount, 243);
    EXPECT_TRUE(Missing.empty()) << Missing.front();

    ReadSceneScriptFrom((Show / "data" / "scene.dat").string());
    ASSERT_GE(SceneTable.size(), 383u);

    ResetClockState();
    bool Closed = false;
    std::vector<SongCue> Cues;
    ClockOutputs Outputs{[&](SongCue C) { Cues.push_back(C); }, [&] { Closed = true; }};
    int Ticks = 0;
    while (!Closed && Ticks < 5000) {
        ClockTick(Outputs);
        ++Ticks;
        ASSERT_TRUE(ShownFrame >= 0 && ShownFrame < static_cast<std::int32_t>(Frames.size()))
            << "tick " << Ticks << " shows frame " << ShownFrame;
    }
    EXPECT_TRUE(Closed);
    EXPECT_EQ(Ticks, 4180);
    Frames.clear();
    SceneTable.clear();
}

} // namespace
