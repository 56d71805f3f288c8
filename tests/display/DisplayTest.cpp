// TDisplay against recording fakes: the order of every DirectDraw call, the
// result codes, and that each field holds exactly one reference.
#include "display/DDUtil.h"
#include "tests/display/Fakes.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

constexpr HWND Window = 7;

// One DirectDraw object with its flipping chain, wired together.
struct Chain {
    explicit Chain(CallLog& Log, const std::string& Prefix = "")
        : DD(Log, Prefix + "DD"), Front(Log, Prefix + "Front"), Back(Log, Prefix + "Back") {
        DD.Made = &Front;
        Front.Attached = &Back;
    }
    FakeDirectDraw DD;
    FakeSurface Front;
    FakeSurface Back;
};

const CallLog CreationCalls = {
    "DirectDrawCreateEx(null,IID_IDirectDraw7,null)",
    "DD.SetCooperativeLevel(7,0x11)",
    "DD.SetDisplayMode(640,480,16,0,0x0)",
    "DD.CreateSurface(size=124,flags=0x21,caps=0x2218,caps234=0x0,backbuffers=1,w=0,h=0,"
    "outer=null)",
    "Front.GetAttachedSurface(0x4,0x0,0x0,0x0)",
};

TEST(DisplayCreate, TakesTheScreenStepByStepAndGivesItBackInOrder) {
    CallLog Log;
    Chain Objects(Log);
    FactoryScope Factory(Log);
    Factory.Next(&Objects.DD);
    {
        TDisplay Display;
        EXPECT_EQ(Display.WindowHandle(), 0u);
        EXPECT_EQ(Display.DDObject(), nullptr);

        ASSERT_EQ(Display.CreateFullScreenDisplay(Window, 640, 480, 16), S_OK);
        EXPECT_EQ(Log, CreationCalls) << Joined(Log);
        EXPECT_EQ(Display.WindowHandle(), Window);
        EXPECT_EQ(Display.DDObject(), &Objects.DD);
        // One reference per field: the display holds each object once.
        EXPECT_EQ(Objects.DD.Refs, 1u);
        EXPECT_EQ(Objects.Front.Refs, 1u);
        EXPECT_EQ(Objects.Back.Refs, 1u);
        Log.clear();
    }
    EXPECT_EQ(Log, (CallLog{"Back.Release", "Front.Release", "DD.SetCooperativeLevel(7,0x8)",
                            "DD.Release"}))
        << Joined(Log);
}

struct FailedStep {
    const char* Name;
    HRESULT CreateResult;
    HRESULT CooperativeResult;
    HRESULT ModeResult;
    HRESULT SurfaceResult;
    HRESULT AttachedResult;
    size_t CallsMade; // how much of CreationCalls ran
    bool HoldsDD;
    bool HoldsFront;
};
void PrintTo(const FailedStep& Case, std::ostream* Out) {
    *Out << Case.Name;
}

class DisplayCreateFails : public ::testing::TestWithParam<FailedStep> {};

