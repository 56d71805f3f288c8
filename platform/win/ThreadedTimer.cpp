#include "platform/win/ThreadedTimer.h"

#include "platform/win/WinInternal.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

// Timers by number, so that a tick message left in the queue by a timer that
// is gone finds nothing instead of a freed object. Main thread only.
std::map<std::uint32_t, TThreadedTimer*>& Registry() {
    static std::map<std::uint32_t, TThreadedTimer*> Timers;
    return Timers;
}
std::atomic<std::uint32_t> NextTimerId{1};

// Steps of the platform's thread priorities as nice values relative to the process.
int NiceOffset(TThreadPriority Priority) {
    switch (Priority) {
    case tpLowest:
        return 2;
    case tpLower:
        return 1;
    case tpHigher:
        return -1;
    case tpHighest:
        return -2;
    case tpTimeCritical:
        return -10;
    default:
        return 0;
    }
}

void ApplyPriority(int BaseNice, TThreadPriority Priority) {
    const int Nice = Priority == tpIdle ? 19 : std::clamp(BaseNice + NiceOffset(Priority), -20, 19);
    // Raising a priority needs a privilege; refused, the thread keeps its own.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), Nice);
}

inline void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

bool PostTick(std::uint32_t TimerId, std::uint64_t Sequence) {
    SDL_Event Event{};
    Event.type = TickMessage();
    Event.user.data1 = reinterpret_cast<void*>(static_cast<std::uintptr_t>(TimerId));
    Event.user.data2 = reinterpret_cast<void*>(static_cast<std::uintptr_t>(Sequence));
    if (SDL_PushEvent(&Event) == 1)
        return true;
    static std::atomic<bool> Said{false};
    if (!Said.exchange(true))
        std::fprintf(stderr,
                     "ThreadedTimer: a tick cannot be handed to the main thread (%s); "
                     "ticks are dropped.\n",
                     SDL_GetError());
    return false;
}

} // namespace

struct TThreadedTimer::TTimerThread {
    std::uint32_t Id = 0;
    std::mutex Lock;
    std::condition_variable WorkerWake; // the worker waits on it
    std::condition_variable MainWake;   // the destructor waits on it

    // Set by the main thread.
    Clock::duration Interval = 1000ms;
    bool Running = false;       // false: idle, as the platform's suspended worker
    bool WakeSignalled = false; // the wake-up event; the wait it ends resets it
    Clock::time_point SignalledAt{};
    bool Terminate = false;
    TThreadPriority Priority = tpNormal;

    // The tick in hand-over; at most one at a time.
    std::uint64_t Sequence = 0;
    bool TickPending = false; // handed over and not yet run to its end
    bool TickRunning = false;
    Clock::time_point HandedOverAt{};
    bool StopAfterError = false;
    bool Finished = false;

    std::thread Worker;

    void Execute();
    void RunPending(TThreadedTimer& Timer, std::unique_lock<std::mutex>& Locked);
};

void TThreadedTimer::TTimerThread::Execute() {
    // The default slack lets the kernel wake a waiting thread up to 50 µs
    // late, and every tick's lateness would add to the timeline.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    errno = 0;
    int BaseNice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    if (errno != 0)
        BaseNice = 0;
    TThreadPriority Applied = tpNormal;

    // A sleeping thread wakes somewhat after the time it asked for. The worker
    // sleeps until Lead before each deadline and watches the clock for the
    // rest, learning Lead from how late its sleeps end.
    Clock::duration LateEstimate = 100us;
    Clock::duration Lead = 300us;

    std::unique_lock<std::mutex> Locked(Lock);
    Clock::time_point Base = Clock::now();
    for (;;) {
        WorkerWake.wait(Locked, [&] { return Terminate || Running; });
        if (Terminate)
            break;
        if (Priority != Applied) {
            Applied = Priority;
            ApplyPriority(BaseNice, Applied);
        }
        if (WakeSignalled) { // a wait ended by the event gives no tick
            WakeSignalled = false;
            // Counted from the signal, not from when this thread got to run.
            Base = SignalledAt;
            continue;
        }
        const Clock::duration Period = Interval;
        const Clock::time_point Deadline = Base + Period;
        const Clock::time_point SleepUntil = Deadline - std::min(Lead, Period / 4);
        if (Clock::now() < SleepUntil) {
            if (WorkerWake.wait_until(Locked, SleepUntil,
                                      [&] { return Terminate || !Running || WakeSignalled; }))
                continue;
            const Clock::duration Late = Clock::now() - SleepUntil;
            LateEstimate = (LateEstimate * 7 + Late) / 8;
            Lead = std::clamp(Clock::duration(2 * LateEstimate + 20us), Clock::duration(50us),
                              Clock::duration(2ms));
        }
        Locked.unlock();
        while (Clock::now() < Deadline)
            CpuRelax();
        Locked.lock();
        if (Terminate)
            break;
        if (!Running || WakeSignalled)
            continue;

        // Hand the tick over and wait until the main thread has run it.
        const std::uint64_t Tick = ++Sequence;
        TickPending = true;
        HandedOverAt = Clock::now();
        const Clock::time_point Handed = HandedOverAt;
        MainWake.notify_all(); // a destructor waiting for us runs it itself
        Locked.unlock();
        const bool Posted = PostTick(Id, Tick);
        Locked.lock();
        if (!Posted && TickPending && !TickRunning) {
            TickPending = false; // nobody will see it
            Base = Clock::now();
            continue;
        }
        WorkerWake.wait(Locked, [&] { return !TickPending; });
        if (StopAfterError)
            break;
        // Count the next wait from the hand-over, unless the main thread ran
        // the tick so late that the next moment has passed: then afresh.
        const Clock::time_point Acknowledged = Clock::now();
        Base = Acknowledged - Handed >= Period ? Acknowledged : Handed;
    }
    Finished = true;
    MainWake.notify_all();
}

