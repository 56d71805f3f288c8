// The threaded timer: when ticks come, that they come to the main thread one
// at a time, and that destroying the timer never hangs.
#include "WinTestSupport.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

class TimerTest : public AppTest {
protected:
    // Runs waiting messages until Done() holds; false if that took longer
    // than a generous bound (a hang, not a slow machine).
    bool PumpUntil(const std::function<bool()>& Done) {
        const Clock::time_point Limit = Clock::now() + std::chrono::seconds(10);
        while (!Done()) {
            if (Clock::now() > Limit)
                return false;
            App->ProcessMessages();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return true;
    }
    void PumpFor(milliseconds Duration) {
        const Clock::time_point End = Clock::now() + Duration;
        while (Clock::now() < End) {
            App->ProcessMessages();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
};

TEST_F(TimerTest, NoTickBeforeEnablingAndTheFirstOneAnIntervalAfterIt) {
    TThreadedTimer Timer(nullptr);
    Timer.SetInterval(5);
    std::vector<Clock::time_point> HandedOver, Run;
    Timer.OnTimer = [&](TObject* Sender) {
        EXPECT_EQ(Sender, &Timer);
        HandedOver.push_back(Timer.TickHandedOverAt());
        Run.push_back(Clock::now());
    };
    PumpFor(milliseconds(60));
    EXPECT_TRUE(Run.empty());

    const Clock::time_point Enabled = Clock::now();
    Timer.SetEnabled(true);
    ASSERT_TRUE(PumpUntil([&] { return !Run.empty(); }));
    EXPECT_GE(HandedOver[0] - Enabled, milliseconds(5));
    EXPECT_GE(Run[0] - Enabled, milliseconds(5));
}

TEST_F(TimerTest, HandOversAreNeverCloserThanTheIntervalAndALateTickIsNotMadeUpFor) {
    TThreadedTimer Timer(nullptr);
    Timer.SetInterval(5);
    std::vector<Clock::time_point> HandedOver, Finished;
    Timer.OnTimer = [&](TObject*) {
        HandedOver.push_back(Timer.TickHandedOverAt());
        // Some ticks keep the main thread far beyond the next moment.
        if (HandedOver.size() % 7 == 3)
            SleepMs(13);
        Finished.push_back(Clock::now());
    };
    Timer.SetEnabled(true);
    ASSERT_TRUE(PumpUntil([&] { return HandedOver.size() >= 30; }));
    for (std::size_t i = 1; i < HandedOver.size(); ++i) {
        SCOPED_TRACE("tick " + std::to_string(i));
        EXPECT_GE(HandedOver[i] - HandedOver[i - 1], milliseconds(5));
        // After a tick that ran past the next moment, the wait starts afresh.
        if (Finished[i - 1] - HandedOver[i - 1] >= milliseconds(5)) {
            EXPECT_GE(HandedOver[i] - Finished[i - 1], milliseconds(5));
        }
    }
}

TEST_F(TimerTest, EachWaitIsCountedFromTheHandOverNotFromTheTicksEnd) {
    TThreadedTimer Timer(nullptr);
    Timer.SetInterval(10);
    std::vector<Clock::time_point> HandedOver;
    Timer.OnTimer = [&](TObject*) {
        HandedOver.push_back(Timer.TickHandedOverAt());
        SleepMs(7); // less than the interval: no tick is late
    };
    Timer.SetEnabled(true);
    ASSERT_TRUE(PumpUntil([&] { return HandedOver.size() >= 15; }));
    std::vector<Clock::duration> Gaps;
    for (std::size_t i = 1; i < HandedOver.size(); ++i)
        Gaps.push_back(HandedOver[i] - HandedOver[i - 1]);
    std::sort(Gaps.begin(), Gaps.end());
    // Counted from the end of each tick, every gap would be 17 ms or more.
    EXPECT_LT(Gaps[Gaps.size() / 2], milliseconds(15));
}

TEST_F(TimerTest, ZeroIntervalTicksOnlyWithAllowZero) {
    struct Case {
        bool AllowZero;
        bool Ticks;
    };
    for (const Case C : {Case{false, false}, Case{true, true}}) {
        SCOPED_TRACE(C.AllowZero ? "AllowZero" : "no AllowZero");
        TThreadedTimer Timer(nullptr);
        int Count = 0;
        Timer.OnTimer = [&](TObject*) { ++Count; };
        Timer.SetInterval(0);
        Timer.SetAllowZero(C.AllowZero);
        Timer.SetEnabled(true);
        PumpFor(milliseconds(30));
        EXPECT_EQ(Count > 0, C.Ticks) << Count << " ticks";
    }
}

TEST_F(TimerTest, DisablingStopsTheTicksAndATickAlreadyHandedOverSkipsOnTimer) {
    TThreadedTimer Timer(nullptr);
    Timer.SetInterval(1);
    int Count = 0;
    Timer.OnTimer = [&](TObject*) { ++Count; };
    Timer.SetEnabled(true);
    ASSERT_TRUE(PumpUntil([&] { return Count >= 3; }));
    SleepMs(10); // the next tick is handed over and waits
    Timer.SetEnabled(false);
    const int AtDisabling = Count;
    PumpFor(milliseconds(30));
    EXPECT_EQ(Count, AtDisabling);

    Timer.SetEnabled(true); // and it goes on when enabled again
    ASSERT_TRUE(PumpUntil([&] { return Count > AtDisabling; }));
}

TEST_F(TimerTest, DestroyingTheTimerNeverHangsAndRunsATickThatWaits) {
    struct Case {
        const char* Name;
        std::function<void(TThreadedTimer&)> Arrange;
        int TicksRunByDestruction;
    };
    const std::vector<Case> Cases = {
        {"never enabled", [](TThreadedTimer&) {}, 0},
        {"waiting out a long interval",
         [](TThreadedTimer& T) {
             T.SetInterval(10000);
             T.SetEnabled(true);
             SleepMs(5);
         },
         0},
        {"a tick handed over and waiting",
         [](TThreadedTimer& T) {
             T.SetInterval(1);
             T.SetEnabled(true);
             SleepMs(20);
         },
         1},
        {"disabled while a tick waits",
         [](TThreadedTimer& T) {
             T.SetInterval(1);
             T.SetEnabled(true);
             SleepMs(20);
             T.SetEnabled(false);
         },
         0},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        int Count = 0;
        auto Timer = std::make_unique<TThreadedTimer>(nullptr);
        Timer->OnTimer = [&](TObject*) { ++Count; };
        C.Arrange(*Timer);
        Timer.reset(); // ctest's time limit catches a hang
        EXPECT_EQ(Count, C.TicksRunByDestruction);
        // The tick message it left in the queue finds nothing.
        App->ProcessMessages();
        EXPECT_EQ(Count, C.TicksRunByDestruction);
    }
}

TEST_F(TimerTest, AnErrorInATickIsReportedAndEndsTheTicks) {
    TThreadedTimer Timer(nullptr);
    Timer.SetInterval(1);
    int Count = 0;
    Timer.OnTimer = [&](TObject*) {
        if (++Count == 2)
            throw std::runtime_error("Zu wenig Arbeitsspeicher");
    };
    Timer.SetEnabled(true);
    ASSERT_TRUE(PumpUntil([&] { return Count >= 2; }));
    PumpFor(milliseconds(30));
    EXPECT_EQ(Count, 2);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "Zu wenig Arbeitsspeicher.");
    EXPECT_EQ(Boxes[0].Type, MB_OK | MB_ICONERROR);
}

// Nice values of this process's threads, from /proc.
std::vector<int> ThreadNiceValues() {
    std::vector<int> Values;
    DIR* Tasks = opendir("/proc/self/task");
    if (Tasks == nullptr)
        return Values;
    while (dirent* Entry = readdir(Tasks)) {
        if (Entry->d_name[0] == '.')
            continue;
        std::ifstream Stat(std::string("/proc/self/task/") + Entry->d_name + "/stat");
        std::string Line;
        std::getline(Stat, Line);
        const std::size_t Close = Line.rfind(')');
        if (Close == std::string::npos)
            continue;
        std::istringstream Fields(Line.substr(Close + 2));
        std::string Field;
        // Fields after the name: state is the 3rd of the line, nice the 19th.
        for (int Index = 3; Index <= 19 && Fields >> Field; ++Index)
            if (Index == 19)
                Values.push_back(std::stoi(Field));
    }
    closedir(Tasks);
    return Values;
}

bool MayRaiseThreadPriority() {
    bool Allowed = false;
    std::thread Probe([&] {
        errno = 0;
        const int Own = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
        Allowed = setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), Own - 1) == 0;
    });
    Probe.join();
    return Allowed;
}

