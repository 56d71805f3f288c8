#include "tools/ShowScript.h"

#include <cstdio>
#include <stdexcept>

namespace {

void Add(std::vector<SceneLine>& Lines, int Slot, int FrameIndex) {
    if (!Lines.empty() && Slot <= Lines.back().Slot)
        throw std::logic_error("scene lines out of order at slot " + std::to_string(Slot));
    Lines.push_back({Slot, FrameIndex + 1});
}

int FirstFrame(int Animation) {
    return Animation * 3;
}

} // namespace

std::vector<SceneLine> MakeSceneLines() {
    std::vector<SceneLine> Lines;

    // Opening, first song (150 bpm: a beat is two slots, a bar eight).
    // Two bars of title, then scenes of two or three beats, changing on beats.
    Add(Lines, 0, FirstFrame(TitleAnimation));
    int Slot = 16;
    int Animation = TitleAnimation + 1;
    auto Scene = [&](int Length) {
        Add(Lines, Slot, FirstFrame(Animation++));
        Slot += Length;
    };
    for (int Group = 0; Group < 11; ++Group) {
        if (Group == 4 || Group == 9) {
            for (int I = 0; I < 4; ++I)
                Scene(4); // busier bars
        } else {
            Scene(6);
            Scene(6);
            Scene(4);
        }
    }
    Scene(4);
    Scene(4); // runs on through slot 200
    if (Slot != 200 || Animation != FirstSongOneAnimation)
        throw std::logic_error("first song's scenes do not fill slots 16..200");

    // Opening, second song from slot 201: a scene every two beats up to slot 345.
    Slot = SongOneSlot;
    while (Animation < FirstClosingAnimation)
        Scene(4);
    // The last scene also covers the one tick of slot 345.
    if (Slot != OpeningLastSlot)
        throw std::logic_error("second song's scenes do not fill slots 201..345");

    // Ending: the end picture's animation, then its fade, one frame a slot;
    // slots 362 and 363 run on through the last fade frames without lines.
    Add(Lines, EndingFirstSlot, FirstFrame(EndAnimation));
    for (int I = 0; I < 3; ++I)
        Add(Lines, EndingLastSlot - 4 + I, FadeFirstFrame + I);

    // Closing section: one animation per beat of the title song (three slots),
    // repeated five times. Slot 382 is the pass's last tick, where the fourth
    // cycle has come round to its first frame again; saying so explicitly
    // makes the script reach slot 382.
    for (int I = 0; I < ClosingAnimationCount; ++I)
        Add(Lines, ClosingFirstSlot + 3 * I, FirstFrame(FirstClosingAnimation + I));
    Add(Lines, ClosingLastSlot, FirstFrame(FirstClosingAnimation + ClosingAnimationCount - 1));
    return Lines;
}

std::string FrameFileName(int FrameIndex) {
    char Name[32];
    std::snprintf(Name, sizeof Name, "f%03d.jpg", FrameIndex + 1);
    return Name;
}

std::string FrameListText() {
    std::string Text;
    for (int I = 0; I < ShowFrameCount; ++I)
        Text += FrameFileName(I) + "\r\n";
    return Text;
}

std::string SceneScriptText(const std::vector<SceneLine>& Lines) {
    std::string Text;
    for (const SceneLine& L : Lines)
        Text += std::to_string(L.Slot) + " " + std::to_string(L.Frame) + "\r\n";
    return Text;
}
