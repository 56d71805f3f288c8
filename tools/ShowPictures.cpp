#include "tools/ShowPictures.h"

#include <stdexcept>
#include <string>

#include "tools/DemoRandom.h"
#include "tools/ShowScript.h"

namespace {

Palette PickPalette(DemoRandom& Rng) {
    auto Jitter = [&](float V) { return V + static_cast<float>(Rng.Uniform(-0.08, 0.08)); };
    const Color Half{0.5f, 0.5f, 0.5f};
    switch (Rng.Below(9)) {
    case 0:
        return Palette::Cosine(Half, Half, {1, 1, 1}, {Jitter(0.0f), 0.33f, 0.67f});
    case 1:
        return Palette::Cosine(Half, Half, {1, 1, 1}, {0.0f, Jitter(0.10f), 0.20f});
    case 2:
        return Palette::Cosine(Half, Half, {1, 1, 1}, {Jitter(0.30f), 0.20f, 0.20f});
    case 3:
        return Palette::Cosine(Half, Half, {1, 1, 0.5f}, {0.80f, Jitter(0.90f), 0.30f});
    case 4:
        return Palette::Cosine(Half, Half, {1, 0.7f, 0.4f}, {0.0f, 0.15f, Jitter(0.20f)});
    case 5:
        return Palette::Cosine(Half, Half, {2, 1, 0}, {0.50f, Jitter(0.20f), 0.25f});
    case 6: // neon dusk
        return Palette::Stops({{0.0f, Rgb(20, 4, 40)},
                               {0.35f, Rgb(140, 20, 140)},
                               {0.65f, Rgb(255, 90, 60)},
                               {0.85f, Rgb(255, 200, 60)},
                               {1.0f, Rgb(255, 250, 200)}});
    case 7: // deep sea
        return Palette::Stops({{0.0f, Rgb(0, 8, 30)},
                               {0.4f, Rgb(0, 90, 150)},
                               {0.7f, Rgb(40, 210, 200)},
                               {1.0f, Rgb(230, 255, 250)}});
    default: // embers
        return Palette::Stops({{0.0f, Rgb(10, 0, 0)},
                               {0.35f, Rgb(150, 20, 0)},
                               {0.65f, Rgb(250, 130, 0)},
                               {0.9f, Rgb(255, 230, 120)},
                               {1.0f, Rgb(255, 255, 255)}});
    }
}

// Captions for some opening scenes: consecutive ones read as a sentence.
const char* OpeningCaption(int Animation) {
    switch (Animation) {
    case 5:
        return "PIXELS";
    case 6:
        return "IN MOTION";
    case 12:
        return "NO FONTS";
    case 13:
        return "NO FILES";
    case 14:
        return "ONLY CODE";
    case 21:
        return "THREE FRAMES";
    case 22:
        return "AT A TIME";
    case 30:
        return "SINE";
    case 31:
        return "WAVES";
    case FirstSongOneAnimation:
        return "PART TWO";
    case 46:
        return "FIVE FRAMES";
    case 47:
        return "A SECOND";
    case 56:
        return "ROUND AND";
    case 57:
        return "ROUND";
    case 66:
        return "ALMOST";
    case 67:
        return "THERE";
    default:
        return "";
    }
}

} // namespace