void TThreadedTimer::TTimerThread::RunPending(TThreadedTimer& Timer,
                                              std::unique_lock<std::mutex>& Locked) {
    TickRunning = true;
    const Clock::time_point At = HandedOverAt;
    Locked.unlock();
    const bool Succeeded = Timer.RunTick(At);
    Locked.lock();
    TickRunning = false;
    TickPending = false;
    if (!Succeeded)
        StopAfterError = true;
    WorkerWake.notify_all();
}

TThreadedTimer::TThreadedTimer(TComponent* Owner)
    : TComponent(Owner), FThread(std::make_unique<TTimerThread>()) {
    FThread->Id = NextTimerId++;
    FThread->Interval = std::chrono::milliseconds(FInterval);
    Registry()[FThread->Id] = this;
    try {
        FThread->Worker = std::thread([Thread = FThread.get()] { Thread->Execute(); });
    } catch (...) {
        Registry().erase(FThread->Id);
        throw;
    }
}

TThreadedTimer::~TThreadedTimer() {
    Registry().erase(FThread->Id); // tick messages still queued become stale
    TTimerThread& Thread = *FThread;
    std::unique_lock<std::mutex> Locked(Thread.Lock);
    if (Thread.TickRunning) {
        // Destroyed from inside its own tick (not supported): at least do not hang.
        Thread.TickRunning = false;
        Thread.TickPending = false;
    }
    Thread.Terminate = true;
    Thread.WakeSignalled = true;
    Thread.Running = true;
    Thread.WorkerWake.notify_all();
    while (!Thread.Finished) {
        if (Thread.TickPending && !Thread.TickRunning)
            Thread.RunPending(*this, Locked);
        else
            Thread.MainWake.wait(Locked);
    }
    Locked.unlock();
    Thread.Worker.join();
}

void TThreadedTimer::SetEnabled(bool Value) {
    if (Value == FEnabled)
        return;
    FEnabled = Value;
    UpdateWorker();
}

void TThreadedTimer::SetInterval(UINT Value) {
    if (Value == FInterval)
        return;
    FInterval = Value;
    UpdateWorker();
}

void TThreadedTimer::SetAllowZero(bool Value) {
    if (Value == FAllowZero)
        return;
    FAllowZero = Value;
    UpdateWorker();
}

void TThreadedTimer::SetThreadPriority(TThreadPriority Value) {
    FThreadPriority = Value;
    std::lock_guard<std::mutex> Locked(FThread->Lock);
    FThread->Priority = Value;
}

void TThreadedTimer::UpdateWorker() {
    std::lock_guard<std::mutex> Locked(FThread->Lock);
    FThread->Interval = std::chrono::milliseconds(FInterval);
    FThread->Priority = FThreadPriority;
    const bool Ticking = FEnabled && (FInterval > 0 || FAllowZero);
    // Waking the worker ends its current wait without a tick; the next one
    // is a whole interval from now.
    if (Ticking) {
        FThread->WakeSignalled = true;
        FThread->SignalledAt = Clock::now();
    }
    FThread->Running = Ticking;
    FThread->WorkerWake.notify_all();
}

bool TThreadedTimer::RunTick(std::chrono::steady_clock::time_point HandedOverAt) {
    FTickHandedOverAt = HandedOverAt;
    try {
        if (FEnabled && OnTimer)
            OnTimer(this);
        return true;
    } catch (...) {
        if (Application != nullptr)
            Application->HandleException(this);
        else
            std::fprintf(stderr, "%s\n",
                         MessageWithFullStop(ExceptionMessage(std::current_exception())).c_str());
        return false;
    }
}

void TThreadedTimer::DeliverTick(std::uint32_t TimerId, std::uint64_t Sequence) {
    const auto Found = Registry().find(TimerId);
    if (Found == Registry().end())
        return; // the timer is gone
    TThreadedTimer& Timer = *Found->second;
    TTimerThread& Thread = *Timer.FThread;
    std::unique_lock<std::mutex> Locked(Thread.Lock);
    if (!Thread.TickPending || Thread.TickRunning || Thread.Sequence != Sequence)
        return;
    Thread.RunPending(Timer, Locked);
}
