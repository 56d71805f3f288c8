// Parts of the demo generator whose faults the finished show would hide.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "tools/Canvas.h"
#include "tools/Effects.h"
#include "tools/PixelFont.h"

namespace {

double MeanDifference(const Canvas& A, const Canvas& B) {
    double Sum = 0;
    for (int Y = 0; Y < A.Height(); ++Y)
        for (int X = 0; X < A.Width(); ++X) {
            const Color &P = A.At(X, Y), &Q = B.At(X, Y);
            Sum += std::abs(P.R - Q.R) + std::abs(P.G - Q.G) + std::abs(P.B - Q.B);
        }
    return Sum / (3.0 * A.Width() * A.Height());
}

TEST(Effects, EveryEffectComesBackAfterOneWholePhase) {
    // The show cycles frames at phases 0, 1/3, 2/3; phase 1 must look like phase 0 again,
    // and the frames in between must not.
    for (int K = 0; K < EffectKindCount; ++K) {
        SceneLook Look;
        Look.Kind = static_cast<EffectKind>(K);
        Look.Colors = Palette::Cosine({0.5f, 0.5f, 0.5f}, {0.5f, 0.5f, 0.5f}, {1, 1, 1},
                                      {0.0f, 0.33f, 0.67f});
        Look.Seed = 12345 + K;
        Look.A = 0.37f, Look.B = 0.61f, Look.C = 0.29f;
        Look.Caption = "LOOP";
        Canvas Start(640, 480), Third(640, 480), End(640, 480);
        DrawEffect(Look, 0.0f, Start);
        DrawEffect(Look, 1.0f / 3.0f, Third);
        DrawEffect(Look, 1.0f, End);
        EXPECT_LT(MeanDifference(Start, End), 0.004) << "effect " << K << " does not loop";
        EXPECT_GT(MeanDifference(Start, Third), 0.01) << "effect " << K << " does not move";
    }
}

TEST(PixelFont, RefusesCharactersItCannotDraw) {
    Canvas C(64, 16);
    for (char Ch : std::string("az~\t")) {
        EXPECT_FALSE(HasGlyph(Ch)) << Ch;
        EXPECT_THROW(DrawText(C, std::string("A") + Ch, 0, 0, 1, {1, 1, 1}), std::invalid_argument)
            << Ch;
    }
    DrawText(C, "OK 42%", 0, 0, 1, {1, 1, 1});
    EXPECT_EQ(TextWidth("OK 42%", 2), 6 * 6 * 2 - 2);
}

} // namespace
