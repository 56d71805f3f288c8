#pragma once
// The movie's timeline. A threaded timer runs ClockTick on the main thread
// every 20 ms; each tick moves TickCount on, picks the frame to show from
// SceneTable, plays the song cues at three fixed points, repeats the closing
// section five times and at last asks for the main window to close.
// Main thread only; nothing here locks.
#include <cstdint>
#include <functional>

// Clock state; all 0 at program start.
extern std::int32_t TickCount;    // position in ticks; set to 0 by the loading sequence
extern std::int32_t LoopCount;    // passes of the closing section that jumped back
extern std::int32_t BaseFrame;    // first frame of the current three-frame cycle
extern std::int32_t CurrentFrame; // frame the clock has reached
extern std::int32_t ShownFrame;   // frame the presenter draws; set as a tick's last step
extern std::uint8_t Started;      // 1 once loading has finished; set by the loading sequence

// The songs the clock starts on channel 1.
enum class SongCue { Song1, Title, Song2 };

// What a tick reaches outside the playback code.
struct ClockOutputs {
    std::function<void(SongCue)> PlaySong;
    std::function<void()> CloseMainWindow;
};

// Slots and tick counts of the timeline.
constexpr std::int32_t TicksPerSlot = 10;
constexpr std::int32_t Song1Slot = 201;
constexpr std::int32_t OpeningEndSlot = 345;
constexpr std::int32_t ClosingStartTick = 3700;
constexpr std::int32_t ClosingEndSlot = 382;
constexpr std::int32_t EndingStartTick = 3500;
constexpr std::int32_t EndTick = 3630;
constexpr std::int32_t ClosingPasses = 5;

// One tick of the clock.
void ClockTick(const ClockOutputs& Outputs);

// Puts every clock variable back to 0 (tests only; the program runs the clock once).
void ResetClockState();