// Every failing step answers E_FAIL, never DirectDraw's code; what was made
// stays until the release, which leaves exclusive mode with window 0.
TEST_P(DisplayCreateFails, AnswersEFailAndKeepsWhatWasMade) {
    const FailedStep& Case = GetParam();
    CallLog Log;
    Chain Objects(Log);
    Objects.DD.CooperativeResult = Case.CooperativeResult;
    Objects.DD.ModeResult = Case.ModeResult;
    Objects.DD.SurfaceResult = Case.SurfaceResult;
    Objects.Front.AttachedResult = Case.AttachedResult;
    FactoryScope Factory(Log);
    Factory.Next(&Objects.DD, Case.CreateResult);
    {
        TDisplay Display;
        EXPECT_EQ(Display.CreateFullScreenDisplay(Window, 640, 480, 16), E_FAIL);
        EXPECT_EQ(Log, CallLog(CreationCalls.begin(), CreationCalls.begin() + Case.CallsMade))
            << Joined(Log);
        EXPECT_EQ(Display.WindowHandle(), 0u);
        EXPECT_EQ(Display.DDObject() != nullptr, Case.HoldsDD);
        EXPECT_EQ(Objects.Front.Refs, Case.HoldsFront ? 1u : 0u);
        EXPECT_EQ(Objects.Back.Refs, 0u);
        // Nothing drawable: a blit finds no back buffer.
        std::unique_ptr<TSurface> Frame = std::make_unique<TSurface>();
        EXPECT_EQ(Display.BlitSurface(0, 0, Frame, nullptr), E_POINTER);
        Log.clear();
    }
    CallLog Release;
    if (Case.HoldsFront)
        Release.push_back("Front.Release");
    if (Case.HoldsDD) {
        Release.push_back("DD.SetCooperativeLevel(0,0x8)");
        Release.push_back("DD.Release");
    }
    EXPECT_EQ(Log, Release) << Joined(Log);
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, DisplayCreateFails,
    ::testing::Values(
        FailedStep{"CreateExFails", DDERR_NODIRECTDRAWSUPPORT, S_OK, S_OK, S_OK, S_OK, 1, false,
                   false},
        // Anything but S_OK counts, also a success code; the object handed out stays.
        FailedStep{"CreateExSFalse", S_FALSE, S_OK, S_OK, S_OK, S_OK, 1, true, false},
        FailedStep{"CooperativeLevel", S_OK, DDERR_EXCLUSIVEMODEALREADYSET, S_OK, S_OK, S_OK, 2,
                   true, false},
        FailedStep{"DisplayMode", S_OK, S_OK, DDERR_INVALIDMODE, S_OK, S_OK, 3, true, false},
        FailedStep{"PrimarySurface", S_OK, S_OK, S_OK, DDERR_OUTOFMEMORY, S_OK, 4, true, false},
        FailedStep{"BackBuffer", S_OK, S_OK, S_OK, S_OK, DDERR_NOTFOUND, 5, true, true}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST(DisplayCreate, ASecondCreationReleasesEverythingFirst) {
    CallLog Log;
    Chain First(Log, "1");
    Chain Second(Log, "2");
    FactoryScope Factory(Log);
    Factory.Next(&First.DD);
    Factory.Next(&Second.DD);
    TDisplay Display;
    ASSERT_EQ(Display.CreateFullScreenDisplay(Window, 640, 480, 16), S_OK);
    Log.clear();

    ASSERT_EQ(Display.CreateFullScreenDisplay(9, 800, 600, 32), S_OK);
    EXPECT_EQ(Log, (CallLog{
                       "1Back.Release",
                       "1Front.Release",
                       "1DD.SetCooperativeLevel(7,0x8)", // the stored window
                       "1DD.Release",
                       "DirectDrawCreateEx(null,IID_IDirectDraw7,null)",
                       "2DD.SetCooperativeLevel(9,0x11)",
                       "2DD.SetDisplayMode(800,600,32,0,0x0)",
                       "2DD.CreateSurface(size=124,flags=0x21,caps=0x2218,caps234=0x0,"
                       "backbuffers=1,w=0,h=0,outer=null)",
                       "2Front.GetAttachedSurface(0x4,0x0,0x0,0x0)",
                   }))
        << Joined(Log);
    EXPECT_EQ(First.DD.Refs + First.Front.Refs + First.Back.Refs, 0u);
    EXPECT_EQ(Display.WindowHandle(), 9u);
    Display.ReleaseObjects();
}

TEST(DisplayRelease, TwiceInARowTheSecondCallsNothing) {
    CallLog Log;
    Chain Objects(Log);
    FactoryScope Factory(Log);
    Factory.Next(&Objects.DD);
    TDisplay Display;
    ASSERT_EQ(Display.CreateFullScreenDisplay(Window, 640, 480, 16), S_OK);
    Log.clear();

    EXPECT_EQ(Display.ReleaseObjects(), S_OK);
    EXPECT_EQ(Log.size(), 4u) << Joined(Log);
    Log.clear();
    EXPECT_EQ(Display.ReleaseObjects(), S_OK);
    EXPECT_TRUE(Log.empty()) << Joined(Log);
    EXPECT_EQ(Display.DDObject(), nullptr);
    EXPECT_EQ(Display.WindowHandle(), Window); // kept, as the state table says
    EXPECT_EQ(Display.ShowBackBuffer(), E_POINTER);
    EXPECT_TRUE(Log.empty()) << Joined(Log);
}

TEST(DisplayRelease, CreationReachesAnOverrideThroughVirtualDispatch) {
    struct Counting : TDisplay {
        HRESULT ReleaseObjects() override {
            ++Calls;
            return TDisplay::ReleaseObjects();
        }
        int Calls = 0;
    };
    CallLog Log;
    FactoryScope Factory(Log); // nothing queued: the creation fails at once
    Counting Display;
    EXPECT_EQ(Display.CreateFullScreenDisplay(Window, 640, 480, 16), E_FAIL);
    EXPECT_EQ(Display.Calls, 1);
}

struct FlipCase {
    const char* Name;
    std::deque<HRESULT> Flips;
    HRESULT Expected;
    CallLog Calls;
};
void PrintTo(const FlipCase& Case, std::ostream* Out) {
    *Out << Case.Name;
}

class DisplayShow : public ::testing::TestWithParam<FlipCase> {};

TEST_P(DisplayShow, FlipsRetriesAndRestores) {
    const FlipCase& Case = GetParam();
    CallLog Log;
    Chain Objects(Log);
    FactoryScope Factory(Log);
    Factory.Next(&Objects.DD);
    TDisplay Display;
    ASSERT_EQ(Display.CreateFullScreenDisplay(Window, 640, 480, 16), S_OK);
    Objects.Front.FlipResults = Case.Flips;
    Log.clear();

    EXPECT_EQ(Display.ShowBackBuffer(), Case.Expected);
    EXPECT_EQ(Log, Case.Calls) << Joined(Log);
    Display.ReleaseObjects();
}

const std::string Flip = "Front.Flip(null,0x0)";

INSTANTIATE_TEST_SUITE_P(
    Results, DisplayShow,
    ::testing::Values(
        FlipCase{"Ok", {S_OK}, S_OK, {Flip}},
        FlipCase{"StillDrawingThreeTimes",
                 {DDERR_WASSTILLDRAWING, DDERR_WASSTILLDRAWING, DDERR_WASSTILLDRAWING, S_OK},
                 S_OK,
                 {Flip, Flip, Flip, Flip}},
        // Restored but not flipped again in the same call.
        FlipCase{"Lost",
                 {DDERR_SURFACELOST},
                 DDERR_SURFACELOST,
                 {Flip, "Front.Restore", "Back.Restore"}},
        FlipCase{"StillDrawingThenLost",
                 {DDERR_WASSTILLDRAWING, DDERR_SURFACELOST},
                 DDERR_SURFACELOST,
                 {Flip, Flip, "Front.Restore", "Back.Restore"}},
        FlipCase{"OtherCodesUnchanged", {DDERR_NOTFLIPPABLE}, DDERR_NOTFLIPPABLE, {Flip}}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST(DisplayShow, ALostChainIsFlippedAgainByTheNextCall) {
    CallLog Log;
    Chain Objects(Log);
    FactoryScope Factory(Log);
    Factory.Next(&Objects.DD);
    TDisplay Display;
    ASSERT_EQ(Display.CreateFullScreenDisplay(Window, 640, 480, 16), S_OK);
    Objects.Front.FlipResults = {DDERR_SURFACELOST, S_OK};
    // Restore failures are ignored.
    Objects.Front.RestoreResult = DDERR_SURFACEBUSY;
    EXPECT_EQ(Display.ShowBackBuffer(), DDERR_SURFACELOST);
    EXPECT_EQ(Display.ShowBackBuffer(), S_OK);
    Display.ReleaseObjects();
}

TEST(DisplayShow, WithoutBuffersAnswersEPointerAndCallsNothing) {
    CallLog Log;
    FactoryScope Factory(Log);
    TDisplay Display;
    EXPECT_EQ(Display.ShowBackBuffer(), E_POINTER);
    EXPECT_TRUE(Log.empty()) << Joined(Log);
}

// A creation that failed at its last step holds a front buffer only; ours
// flips it and restores what exists.
TEST(DisplayShow, AFrontBufferAloneIsFlippedAndRestored) {
    CallLog Log;
    Chain Objects(Log);
    Objects.Front.AttachedResult = DDERR_NOTFOUND;
    FactoryScope Factory(Log);
    Factory.Next(&Objects.DD);
    TDisplay Display;
    ASSERT_EQ(Display.CreateFullScreenDisplay(Window, 640, 480, 16), E_FAIL);
    Objects.Front.FlipResults = {DDERR_SURFACELOST};
    Log.clear();
    EXPECT_EQ(Display.ShowBackBuffer(), DDERR_SURFACELOST);
    EXPECT_EQ(Log, (CallLog{Flip, "Front.Restore"})) << Joined(Log);
}

enum class Source { EmptyVariable, EmptySurface, Frame };

struct BlitCase {
    const char* Name;
    bool Created;
    Source Given;
    bool WithRect;
    HRESULT BltFastResult;
    HRESULT Expected;
    CallLog Calls;
};
void PrintTo(const BlitCase& Case, std::ostream* Out) {
    *Out << Case.Name;
}

class DisplayBlit : public ::testing::TestWithParam<BlitCase> {};

TEST_P(DisplayBlit, PassesTheSurfaceToBltFast) {
    const BlitCase& Case = GetParam();
    CallLog Log;
    Chain Objects(Log);
    FakeDirectDraw FrameDD(Log, "FrameDD");
    FakeSurface Frame(Log, "Frame");
    FrameDD.Made = &Frame;
    FactoryScope Factory(Log);
    Factory.Next(&Objects.DD);
    {
        TDisplay Display;
        if (Case.Created) {
            ASSERT_EQ(Display.CreateFullScreenDisplay(Window, 640, 480, 16), S_OK);
        }
        std::unique_ptr<TSurface> Variable;
        if (Case.Given != Source::EmptyVariable) {
            Variable = std::make_unique<TSurface>();
            DDSURFACEDESC2 Desc{};
            Desc.dwSize = sizeof(Desc);
            if (Case.Given == Source::EmptySurface)
                FrameDD.SurfaceResult = DDERR_OUTOFMEMORY;
            Variable->CreateSurface(&FrameDD, &Desc);
        }
        Objects.Back.BltFastResult = Case.BltFastResult;
        const RECT Part{1, 2, 3, 4};
        Log.clear();

        EXPECT_EQ(Display.BlitSurface(3, 4, Variable, Case.WithRect ? &Part : nullptr),
                  Case.Expected);
        EXPECT_EQ(Log, Case.Calls) << Joined(Log);
        if (Case.WithRect) {
            EXPECT_EQ(Objects.Back.LastSourceRect, &Part); // the caller's own rectangle
        }
        // The blit's temporary reference is back; the TSurface keeps its one.
        EXPECT_EQ(Frame.Refs, Case.Given == Source::Frame ? 1u : 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DisplayBlit,
    ::testing::Values(
        BlitCase{"EmptyVariableBeforeBackBuffer",
                 false,
                 Source::EmptyVariable,
                 false,
                 S_OK,
                 E_INVALIDARG,
                 {}},
        BlitCase{"EmptyVariable", true, Source::EmptyVariable, false, S_OK, E_INVALIDARG, {}},
        BlitCase{"NoBackBuffer", false, Source::Frame, false, S_OK, E_POINTER, {"Frame.Release"}},
        // A TSurface without a DirectDraw surface is passed on as no source.
        BlitCase{"SurfaceNeverMade",
                 true,
                 Source::EmptySurface,
                 false,
                 DDERR_INVALIDPARAMS,
                 DDERR_INVALIDPARAMS,
                 {"Back.BltFast(3,4,null,null,0x0)"}},
        BlitCase{"Whole",
                 true,
                 Source::Frame,
                 false,
                 S_OK,
                 S_OK,
                 {"Back.BltFast(3,4,Frame,null,0x0)", "Frame.Release"}},
        BlitCase{"Part",
                 true,
                 Source::Frame,
                 true,
                 S_OK,
                 S_OK,
                 {"Back.BltFast(3,4,Frame,rect,0x0)", "Frame.Release"}},
        // No waiting and no retry: a busy blitter skips the copy.
        BlitCase{"BusyIsNotRetried",
                 true,
                 Source::Frame,
                 false,
                 DDERR_WASSTILLDRAWING,
                 DDERR_WASSTILLDRAWING,
                 {"Back.BltFast(3,4,Frame,null,0x0)", "Frame.Release"}}),
    [](const auto& Info) { return std::string(Info.param.Name); });

} // namespace
