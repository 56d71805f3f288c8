#pragma once
// Shared between the effect files: the per-effect drawing functions and the
// few helpers they have in common. Not for use outside the effects.
#include <vector>

#include "tools/Canvas.h"
#include "tools/Effects.h"

namespace effects {

constexpr Color White{1, 1, 1};
constexpr Color Black{0, 0, 0};

// Distance from the centre and angle in turns, per pixel, cached per size.
struct PolarTable {
    std::vector<float> Distance, Angle;
};
const PolarTable& Polar(int W, int H);

float Dist(float X, float Y, float Cx, float Cy);

// Darkens towards the corners; ties the effects' looks together.
void Vignette(Canvas& T, float Strength);

// Whole-picture fields, computed per pixel (FieldEffects.cpp).
void DrawPlasma(const SceneLook& L, float P, Canvas& T);
void DrawTunnel(const SceneLook& L, float P, Canvas& T);
void DrawRings(const SceneLook& L, float P, Canvas& T);
void DrawRotozoom(const SceneLook& L, float P, Canvas& T);
void DrawMetaballs(const SceneLook& L, float P, Canvas& T);
void DrawSpiral(const SceneLook& L, float P, Canvas& T);
void DrawCells(const SceneLook& L, float P, Canvas& T);
void DrawInterference(const SceneLook& L, float P, Canvas& T);

// Shapes, lines and dots on a background (ShapeEffects.cpp).
void DrawStarfield(const SceneLook& L, float P, Canvas& T);
void DrawPolygons(const SceneLook& L, float P, Canvas& T);
void DrawCopperBars(const SceneLook& L, float P, Canvas& T);
void DrawWireCube(const SceneLook& L, float P, Canvas& T);
void DrawBalls(const SceneLook& L, float P, Canvas& T);
void DrawEqualizer(const SceneLook& L, float P, Canvas& T);
void DrawGrid(const SceneLook& L, float P, Canvas& T);
void DrawLissajous(const SceneLook& L, float P, Canvas& T);
void DrawDotSphere(const SceneLook& L, float P, Canvas& T);

} // namespace effects
