// The ordering guarantees of the message loop, driven through the real loop.
#include "WinTestSupport.h"

#include <algorithm>
#include <functional>
#include <thread>

namespace {

// A form whose handlers write what happens into one log.
class LoggingForm : public TForm {
public:
    explicit LoggingForm(TComponent* Owner) : TForm(Owner) {}
    std::vector<std::string> Log;
    std::function<void()> WhileShowing;
    std::function<void()> WhileClosing;

protected:
    void ReadFormDescription() override {
        OnShow = [this](TObject*) {
            Log.push_back("show-begin");
            Log.push_back(WindowShown(Handle()) ? "visible" : "hidden");
            if (WhileShowing)
                WhileShowing();
            Log.push_back("show-end");
        };
        OnKeyDown = [this](TObject*, WORD& Key, TShiftState) {
            Log.push_back("key " + std::to_string(Key));
            if (Key == VK_ESCAPE)
                Close();
        };
        OnClose = [this](TObject*, TCloseAction&) {
            Log.push_back("close");
            if (WhileClosing)
                WhileClosing();
        };
        Application->OnIdle = [this](TObject*, bool&) { Log.push_back("idle"); };
    }
};

std::ptrdiff_t IndexOf(const std::vector<std::string>& Log, const std::string& Entry) {
    const auto Found = std::find(Log.begin(), Log.end(), Entry);
    return Found == Log.end() ? -1 : Found - Log.begin();
}

std::string Joined(const std::vector<std::string>& Log) {
    std::string Text;
    for (const std::string& Entry : Log)
        Text += Entry + " | ";
    return Text;
}

using LoopTest = AppTest;

TEST_F(LoopTest, KeySentDuringTheShowHandlerIsHandledAfterItAndTheWindowAppearsAfterIt) {
    LoggingForm* Form = nullptr;
    App->CreateForm(Form);
    Form->WhileShowing = [&] {
        PushKey(Form->Handle(), SDLK_ESCAPE);
        SleepMs(20);
    };
    App->Run();
    // The show handler ran hidden and to its end before the key; the key
    // then closed; no idle step came anywhere in between or after.
    EXPECT_EQ(Form->Log,
              (std::vector<std::string>{"show-begin", "hidden", "show-end", "key 27", "close"}))
        << Joined(Form->Log);
    EXPECT_TRUE(WindowShown(Form->Handle()));
}

TEST_F(LoopTest, ErrorEscapingTheShowHandlerIsReportedThenTheWindowShowsAndTheLoopRuns) {
    LoggingForm* Form = nullptr;
    App->CreateForm(Form);
    Form->WhileShowing = [&] {
        PushKey(Form->Handle(), SDLK_ESCAPE);
        throw std::runtime_error("Datei nicht gefunden");
    };
    App->Run();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "Datei nicht gefunden.");
    EXPECT_EQ(Boxes[0].Caption, App->Title());
    EXPECT_EQ(Boxes[0].Type, MB_OK | MB_ICONERROR);
    EXPECT_TRUE(WindowShown(Form->Handle()));
    EXPECT_NE(IndexOf(Form->Log, "key 27"), -1) << Joined(Form->Log);
}

