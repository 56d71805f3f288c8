// The main window module: TForm1's settings and handlers, through the real
// application loop on SDL's headless drivers.
#include "shell/vazu.h"

#include "shell/LoadingSequence.h"

#include "platform/win/User.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<std::string> ReleaseLog;

// The cursor counter without changing it.
int CursorCounter() {
    const int Counter = ShowCursor(TRUE) - 1;
    ShowCursor(FALSE);
    return Counter;
}

// What the close handler had done when it released an object.
std::string StateAtRelease(const char* What) {
    return std::string(What) + (FSOUND_SetVolume(1, 200) ? ", sound open" : ", sound closed") +
           ", cursor " + std::to_string(CursorCounter());
}

class WatchedSurface : public TSurface {
public:
    ~WatchedSurface() override { ReleaseLog.push_back(StateAtRelease("loading surface")); }
};

class WatchedDisplay : public TDisplay {
public:
    ~WatchedDisplay() override { ReleaseLog.push_back(StateAtRelease("display")); }
};

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        SDL_SetHint(SDL_HINT_AUDIODRIVER, "dummy");
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        ReleaseLog.clear();
        SetMessageBoxPresenter([this](HWND, const std::string& Text, const std::string&, UINT) {
            Boxes.push_back(Text);
            return IDOK;
        });
        App = std::make_unique<TApplication>();
        ASSERT_TRUE(App->Initialize()) << App->InitializeError();
        App->CreateForm(Form1);
        ASSERT_NE(Form1, nullptr);
    }
    void TearDown() override {
        App.reset();
        Form1 = nullptr;
        LoadingSurface.reset();
        Display.reset();
        FSOUND_Close();
        SceneTable.clear();
        ResetClockState();
        SetMessageBoxPresenter(nullptr);
    }
    // The state the loading sequence leaves: display, loading picture, sound.
    void ArrangeLoadedShow() {
        Display = std::make_unique<WatchedDisplay>();
        LoadingSurface = std::make_unique<WatchedSurface>();
        ASSERT_TRUE(FSOUND_Init(44000, 2, 0)) << "the dummy audio driver opens";
        ShowCursor(FALSE);
    }

    std::unique_ptr<TApplication> App;
    std::vector<std::string> Boxes;
};

TEST_F(ShellTest, TheMainWindowHasTheSettingsOfItsDescription) {
    EXPECT_EQ(App->MainForm(), Form1);
    SDL_Window* Window = SDL_GetWindowFromID(Form1->Handle());
    ASSERT_NE(Window, nullptr);
    EXPECT_STREQ(SDL_GetWindowTitle(Window), "Form1");
    const Uint32 Flags = SDL_GetWindowFlags(Window);
    EXPECT_TRUE(Flags & SDL_WINDOW_BORDERLESS);
    EXPECT_TRUE(Flags & SDL_WINDOW_ALWAYS_ON_TOP);
    EXPECT_TRUE(Flags & SDL_WINDOW_HIDDEN) << "hidden until the loop shows it";
    int X = 0, Y = 0, W = 0, H = 0;
    SDL_GetWindowPosition(Window, &X, &Y);
    SDL_GetWindowSize(Window, &W, &H);
    EXPECT_EQ(std::vector<int>({X, Y, W, H}), std::vector<int>({328, 258, 688, 453}));
    EXPECT_EQ(Form1->Color(), clBtnFace);

    ASSERT_NE(Form1->ThreadedTimer1, nullptr);
    EXPECT_EQ(Form1->ThreadedTimer1->Interval(), 20u);
    EXPECT_EQ(Form1->ThreadedTimer1->ThreadPriority(), tpHigher);
    EXPECT_FALSE(Form1->ThreadedTimer1->Enabled());
    EXPECT_TRUE(static_cast<bool>(App->OnIdle)) << "FormCreate installs the idle handler";
}

TEST_F(ShellTest, EscapeWhateverTheModifiersClosesAndOtherKeysAreIgnored) {
    struct Case {
        WORD Key;
        TShiftState Shift;
        bool Closes;
    };
    const Case Cases[] = {
        {VK_ESCAPE, 0, true},      {VK_ESCAPE, ssShift, true}, {VK_ESCAPE, ssCtrl | ssAlt, true},
        {VK_RETURN, 0, false},     {VK_SPACE, ssShift, false}, {'Q', ssCtrl, false},
        {VK_F1 + 3, ssAlt, false}, // Alt+F4
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE("key " + std::to_string(C.Key) + " shift " + std::to_string(C.Shift));
        TearDown();
        SetUp();
        ArrangeLoadedShow();
        WORD Key = C.Key;
        Form1->FormKeyDown(Form1, Key, C.Shift);
        EXPECT_EQ(Key, C.Key) << "Key is left unchanged";
        App->ProcessMessages();
        EXPECT_EQ(App->Terminated(), C.Closes);
        EXPECT_EQ(Display == nullptr, C.Closes);
    }
}

