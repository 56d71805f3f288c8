#include "display/DisplayInstance.h"
#include "playback/FrameList.h"
#include "playback/FramePresenter.h"
#include "playback/PlaybackClock.h"
#include "tests/display/Fakes.h"

#include <gtest/gtest.h>

namespace {

// A display on a fake chain, and two frames on fake surfaces.
class Presenter : public ::testing::Test {
protected:
    void SetUp() override {
        ResetClockState();
        DD.Made = &Front;
        Front.Attached = &Back;
        Factory.Next(&DD);
        Display = std::make_unique<TDisplay>();
        ASSERT_EQ(Display->CreateFullScreenDisplay(1, 640, 480, 16), S_OK);
        for (FakeSurface* picture : {&Frame0, &Frame1}) {
            DD.Made = picture;
            DDSURFACEDESC2 desc{};
            desc.dwSize = sizeof desc;
            Frames.push_back(std::make_unique<TSurface>());
            ASSERT_EQ(Frames.back()->CreateSurface(&DD, &desc), S_OK);
        }
        Log.clear();
    }
    void TearDown() override {
        Frames.clear();
        Display.reset();
        ResetClockState();
    }

    CallLog Log;
    FakeDirectDraw DD{Log, "DD"};
    FakeSurface Front{Log, "Front"};
    FakeSurface Back{Log, "Back"};
    FakeSurface Frame0{Log, "Frame0"};
    FakeSurface Frame1{Log, "Frame1"};
    FactoryScope Factory{Log};
};

const std::string Flip = "Front.Flip(null,0x0)";

std::string Blit(const std::string& Frame) { return "Back.BltFast(0,0," + Frame + ",null,0x0)"; }

TEST_F(Presenter, DrawsNothingBeforeLoadingHasFinished) {
    PresentFrame();
    EXPECT_TRUE(Log.empty()) << Joined(Log);
}

TEST_F(Presenter, DrawsTheShownFrameOnEveryCall) {
    Started = 1;
    PresentFrame(); // before the first tick: frame 0
    PresentFrame(); // no tick between: the same frame again
    ShownFrame = 1;
    PresentFrame();
    EXPECT_EQ(Log, (CallLog{Blit("Frame0"), "Frame0.Release", Flip, Blit("Frame0"),
                            "Frame0.Release", Flip, Blit("Frame1"), "Frame1.Release", Flip}))
        << Joined(Log);
}

TEST_F(Presenter, AnIndexOutsideTheFramesDrawsNothingButStillPresents) {
    Started = 1;
    for (std::int32_t index : {-1, 2, INT32_MAX, INT32_MIN}) {
        SCOPED_TRACE(index);
        Log.clear();
        ShownFrame = index;
        PresentFrame();
        EXPECT_EQ(Log, CallLog{Flip}) << Joined(Log);
    }
    Frames.clear(); // an empty frame list
    Log.clear();
    ShownFrame = 0;
    PresentFrame();
    EXPECT_EQ(Log, CallLog{Flip}) << Joined(Log);
}

TEST_F(Presenter, NeverTouchesAReleasedDisplay) {
    Started = 1;
    Display.reset();
    Log.clear();
    PresentFrame();
    EXPECT_TRUE(Log.empty()) << Joined(Log);
}

} // namespace