// Whatever waits when the close handler runs, no idle step follows it.
TEST_F(LoopTest, NoIdleStepRunsAfterTheCloseHandlerWhateverWaits) {
    struct Case {
        const char* Name;
        std::function<void(LoggingForm&)> QueueWhileClosing;
    };
    const std::vector<Case> Cases = {
        {"nothing", [](LoggingForm&) {}},
        {"keys",
         [](LoggingForm& F) {
             PushKey(F.Handle(), SDLK_a);
             PushKey(F.Handle(), SDLK_b);
         }},
        {"window messages",
         [](LoggingForm& F) {
             PushWindowEvent(F.Handle(), SDL_WINDOWEVENT_EXPOSED);
             PushWindowEvent(F.Handle(), SDL_WINDOWEVENT_MOVED);
         }},
        {"a tick handed over", [](LoggingForm&) { SleepMs(15); }},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        App.reset(); // a fresh loop per case
        App = std::make_unique<TApplication>();
        ASSERT_TRUE(App->Initialize());
        LoggingForm* Form = nullptr;
        App->CreateForm(Form);
        auto* Timer = Form->CreateComponent<TThreadedTimer>();
        Timer->SetInterval(2);
        int Ticks = 0;
        Timer->OnTimer = [&](TObject*) {
            Form->Log.push_back("tick");
            if (++Ticks == 3)
                PushKey(Form->Handle(), SDLK_ESCAPE);
        };
        Form->WhileShowing = [&] { Timer->SetEnabled(true); };
        Form->WhileClosing = [&] { C.QueueWhileClosing(*Form); };
        App->Run();
        const std::ptrdiff_t Closed = IndexOf(Form->Log, "close");
        ASSERT_NE(Closed, -1) << Joined(Form->Log);
        EXPECT_EQ(std::find(Form->Log.begin() + Closed, Form->Log.end(), "idle"), Form->Log.end())
            << Joined(Form->Log);
        App.reset(); // before the locals its handlers use
    }
}

TEST_F(LoopTest, TwoCloseRequestsInOneMomentRunTheCloseHandlerTwiceAndEndTheLoop) {
    struct Case {
        const char* Name;
        std::function<void(HWND)> Queue;
    };
    const std::vector<Case> Cases = {
        {"Escape, Escape",
         [](HWND W) {
             PushKey(W, SDLK_ESCAPE);
             PushKey(W, SDLK_ESCAPE);
         }},
        {"Escape, close button",
         [](HWND W) {
             PushKey(W, SDLK_ESCAPE);
             PushWindowEvent(W, SDL_WINDOWEVENT_CLOSE);
         }},
        {"quit, Escape",
         [](HWND W) {
             PushQuit();
             PushKey(W, SDLK_ESCAPE);
         }},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        App.reset();
        App = std::make_unique<TApplication>();
        ASSERT_TRUE(App->Initialize());
        LoggingForm* Form = nullptr;
        App->CreateForm(Form);
        Form->WhileShowing = [&] { C.Queue(Form->Handle()); };
        App->Run();
        EXPECT_TRUE(App->Terminated());
        EXPECT_EQ(std::count(Form->Log.begin(), Form->Log.end(), "close"), 2) << Joined(Form->Log);
        EXPECT_EQ(IndexOf(Form->Log, "idle"), -1) << Joined(Form->Log);
        App.reset(); // before the locals its handlers use
    }
}

TEST_F(LoopTest, EveryCloseRequestOfTheWindowSystemClosesTheMainForm) {
    struct Case {
        const char* Name;
        std::function<void(HWND)> Queue;
    };
    const std::vector<Case> Cases = {
        {"close button", [](HWND W) { PushWindowEvent(W, SDL_WINDOWEVENT_CLOSE); }},
        {"quit (also SIGINT, SIGTERM)", [](HWND) { PushQuit(); }},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        App.reset();
        App = std::make_unique<TApplication>();
        ASSERT_TRUE(App->Initialize());
        LoggingForm* Form = nullptr;
        App->CreateForm(Form);
        Form->WhileShowing = [&] { C.Queue(Form->Handle()); };
        App->Run();
        EXPECT_EQ(std::count(Form->Log.begin(), Form->Log.end(), "close"), 1) << Joined(Form->Log);
        App.reset(); // before the locals its handlers use
    }
}

TEST_F(LoopTest, RealSigtermBecomesACloseRequest) {
    LoggingForm* Form = nullptr;
    App->CreateForm(Form);
    Form->WhileShowing = [] { raise(SIGTERM); };
    App->Run();
    EXPECT_EQ(std::count(Form->Log.begin(), Form->Log.end(), "close"), 1) << Joined(Form->Log);
}