TEST_F(TimerTest, AHigherThreadPriorityIsAppliedWhereTheSystemAllows) {
    errno = 0;
    const int ProcessNice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    TThreadedTimer Timer(nullptr);
    Timer.SetThreadPriority(tpHigher);
    Timer.SetInterval(2);
    int Count = 0;
    Timer.OnTimer = [&](TObject*) { ++Count; };
    Timer.SetEnabled(true); // refused or not, the timer ticks
    ASSERT_TRUE(PumpUntil([&] { return Count >= 2; }));
    if (!MayRaiseThreadPriority())
        GTEST_SKIP() << "this system refuses higher thread priorities";
    const std::vector<int> Nice = ThreadNiceValues();
    EXPECT_NE(std::find(Nice.begin(), Nice.end(), ProcessNice - 1), Nice.end());
}

} // namespace

namespace {

std::size_t ThreadCount() {
    std::size_t Count = 0;
    if (DIR* Tasks = opendir("/proc/self/task")) {
        while (dirent* Entry = readdir(Tasks))
            if (Entry->d_name[0] != '.')
                ++Count;
        closedir(Tasks);
    }
    return Count;
}

TEST_F(TimerTest, StartingAndDestroyingAThousandTimesLeavesNoThreadBehind) {
    const std::size_t Before = ThreadCount();
    int Ticks = 0;
    for (int Round = 0; Round < 1000; ++Round) {
        auto Timer = std::make_unique<TThreadedTimer>(nullptr);
        Timer->OnTimer = [&](TObject*) { ++Ticks; };
        Timer->SetInterval(1);
        Timer->SetEnabled(true);
        // Every other round a tick is likely handed over and waiting.
        if (Round % 2 == 1)
            std::this_thread::sleep_for(std::chrono::microseconds(1500));
        Timer.reset(); // ctest's time limit catches a hang
        App->ProcessMessages();
    }
    EXPECT_EQ(ThreadCount(), Before);
    EXPECT_GT(Ticks, 0); // the rounds that waited did tick
}

} // namespace
