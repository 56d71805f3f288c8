#include "playback/PlaybackClock.h"
#include "playback/SceneScript.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Cue {
    int Tick; // which tick since the timer was enabled, from 1
    SongCue Song;
    bool operator==(const Cue&) const = default;
};

// Runs the clock tick by tick from a fresh state and records what it does.
class Timeline {
public:
    explicit Timeline(std::size_t Slots, std::vector<std::pair<std::size_t, std::int32_t>> Set = {}) {
        ResetClockState();
        SceneTable.clear();
        SceneTable.SetLength(Slots);
        for (auto [slot, frame] : Set) {
            pmovie& e = SceneTable.SetEntry(slot);
            e.StartFrame = frame;
            e.HasEntry = 1;
        }
        Outputs.PlaySong = [this](SongCue c) { Cues.push_back({Ticks, c}); };
        Outputs.CloseMainWindow = [this] { Closes.push_back(Ticks); };
    }
    ~Timeline() { SceneTable.clear(); }

    void Tick() {
        ++Ticks;
        ClockTick(Outputs);
    }
    // Ticks until the clock asks to close (or Limit ticks have run).
    void RunToClose(int Limit = 10000) {
        while (Closes.empty() && Ticks < Limit) Tick();
    }

    ClockOutputs Outputs;
    int Ticks = 0;
    std::vector<Cue> Cues;
    std::vector<int> Closes;
};

TEST(PlaybackClock, WorkedExampleFramesOfSlots0To9) {
    Timeline t(383, {{0, 0}, {2, 3}, {4, 6}, {9, 11}});
    std::vector<std::int32_t> shownAtSlotStart;
    EXPECT_EQ(ShownFrame, 0); // before the first tick
    for (int slot = 0; slot < 10; ++slot) {
        // Slot 0 has ticks 1..9; every other slot starts at tick 10*slot.
        int first = slot == 0 ? 1 : slot * 10;
        int last = slot * 10 + 9;
        while (t.Ticks < first) t.Tick();
        std::int32_t frame = ShownFrame;
        shownAtSlotStart.push_back(frame);
        while (t.Ticks < last) {
            t.Tick();
            EXPECT_EQ(ShownFrame, frame) << "frame changed within slot " << slot;
        }
    }
    EXPECT_EQ(shownAtSlotStart, (std::vector<std::int32_t>{0, 1, 3, 4, 6, 7, 8, 6, 7, 11}));
}

TEST(PlaybackClock, WholeTimeline) {
    Timeline t(383);
    std::vector<std::pair<int, std::int32_t>> loopChanges; // tick, new LoopCount
    std::int32_t lastLoop = 0;
    while (t.Closes.empty() && t.Ticks < 10000) {
        t.Tick();
        const bool inRange = (TickCount >= 1 && TickCount <= 3449) ||
                             (TickCount >= 3500 && TickCount <= 3630) ||
                             (TickCount >= 3700 && TickCount <= 3819);
        EXPECT_TRUE(inRange) << "TickCount " << TickCount << " after tick " << t.Ticks;
        if (LoopCount != lastLoop) loopChanges.emplace_back(t.Ticks, lastLoop = LoopCount);
    }
    EXPECT_EQ(t.Closes, std::vector<int>{4180});
    EXPECT_EQ(TickCount, 3630);
    EXPECT_EQ(LoopCount, 4);
    EXPECT_EQ(loopChanges,
              (std::vector<std::pair<int, std::int32_t>>{{3570, 1}, {3690, 2}, {3810, 3}, {3930, 4}}));

    std::vector<Cue> expected;
    for (int tick = 2010; tick <= 2019; ++tick) expected.push_back({tick, SongCue::Song1});
    expected.push_back({3450, SongCue::Title});
    expected.push_back({4050, SongCue::Song2});
    EXPECT_EQ(t.Cues, expected);
}