TEST_F(LoopTest, ATickNeverRunsInsideAnotherHandlerAndAlwaysOnTheMainThread) {
    LoggingForm* Form = nullptr;
    App->CreateForm(Form);
    const std::thread::id MainThread = std::this_thread::get_id();
    bool InHandler = false;
    int Violations = 0;
    int Ticks = 0;
    // Every handler outlasts the interval, so ticks are handed over while it runs.
    auto Busy = [&] {
        InHandler = true;
        SleepMs(3);
        InHandler = false;
    };
    auto* Timer = Form->CreateComponent<TThreadedTimer>();
    Timer->SetInterval(1);
    Timer->OnTimer = [&](TObject*) {
        if (InHandler || std::this_thread::get_id() != MainThread)
            ++Violations;
        ++Ticks;
        if (Ticks % 4 == 0)
            PushKey(Form->Handle(), SDLK_a);
        if (Ticks == 40)
            PushKey(Form->Handle(), SDLK_ESCAPE);
    };
    Form->OnKeyDown = [&](TObject*, WORD& Key, TShiftState) {
        Busy();
        if (Key == VK_ESCAPE)
            Form->Close();
    };
    App->OnIdle = [&](TObject*, bool&) { Busy(); };
    Form->WhileShowing = [&] {
        Timer->SetEnabled(true);
        Busy();
    };
    Form->WhileClosing = Busy;
    App->Run();
    EXPECT_GE(Ticks, 40);
    EXPECT_EQ(Violations, 0);
}

TEST_F(LoopTest, EachTickIsFollowedByExactlyOneIdleStep) {
    LoggingForm* Form = nullptr;
    App->CreateForm(Form);
    auto* Timer = Form->CreateComponent<TThreadedTimer>();
    Timer->SetInterval(4);
    int Ticks = 0;
    Timer->OnTimer = [&](TObject*) {
        Form->Log.push_back("tick");
        if (++Ticks == 25)
            PushKey(Form->Handle(), SDLK_ESCAPE);
    };
    Form->WhileShowing = [&] { Timer->SetEnabled(true); };
    App->Run();
    // From the first tick on nothing but ticks reaches the loop (until the
    // Escape that ends it), so the log alternates tick and idle.
    const std::ptrdiff_t First = IndexOf(Form->Log, "tick");
    const std::ptrdiff_t Key = IndexOf(Form->Log, "key 27");
    ASSERT_NE(First, -1);
    ASSERT_GT(Key, First);
    for (std::ptrdiff_t i = First; i < Key; ++i) {
        const std::string Expected = (i - First) % 2 == 0 ? "tick" : "idle";
        if (Form->Log[i] != Expected) {
            ADD_FAILURE() << "entry " << i << " is " << Form->Log[i] << ": " << Joined(Form->Log);
            break;
        }
    }
}

TEST_F(LoopTest, TheIdleStepBlocksUntilAMessageArrives) {
    LoggingForm* Form = nullptr;
    App->CreateForm(Form);
    std::thread Sender([&] {
        SleepMs(150);
        PushKey(Form->Handle(), SDLK_ESCAPE);
    });
    App->Run();
    Sender.join();
    // The window messages of the show, then one idle step that waits for the
    // key; a loop that spun would have logged hundreds.
    EXPECT_LE(std::count(Form->Log.begin(), Form->Log.end(), "idle"), 5) << Joined(Form->Log);
    EXPECT_NE(IndexOf(Form->Log, "close"), -1);
}

TEST_F(LoopTest, ErrorsOfHandlersGoToTheErrorBoxAndTheLoopGoesOn) {
    struct Case {
        const char* Name;
        std::function<void(LoggingForm&, bool& Thrown)> Arrange;
    };
    const std::vector<Case> Cases = {
        {"key handler",
         [](LoggingForm& F, bool& Thrown) {
             F.OnKeyDown = [&F, &Thrown](TObject*, WORD& Key, TShiftState) {
                 if (Key == VK_ESCAPE)
                     return F.Close();
                 Thrown = true;
                 throw std::runtime_error("Boom");
             };
             F.WhileShowing = [&F] {
                 PushKey(F.Handle(), SDLK_a);
                 PushKey(F.Handle(), SDLK_ESCAPE);
             };
         }},
        {"idle handler",
         [](LoggingForm& F, bool& Thrown) {
             Application->OnIdle = [&F, &Thrown](TObject*, bool&) {
                 if (Thrown)
                     return;
                 Thrown = true;
                 PushKey(F.Handle(), SDLK_ESCAPE);
                 throw std::runtime_error("Boom");
             };
         }},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        App.reset();
        Boxes.clear();
        App = std::make_unique<TApplication>();
        ASSERT_TRUE(App->Initialize());
        LoggingForm* Form = nullptr;
        App->CreateForm(Form);
        bool Thrown = false;
        C.Arrange(*Form, Thrown);
        App->Run();
        EXPECT_TRUE(Thrown);
        ASSERT_EQ(Boxes.size(), 1u);
        EXPECT_EQ(Boxes[0].Text, "Boom.");
        EXPECT_EQ(Boxes[0].Caption, App->Title());
        EXPECT_EQ(Boxes[0].Type, MB_OK | MB_ICONERROR);
        EXPECT_NE(IndexOf(Form->Log, "close"), -1) << "the loop went on to the Escape";
        App.reset(); // before the locals its handlers use
    }
}

