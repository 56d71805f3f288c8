#pragma once
// The demo show's timeline: which animation starts at which slot, written
// as the scene script, and the frame list that names the pictures.
//
// A slot is 200 ms. A slot with a scene line holds that line's frame for the
// whole slot; the three-frame cycle moves on one frame per slot only in slots
// without a line. So every animation gets one line at its first slot and then
// at least two slots without lines. The clock looks up slots 0..345 (opening),
// 370..382 (closing section, played five times) and 350..363 (ending).
#include <string>
#include <vector>

constexpr int ShowFrameCount = 242;

// Animations of three frames each, frames 3a .. 3a+2.
constexpr int ShowAnimationCount = 79;
constexpr int TitleAnimation = 0;
constexpr int FirstSongOneAnimation = 38; // the first after the song change at slot 201
constexpr int FirstClosingAnimation = 74; // four, one per beat of the closing section
constexpr int ClosingAnimationCount = 4;
constexpr int EndAnimation = 78;

// After the animations: the end picture fading to black, shown once each.
constexpr int FadeFirstFrame = ShowAnimationCount * 3;          // 237
constexpr int FadeFrameCount = ShowFrameCount - FadeFirstFrame; // 5

// Timeline landmarks (slots).
constexpr int SongOneSlot = 201;
constexpr int OpeningLastSlot = 345;
constexpr int EndingFirstSlot = 350;
constexpr int EndingLastSlot = 363;
constexpr int ClosingFirstSlot = 370;
constexpr int ClosingLastSlot = 382;

struct SceneLine {
    int Slot;
    int Frame; // counted from 1 along the frame list, as written in the file
};

// The show's scene lines in ascending slot order.
std::vector<SceneLine> MakeSceneLines();

// "f001.jpg" for frame index 0.
std::string FrameFileName(int FrameIndex);

// The frame list: one name per line, CR LF line ends.
std::string FrameListText();

// "slot frame" per line, CR LF line ends.
std::string SceneScriptText(const std::vector<SceneLine>& Lines);