std::vector<SceneLook> MakeSceneLooks(std::uint64_t Seed) {
    DemoRandom Rng(DeriveSeed(Seed, 1));
    std::vector<SceneLook> Looks(ShowAnimationCount);

    // Kinds in shuffled rounds, so every effect comes back evenly and never twice in a row.
    std::vector<EffectKind> Order;
    while (static_cast<int>(Order.size()) < ShowAnimationCount) {
        std::vector<EffectKind> Round;
        for (int K = 0; K < EffectKindCount; ++K)
            Round.push_back(static_cast<EffectKind>(K));
        for (int I = EffectKindCount - 1; I > 0; --I)
            std::swap(Round[I], Round[Rng.Below(I + 1)]);
        if (!Order.empty() && Round.front() == Order.back())
            std::swap(Round.front(), Round.back());
        Order.insert(Order.end(), Round.begin(), Round.end());
    }

    for (int A = 0; A < ShowAnimationCount; ++A) {
        SceneLook& L = Looks[A];
        L.Kind = Order[A];
        L.Colors = PickPalette(Rng);
        L.Seed = DeriveSeed(Seed, 1000 + A);
        L.A = static_cast<float>(Rng.Uniform());
        L.B = static_cast<float>(Rng.Uniform());
        L.C = static_cast<float>(Rng.Uniform());
        L.Caption = OpeningCaption(A);
        L.CaptionScale = 11;
    }

    SceneLook& Title = Looks[TitleAnimation];
    Title.Kind = EffectKind::Plasma;
    Title.Caption = "VAZU";
    Title.CaptionScale = 18;
    Title.CaptionY = 200;
    Title.SubCaption = "A SHOW DRAWN BY CODE";

    const char* Closing[ClosingAnimationCount] = {"THANK", "YOU", "FOR", "WATCHING"};
    const EffectKind ClosingKinds[ClosingAnimationCount] = {
        EffectKind::Tunnel, EffectKind::Polygons, EffectKind::Spiral, EffectKind::Grid};
    for (int I = 0; I < ClosingAnimationCount; ++I) {
        SceneLook& L = Looks[FirstClosingAnimation + I];
        L.Kind = ClosingKinds[I];
        L.Caption = Closing[I];
        L.CaptionScale = 14;
        L.CaptionY = I == 3 ? 130 : 240; // above the horizon of the grid
    }

    SceneLook& End = Looks[EndAnimation];
    End.Kind = EffectKind::Starfield;
    End.Caption = "THE END";
    End.CaptionScale = 14;
    return Looks;
}

void DrawShowFrame(int FrameIndex, const std::vector<SceneLook>& Looks, Canvas& Target) {
    if (FrameIndex < 0 || FrameIndex >= ShowFrameCount)
        throw std::out_of_range("no frame " + std::to_string(FrameIndex) + " in the show");
    if (static_cast<int>(Looks.size()) != ShowAnimationCount)
        throw std::invalid_argument("one look per animation expected");
    if (FrameIndex < FadeFirstFrame) {
        DrawEffect(Looks[FrameIndex / 3], (FrameIndex % 3) / 3.0f, Target);
        return;
    }
    // The fade begins where the end animation's cycle would come round again.
    int Step = FrameIndex - FadeFirstFrame + 1;
    DrawEffect(Looks[EndAnimation], 0.0f, Target);
    Target.Scale(1.0f - static_cast<float>(Step) / FadeFrameCount);
}

void DrawLoadingPicture(std::uint64_t Seed, Canvas& Target) {
    DemoRandom Rng(DeriveSeed(Seed, 2));
    SceneLook Back;
    Back.Kind = EffectKind::Interference;
    Back.Colors = Palette::Stops({{0.0f, Rgb(4, 2, 20)},
                                  {0.5f, Rgb(40, 20, 110)},
                                  {0.8f, Rgb(120, 60, 200)},
                                  {1.0f, Rgb(220, 180, 255)}});
    Back.A = static_cast<float>(Rng.Uniform());
    Back.B = static_cast<float>(Rng.Uniform());
    DrawEffect(Back, 0.0f, Target);
    Target.Scale(0.6f);
    DrawCaption(Target, "VAZU", 18, 170, 0.0f, Rgb(255, 236, 200));
    DrawCaption(Target, "GETTING THE PICTURES READY", 3, 300, 0.0f, Rgb(230, 220, 255), false);
    // A quiet band for the progress line, with a thin rule above it.
    Target.FillRect(0, LoadingBandTop - 12, Target.Width(), Target.Height(), Rgb(10, 8, 22));
    Target.FillRect(0, LoadingBandTop - 12, Target.Width(), LoadingBandTop - 10, Rgb(120, 60, 200));
}
