#pragma once
// The demo's animations. Each one is drawn as a function of its phase, and
// every effect repeats exactly after one whole phase, so the three frames at
// phases 0, 1/3 and 2/3 loop without a seam when the show cycles through
// them. Motion per frame is kept near a third of the pattern's own period:
// at five pictures a second that reads as movement in one direction.
// Stateless; safe to call from several threads on different canvases.
#include <cstdint>
#include <string>
#include <string_view>

#include "tools/Canvas.h"
#include "tools/Palette.h"

enum class EffectKind {
    Plasma,
    Tunnel,
    Starfield,
    Polygons,
    Rings,
    Rotozoom,
    CopperBars,
    Metaballs,
    Spiral,
    Cells,
    WireCube,
    Balls,
    Equalizer,
    Grid,
    Interference,
    Lissajous,
    DotSphere,
};
constexpr int EffectKindCount = 17;

struct SceneLook {
    EffectKind Kind = EffectKind::Plasma;
    Palette Colors;
    std::uint64_t Seed = 0;             // the effect's own layout (stars, orbits, cells)
    float A = 0.5f, B = 0.5f, C = 0.5f; // shape parameters in [0, 1)
    std::string Caption;                // big waving text; may be empty
    int CaptionScale = 10;
    float CaptionY = 240;   // centre line
    std::string SubCaption; // small steady text below the caption; may be empty
};

// Draws Look at Phase; the canvas is overwritten entirely.
void DrawEffect(const SceneLook& Look, float Phase, Canvas& Target);

// Centred text whose letters bob with Phase; shrinks Scale to fit the width.
void DrawCaption(Canvas& Target, std::string_view Text, int Scale, float CenterY, float Phase,
                 Color Fill, bool Wave = true);