TEST(PlaybackClock, SlotsLookedUpAndJumpBoundaries) {
    // With an entry at every slot, ShownFrame tells which slot each tick looked up.
    std::vector<std::pair<std::size_t, std::int32_t>> all;
    for (std::size_t s = 0; s < 383; ++s) all.emplace_back(s, static_cast<std::int32_t>(s * 1000));
    Timeline t(383, all);
    std::vector<int> seen(383, 0);
    while (t.Closes.empty() && t.Ticks < 10000) {
        t.Tick();
        ++seen[static_cast<std::size_t>(ShownFrame / 1000)];
    }
    for (int s = 346; s <= 349; ++s) EXPECT_EQ(seen[s], 0) << s;
    for (int s = 364; s <= 369; ++s) EXPECT_EQ(seen[s], 0) << s;
    EXPECT_EQ(seen[0], 9);
    EXPECT_EQ(seen[345], 1);
    EXPECT_EQ(seen[370], 5 * 9); // nine ticks on each of five passes
    EXPECT_EQ(seen[381], 5 * 10);
    EXPECT_EQ(seen[382], 5);
    EXPECT_EQ(seen[350], 9);
    EXPECT_EQ(seen[363], 1);
}

TEST(PlaybackClock, CyclesWithoutEntriesCarryAcrossJumps) {
    // One entry early on: the cycle 10, 11, 12 runs on through every jump, and
    // each pass and the ending begin with the frame the tick before reached.
    Timeline t(383, {{5, 10}});
    std::vector<std::pair<std::int32_t, std::int32_t>> acrossJumps; // before, after
    std::int32_t before = 0;
    while (t.Closes.empty() && t.Ticks < 10000) {
        const bool jumpNext = t.Ticks == 3450 || t.Ticks == 3570 || t.Ticks == 4050;
        t.Tick();
        if (t.Ticks >= 50) {
            EXPECT_GE(ShownFrame, 10) << t.Ticks;
            EXPECT_LE(ShownFrame, 12) << t.Ticks;
        }
        if (jumpNext) acrossJumps.emplace_back(before, ShownFrame);
        before = ShownFrame;
    }
    ASSERT_EQ(acrossJumps.size(), 3u);
    for (auto [b, a] : acrossJumps) EXPECT_EQ(a, b);
}

TEST(PlaybackClock, SlotBeyondTheTableHasNoEntry) {
    Timeline t(3, {{1, 20}});
    t.RunToClose();
    EXPECT_EQ(t.Closes, std::vector<int>{4180});
    EXPECT_GE(ShownFrame, 20);
    EXPECT_LE(ShownFrame, 22);
}

TEST(PlaybackClock, EntryNamingTheShownFrameHoldsItForTheWholeSlot) {
    Timeline t(383, {{1, 1}});
    while (t.Ticks < 19) {
        t.Tick();
        if (t.Ticks >= 10) {
            EXPECT_EQ(ShownFrame, 1) << t.Ticks;
        }
    }
    t.Tick(); // tick 20: slot 2 without entry moves on
    EXPECT_EQ(ShownFrame, 2);
}

TEST(PlaybackClock, FrameArithmeticWrapsInsteadOfOverflowing) {
    Timeline t(383, {{1, INT32_MAX - 1}});
    while (t.Ticks < 40) t.Tick();
    // INT32_MAX-1, then INT32_MAX, then the wrapped third frame, then back.
    EXPECT_EQ(BaseFrame, INT32_MAX - 1);
    EXPECT_TRUE(ShownFrame == INT32_MAX - 1 || ShownFrame == INT32_MAX || ShownFrame == INT32_MIN);
}

TEST(PlaybackClock, RunsWithoutOutputsConnected) {
    ResetClockState();
    SceneTable.clear();
    ClockOutputs none;
    for (int i = 0; i < 5000; ++i) ClockTick(none);
    EXPECT_EQ(LoopCount, 4);
}

} // namespace
