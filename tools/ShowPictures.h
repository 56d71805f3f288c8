#pragma once
// The demo show's pictures: the look of every animation, the frames drawn
// from them, and the loading picture. Everything follows from the seed.
#include <cstdint>
#include <vector>

#include "tools/Canvas.h"
#include "tools/Effects.h"

constexpr int ShowWidth = 640;
constexpr int ShowHeight = 480;

// The progress line is painted at y 455, 16 pixels high; the loading picture
// keeps a plain dark band from this row down so it stands out.
constexpr int LoadingBandTop = 448;

// One look per animation of the show (ShowAnimationCount).
std::vector<SceneLook> MakeSceneLooks(std::uint64_t Seed);

// Draws frame FrameIndex (0 .. ShowFrameCount-1) of the show.
void DrawShowFrame(int FrameIndex, const std::vector<SceneLook>& Looks, Canvas& Target);

void DrawLoadingPicture(std::uint64_t Seed, Canvas& Target);