TEST_F(LoopTest, KeysReachTheFormAsVirtualKeysWithTheirModifiers) {
    struct Case {
        SDL_Keycode Key;
        Uint16 Modifiers;
        WORD ExpectedKey; // 0: not passed on
        TShiftState ExpectedShift;
    };
    const std::vector<Case> Cases = {
        {SDLK_ESCAPE, KMOD_NONE, VK_ESCAPE, 0},
        {SDLK_ESCAPE, KMOD_LSHIFT, VK_ESCAPE, ssShift},
        {SDLK_a, KMOD_RCTRL | KMOD_LALT, 'A', ssCtrl | ssAlt},
        {SDLK_7, KMOD_NONE, '7', 0},
        {SDLK_F5, KMOD_NONE, 0x74, 0},
        {SDLK_RETURN, KMOD_NONE, VK_RETURN, 0},
        {SDLK_LEFT, KMOD_NONE, VK_LEFT, 0},
        {SDLK_KP_3, KMOD_NONE, 0x63, 0},
        {SDLK_AUDIOPLAY, KMOD_NONE, 0, 0},
    };
    TForm* Form = nullptr;
    App->CreateForm(Form);
    std::vector<std::pair<WORD, TShiftState>> Seen;
    Form->OnKeyDown = [&](TObject*, WORD& Key, TShiftState Shift) {
        Seen.emplace_back(Key, Shift);
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE("SDL key " + std::to_string(C.Key) + " mod " + std::to_string(C.Modifiers));
        Seen.clear();
        PushKey(Form->Handle(), C.Key, C.Modifiers);
        App->ProcessMessages();
        if (C.ExpectedKey == 0) {
            EXPECT_TRUE(Seen.empty());
        } else {
            ASSERT_EQ(Seen.size(), 1u);
            EXPECT_EQ(Seen[0].first, C.ExpectedKey);
            EXPECT_EQ(Seen[0].second, C.ExpectedShift);
        }
    }
    // A key for another window is not this form's.
    Seen.clear();
    PushKey(Form->Handle() + 1000, SDLK_ESCAPE);
    App->ProcessMessages();
    EXPECT_TRUE(Seen.empty());
}

// The application destroys a form's components while the form is whole: a
// tick that waits when the application is torn down still finds its form
// alive, though the form itself does nothing about it.
class FormWithTimer : public TForm {
public:
    FormWithTimer(TComponent* Owner) : TForm(Owner) {}
    ~FormWithTimer() override { Log->push_back("form destroyed"); }
    std::vector<std::string>* Log = nullptr;
};

TEST_F(LoopTest, TeardownRunsAWaitingTickBeforeItsFormIsDestroyed) {
    std::vector<std::string> Log;
    FormWithTimer* Form = nullptr;
    App->CreateForm(Form);
    Form->Log = &Log;
    auto* Timer = Form->CreateComponent<TThreadedTimer>();
    Timer->SetInterval(1);
    Timer->OnTimer = [&](TObject*) { Log.push_back("tick"); };
    Timer->SetEnabled(true);
    SleepMs(20); // the first tick is handed over and waits, unrun
    App.reset();
    EXPECT_EQ(Log, (std::vector<std::string>{"tick", "form destroyed"}));
}

} // namespace
