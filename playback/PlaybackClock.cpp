#include "playback/PlaybackClock.h"

#include "playback/SceneScript.h"

std::int32_t TickCount = 0;
std::int32_t LoopCount = 0;
std::int32_t BaseFrame = 0;
std::int32_t CurrentFrame = 0;
std::int32_t ShownFrame = 0;
std::uint8_t Started = 0;

namespace {

// Frame numbers come from the data; add as 32-bit registers do, wrapping.
std::int32_t Add(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

void Play(const ClockOutputs& Outputs, SongCue Cue) {
    if (Outputs.PlaySong) Outputs.PlaySong(Cue);
}

} // namespace

void ClockTick(const ClockOutputs& Outputs) {
    ++TickCount;

    // The first tick of a slot moves the three-frame cycle on.
    if (TickCount % TicksPerSlot == 0) {
        CurrentFrame = Add(CurrentFrame, 1);
        if (CurrentFrame == Add(BaseFrame, 3)) CurrentFrame = BaseFrame;
    }

    // A slot the script names holds its first frame for all of its ticks.
    // A slot beyond the table has no entry.
    const std::int32_t slot = TickCount / TicksPerSlot;
    if (slot >= 0 && static_cast<std::size_t>(slot) < SceneTable.size() &&
        SceneTable[static_cast<std::size_t>(slot)].HasEntry == 1) {
        BaseFrame = SceneTable[static_cast<std::size_t>(slot)].StartFrame;
        CurrentFrame = BaseFrame;
    }

    if (slot == Song1Slot) Play(Outputs, SongCue::Song1);

    if (TickCount / TicksPerSlot == OpeningEndSlot) {
        TickCount = ClosingStartTick;
        Play(Outputs, SongCue::Title);
    }

    if (TickCount / TicksPerSlot == ClosingEndSlot) {
        if (LoopCount == ClosingPasses - 1) {
            TickCount = EndingStartTick;
            Play(Outputs, SongCue::Song2);
        } else {
            TickCount = ClosingStartTick;
            ++LoopCount;
        }
    }

    if (TickCount == EndTick && Outputs.CloseMainWindow) Outputs.CloseMainWindow();

    ShownFrame = CurrentFrame;
}

void ResetClockState() {
    TickCount = LoopCount = BaseFrame = CurrentFrame = ShownFrame = 0;
    Started = 0;
}
