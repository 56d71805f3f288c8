#pragma once
// A timer whose waiting is done by a worker thread of its own, so that its
// ticks keep their pace while the main thread is busy with other messages.
//
// Threads: the component is made, set and destroyed on the main thread; its
// OnTimer runs there too, from the application's message loop. The worker
// only waits and hands ticks over: it posts a tick message and blocks until
// the main thread has run it, so ticks never overlap, never pile up and never
// run inside another handler.
//
// Timing: the worker is made idle with the component. Enabling it wakes the
// worker, and the first tick follows one Interval after the enabling, none
// before. Each following wait is counted from the moment the previous tick
// was handed over, against a monotonic clock, so the time the main thread
// takes to run a tick does not stretch the timeline; hand-overs stay at
// least Interval apart. When the main thread ran a tick so late that the next
// moment has already passed, the wait starts afresh from then: a late tick is
// not made up for. A sleeping thread wakes late, and every late hand-over
// would add to the timeline, so the worker sleeps until shortly before each
// moment (learning how early from its own wake-ups, at most 2 ms) and watches
// the clock for the rest. It asks for a 1 ns timer slack and the priority
// ThreadPriority names, where the system allows; a refusal is no error.
//
// Failure: an error thrown by OnTimer goes to the application's error handler
// (standard error when there is no application) and ends the ticks, as the
// platform's worker thread ended with it. A tick that cannot be posted (SDL's
// events are not running) is dropped and said so once on standard error.
//
// Destruction stops the worker and waits for it on the main thread, running
// a tick handed over meanwhile; it never deadlocks. A timer must not be
// destroyed from its own OnTimer.
#include "platform/win/Forms.h"

#include <chrono>
#include <cstdint>
#include <memory>

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TThreadedTimer : public TComponent {
public:
    explicit TThreadedTimer(TComponent* Owner);
    ~TThreadedTimer() override;

    bool Enabled() const { return FEnabled; }
    // True: the worker wakes, and ticks follow while Interval is above 0 (or
    // AllowZero is set). False: the worker goes idle; a tick already handed
    // over is run without calling OnTimer.
    void SetEnabled(bool Value);

    // Milliseconds between ticks; 1000 when made. A change restarts the wait.
    UINT Interval() const { return FInterval; }
    void SetInterval(UINT Value);

    // With AllowZero an Interval of 0 ticks as fast as the main thread runs them.
    bool AllowZero() const { return FAllowZero; }
    void SetAllowZero(bool Value);

    // The worker's priority relative to the process; tpNormal when made.
    TThreadPriority ThreadPriority() const { return FThreadPriority; }
    void SetThreadPriority(TThreadPriority Value);

    TNotifyEvent OnTimer;

    // When the worker handed over the tick being run (meaningful inside OnTimer).
    std::chrono::steady_clock::time_point TickHandedOverAt() const { return FTickHandedOverAt; }

    // Runs the tick a tick message names (the message loop calls this).
    static void DeliverTick(std::uint32_t TimerId, std::uint64_t Sequence);

private:
    struct TTimerThread;
    void UpdateWorker();
    // Calls OnTimer if enabled; false when it threw (the error is reported).
    bool RunTick(std::chrono::steady_clock::time_point HandedOverAt);

    bool FEnabled = false;
    UINT FInterval = 1000;
    bool FAllowZero = false;
    TThreadPriority FThreadPriority = tpNormal;
    std::chrono::steady_clock::time_point FTickHandedOverAt{};
    std::unique_ptr<TTimerThread> FThread;
};
