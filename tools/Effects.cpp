#include "tools/Effects.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <numbers>

#include "tools/EffectParts.h"
#include "tools/FastMath.h"
#include "tools/PixelFont.h"

using namespace fastmath;

namespace effects {

const PolarTable& Polar(int W, int H) {
    static std::mutex Lock;
    static std::map<std::pair<int, int>, std::unique_ptr<PolarTable>> Cache;
    std::lock_guard<std::mutex> Guard(Lock);
    auto& Slot = Cache[{W, H}];
    if (!Slot) {
        Slot = std::make_unique<PolarTable>();
        Slot->Distance.resize(static_cast<std::size_t>(W) * H);
        Slot->Angle.resize(Slot->Distance.size());
        for (int Y = 0; Y < H; ++Y)
            for (int X = 0; X < W; ++X) {
                float Dx = X + 0.5f - W * 0.5f, Dy = Y + 0.5f - H * 0.5f;
                std::size_t I = static_cast<std::size_t>(Y) * W + X;
                Slot->Distance[I] = std::sqrt(Dx * Dx + Dy * Dy);
                Slot->Angle[I] =
                    Frac(static_cast<float>(std::atan2(Dy, Dx) / (2 * std::numbers::pi)));
            }
    }
    return *Slot;
}

float Dist(float X, float Y, float Cx, float Cy) {
    return std::sqrt((X - Cx) * (X - Cx) + (Y - Cy) * (Y - Cy));
}

void Vignette(Canvas& T, float Strength) {
    float Cx = T.Width() * 0.5f, Cy = T.Height() * 0.5f, R = std::hypot(Cx, Cy);
    for (int Y = 0; Y < T.Height(); ++Y)
        for (int X = 0; X < T.Width(); ++X) {
            float D = Dist(X + 0.5f, Y + 0.5f, Cx, Cy) / R;
            T.At(X, Y) = T.At(X, Y) * (1.0f - Strength * D * D);
        }
}

} // namespace effects

using namespace effects;

void DrawCaption(Canvas& Target, std::string_view Text, int Scale, float CenterY, float Phase,
                 Color Fill, bool Wave) {
    while (Scale > 1 && TextWidth(Text, Scale) > Target.Width() - 40)
        --Scale;
    float X0 = (Target.Width() - TextWidth(Text, Scale)) * 0.5f;
    float Top = CenterY - GlyphHeight * Scale * 0.5f;
    float Amp = Wave ? Scale * 0.9f : 0.0f;
    float Shadow = std::max(2.0f, Scale * 0.4f);
    for (int Pass = 0; Pass < 2; ++Pass)
        for (std::size_t I = 0; I < Text.size(); ++I) {
            float X = X0 + static_cast<float>(I * (GlyphWidth + 1) * Scale);
            float Y = Top + Amp * SinT(Phase + I * 0.11f);
            if (Pass == 0) {
                // A dark rim and drop shadow keep the text readable on any effect.
                for (int Dy = -1; Dy <= 1; ++Dy)
                    for (int Dx = -1; Dx <= 1; ++Dx)
                        DrawChar(Target, Text[I], X + Dx * Shadow * 0.5f, Y + Dy * Shadow * 0.5f,
                                 Scale, Black);
                DrawChar(Target, Text[I], X + Shadow, Y + Shadow, Scale, Black);
            } else {
                DrawChar(Target, Text[I], X, Y, Scale, Fill);
            }
        }
}

void DrawEffect(const SceneLook& Look, float Phase, Canvas& Target) {
    switch (Look.Kind) {
    case EffectKind::Plasma:
        DrawPlasma(Look, Phase, Target);
        break;
    case EffectKind::Tunnel:
        DrawTunnel(Look, Phase, Target);
        break;
    case EffectKind::Starfield:
        DrawStarfield(Look, Phase, Target);
        break;
    case EffectKind::Polygons:
        DrawPolygons(Look, Phase, Target);
        break;
    case EffectKind::Rings:
        DrawRings(Look, Phase, Target);
        break;
    case EffectKind::Rotozoom:
        DrawRotozoom(Look, Phase, Target);
        break;
    case EffectKind::CopperBars:
        DrawCopperBars(Look, Phase, Target);
        break;
    case EffectKind::Metaballs:
        DrawMetaballs(Look, Phase, Target);
        break;
    case EffectKind::Spiral:
        DrawSpiral(Look, Phase, Target);
        break;
    case EffectKind::Cells:
        DrawCells(Look, Phase, Target);
        break;
    case EffectKind::WireCube:
        DrawWireCube(Look, Phase, Target);
        break;
    case EffectKind::Balls:
        DrawBalls(Look, Phase, Target);
        break;
    case EffectKind::Equalizer:
        DrawEqualizer(Look, Phase, Target);
        break;
    case EffectKind::Grid:
        DrawGrid(Look, Phase, Target);
        break;
    case EffectKind::Interference:
        DrawInterference(Look, Phase, Target);
        break;
    case EffectKind::Lissajous:
        DrawLissajous(Look, Phase, Target);
        break;
    case EffectKind::DotSphere:
        DrawDotSphere(Look, Phase, Target);
        break;
    }
    if (!Look.Caption.empty()) {
        Color Fill = Mix(White, Look.Colors.At(0.85f), 0.25f);
        DrawCaption(Target, Look.Caption, Look.CaptionScale, Look.CaptionY, Phase, Fill);
    }
    if (!Look.SubCaption.empty()) {
        float Y = Look.CaptionY + GlyphHeight * Look.CaptionScale * 0.5f + 50;
        DrawCaption(Target, Look.SubCaption, 4, Y, Phase, White, false);
    }
}