TEST_F(ShellTest, TheCloseHandlerClosesSoundShowsTheCursorThenReleasesSurfaceAndDisplay) {
    ArrangeLoadedShow();
    const int Hidden = CursorCounter();
    TCloseAction Action = caFree;
    Form1->FormClose(Form1, Action);
    EXPECT_EQ(Action, caFree) << "Action is left as given";
    EXPECT_EQ(LoadingSurface, nullptr);
    EXPECT_EQ(Display, nullptr);
    const std::string Shown = ", sound closed, cursor " + std::to_string(Hidden + 1);
    EXPECT_EQ(ReleaseLog, (std::vector<std::string>{"loading surface" + Shown, "display" + Shown}));

    // A second close finds both references cleared and releases nothing again.
    Form1->FormClose(Form1, Action);
    EXPECT_EQ(ReleaseLog.size(), 2u);
    EXPECT_EQ(CursorCounter(), Hidden + 2);
}

TEST_F(ShellTest, EscapeDuringTheShowClosesAsSoonAsTheLoopRunsWithoutAnIdleStep) {
    ArrangeLoadedShow();
    bool IdleAfterClose = false;
    auto Presenter = App->OnIdle;
    App->OnIdle = [&](TObject* Sender, bool& Done) {
        if (Display == nullptr)
            IdleAfterClose = true;
        Presenter(Sender, Done);
    };
    // Shift+Escape pressed while the show handler runs (in place of the loading).
    Form1->OnShow = [](TObject*) {
        SDL_Event Event{};
        Event.type = SDL_KEYDOWN;
        Event.key.windowID = Form1->Handle();
        Event.key.keysym.sym = SDLK_ESCAPE;
        Event.key.keysym.mod = KMOD_LSHIFT;
        SDL_PushEvent(&Event);
    };
    App->Run();
    EXPECT_TRUE(App->Terminated());
    EXPECT_EQ(Display, nullptr);
    EXPECT_EQ(ReleaseLog.size(), 2u) << "the close handler released both";
    EXPECT_FALSE(IdleAfterClose);
}

TEST_F(ShellTest, TheClocksEndTickClosesTheMainWindowThroughTheTimer) {
    ArrangeLoadedShow();
    SceneTable.SetLength(383); // the timeline's lookups stay inside the table
    // The ending, ten ticks before its last.
    TickCount = 3620;
    LoopCount = 4;
    Form1->ThreadedTimer1->SetInterval(1); // the real timer, at test pace
    Form1->OnShow = [](TObject*) { Form1->ThreadedTimer1->SetEnabled(true); };
    App->Run();
    EXPECT_EQ(TickCount, 3630);
    EXPECT_EQ(Display, nullptr) << "the close handler ran";
    EXPECT_TRUE(Boxes.empty());
}

} // namespace

namespace {

TEST(ProgressPercent, CountsTwoHundredFortyTwoFramesAsAHundred) {
    // The count is one more than the frames loaded so far.
    const std::pair<std::int32_t, long> Cases[] = {
        {2, 1},     {3, 1},     // after the first and second frame
        {119, 49},  {120, 50},  {121, 50}, {122, 50}, // after the 119th to 121st
        {241, 100}, {242, 100}, {243, 100},           // after the 240th to 242nd
        {11, 5},    // a list of 10 frames ends at 5
        {301, 124}, // a list of 300 frames passes 100
    };
    for (const auto& [Count, Percent] : Cases)
        EXPECT_EQ(ProgressPercent(Count), Percent) << "count " << Count;
}

TEST_F(ShellTest, TheDisplayErrorBoxNamesTheStepAndTheErrorUnderTheWindowsCaption) {
    std::vector<std::pair<std::string, std::string>> Shown;
    SetMessageBoxPresenter([&](HWND, const std::string& Text, const std::string& Caption, UINT) {
        Shown.emplace_back(Text, Caption);
        return IDOK;
    });
    ShowDisplayError(E_FAIL, "CreateFullScreenDisplay");
    ASSERT_EQ(Shown.size(), 1u);
    // The carriage return starts the second line of the box.
    EXPECT_EQ(Shown[0].first, "CreateFullScreenDisplay: \nGeneric failure.");
    EXPECT_EQ(Shown[0].second, "Form1");
}

} // namespace
