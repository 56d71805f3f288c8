// Effects computed for every pixel from its position and the phase.
#include <algorithm>
#include <cmath>
#include <vector>

#include "tools/DemoRandom.h"
#include "tools/EffectParts.h"
#include "tools/FastMath.h"

using namespace fastmath;

namespace effects {

void DrawPlasma(const SceneLook& L, float P, Canvas& T) {
    float K1 = 1.0f / (90 + 160 * L.A), K2 = 1.0f / (70 + 150 * L.B);
    float K3 = 1.0f / (110 + 200 * L.C), K4 = 1.0f / (50 + 80 * L.A);
    float Cx = T.Width() * 0.5f + 120 * CosT(P), Cy = T.Height() * 0.5f + 90 * SinT(P);
    for (int Y = 0; Y < T.Height(); ++Y)
        for (int X = 0; X < T.Width(); ++X) {
            float V = SinT(X * K1 + P) + SinT(Y * K2 - P) + SinT((X + Y) * K3 + P) +
                      SinT(Dist(X, Y, Cx, Cy) * K4 - P);
            T.At(X, Y) = L.Colors.At(0.5f + V * 0.12f);
        }
}

void DrawTunnel(const SceneLook& L, float P, Canvas& T) {
    const PolarTable& Pt = Polar(T.Width(), T.Height());
    int Sectors = 4 + static_cast<int>(L.A * 6);
    float Depth = 200 + 200 * L.B;
    float Twist = L.C < 0.5f ? 1.0f : -1.0f;
    for (int Y = 0; Y < T.Height(); ++Y)
        for (int X = 0; X < T.Width(); ++X) {
            std::size_t I = static_cast<std::size_t>(Y) * T.Width() + X;
            float D = std::max(Pt.Distance[I], 1.0f);
            float U = Depth / D + P;
            float V = Pt.Angle[I] * Sectors + Twist * P;
            float Tex = std::clamp(SinT(U) * SinT(V) * 3.0f, -1.0f, 1.0f);
            float Shade = std::pow(Clamp01((D - 8) / 230), 0.8f);
            T.At(X, Y) = L.Colors.At(0.5f + 0.3f * Tex + 0.1f * CosT(U)) * Shade;
        }
}

void DrawRings(const SceneLook& L, float P, Canvas& T) {
    float Cx = T.Width() * 0.5f, Cy = T.Height() * 0.5f;
    float X1 = Cx - 110 - 60 * L.A, Y1 = Cy - 40 + 50 * L.B;
    float X2 = Cx + 90 + 50 * L.C, Y2 = Cy + 30;
    float F = 1.0f / (26 + 20 * L.A);
    Color Dark = L.Colors.At(0.12f) * 0.7f, Light = L.Colors.At(0.72f);
    for (int Y = 0; Y < T.Height(); ++Y)
        for (int X = 0; X < T.Width(); ++X) {
            float V = SinT(Dist(X, Y, X1, Y1) * F - P) + SinT(Dist(X, Y, X2, Y2) * F - P);
            float Band = SmoothStep(-0.18f, 0.18f, V);
            T.At(X, Y) = Mix(Dark, Light, Band) * (0.75f + 0.25f * std::abs(V) * 0.5f);
        }
    Vignette(T, 0.5f);
}

void DrawRotozoom(const SceneLook& L, float P, Canvas& T) {
    float Turn = L.A + P / 4; // a quarter turn per loop maps the board onto itself
    float Size = (36 + 40 * L.B) * (1.0f + 0.25f * SinT(P));
    float Cs = CosT(Turn) / Size, Sn = SinT(Turn) / Size;
    float Cx = T.Width() * 0.5f, Cy = T.Height() * 0.5f;
    Color Even = L.Colors.At(0.2f), Odd = L.Colors.At(0.62f), Dot = L.Colors.At(0.92f);
    Color Edge = Mix(Even, Odd, 0.5f);
    for (int Y = 0; Y < T.Height(); ++Y)
        for (int X = 0; X < T.Width(); ++X) {
            float Dx = X + 0.5f - Cx, Dy = Y + 0.5f - Cy;
            // Rotating about a tile's centre keeps the checker's parity.
            float U = Dx * Cs + Dy * Sn + 0.5f, V = -Dx * Sn + Dy * Cs + 0.5f;
            float Iu = std::floor(U), Iv = std::floor(V);
            float Fu = U - Iu - 0.5f, Fv = V - Iv - 0.5f;
            bool Checker = (static_cast<int>(Iu) + static_cast<int>(Iv)) & 1;
            Color C = Checker ? Odd : Even;
            float Round = std::sqrt(Fu * Fu + Fv * Fv);
            C = Mix(C, Dot, Clamp01((0.27f - Round) * Size));
            float ToEdge = 0.5f - std::max(std::abs(Fu), std::abs(Fv));
            T.At(X, Y) = Mix(Edge, C, Clamp01(ToEdge * Size * 2.0f));
        }
    Vignette(T, 0.6f);
}

void DrawMetaballs(const SceneLook& L, float P, Canvas& T) {
    DemoRandom Rng(L.Seed);
    int N = 5 + static_cast<int>(L.A * 3);
    struct Ball {
        float X, Y, R2;
    };
    std::vector<Ball> Balls;
    float Cx = T.Width() * 0.5f, Cy = T.Height() * 0.5f;
    for (int I = 0; I < N; ++I) {
        float Rx = static_cast<float>(Rng.Uniform(80, 220)),
              Ry = static_cast<float>(Rng.Uniform(60, 170));
        int M = (Rng.Below(2) + 1) * (Rng.Chance(0.5) ? 1 : -1);
        int K = Rng.Chance(0.5) ? 1 : -1;
        float Px = static_cast<float>(Rng.Uniform()), Py = static_cast<float>(Rng.Uniform());
        float R = static_cast<float>(Rng.Uniform(42, 70));
        Balls.push_back({Cx + Rx * SinT(M * P + Px), Cy + Ry * SinT(K * P + Py), R * R});
    }
    Color Back = L.Colors.At(0.05f) * 0.25f, Rim = L.Colors.At(0.9f);
    for (int Y = 0; Y < T.Height(); ++Y)
        for (int X = 0; X < T.Width(); ++X) {
            float F = 0;
            for (const Ball& B : Balls)
                F += B.R2 / ((X - B.X) * (X - B.X) + (Y - B.Y) * (Y - B.Y) + 1.0f);
            float Heat = Clamp01((F - 1.0f) / 2.5f);
            Color Inside = L.Colors.At(0.35f + 0.5f * Heat) * (0.8f + 0.35f * Heat);
            Color Outside =
                Back * (1.0f - 0.3f * Y / T.Height()) + Rim * (0.55f * SmoothStep(0.5f, 1.0f, F));
            T.At(X, Y) = Mix(Outside, Inside, SmoothStep(0.97f, 1.03f, F));
        }
}

void DrawSpiral(const SceneLook& L, float P, Canvas& T) {
    const PolarTable& Pt = Polar(T.Width(), T.Height());
    int Arms = 2 + static_cast<int>(L.A * 5);
    int Arms2 = Arms + 1 + static_cast<int>(L.C * 3);
    float F = 1.0f / (60 + 90 * L.B);
    for (int Y = 0; Y < T.Height(); ++Y)
        for (int X = 0; X < T.Width(); ++X) {
            std::size_t I = static_cast<std::size_t>(Y) * T.Width() + X;
            float D = Pt.Distance[I], A = Pt.Angle[I];
            float V = SinT(A * Arms + D * F - P);
            float W = SinT(A * Arms2 - D * F * 0.7f + P);
            Color C = L.Colors.At(0.5f + 0.33f * V + 0.15f * W) * Clamp01(0.15f + D / 90);
            float Core = Clamp01(1.0f - D / 70);
            T.At(X, Y) = C + White * (Core * Core * 0.8f);
        }
    Vignette(T, 0.45f);
}

void DrawCells(const SceneLook& L, float P, Canvas& T) {
    DemoRandom Rng(L.Seed);
    int N = 14 + static_cast<int>(L.A * 10);
    std::vector<Point> Seeds;
    std::vector<Color> Fill;
    for (int I = 0; I < N; ++I) {
        float Bx = static_cast<float>(Rng.Uniform(-20, T.Width() + 20));
        float By = static_cast<float>(Rng.Uniform(-20, T.Height() + 20));
        float R = static_cast<float>(Rng.Uniform(20, 60));
        float Dir = Rng.Chance(0.5) ? 1.0f : -1.0f;
        float Ph = static_cast<float>(Rng.Uniform());
        Seeds.push_back({Bx + R * CosT(Dir * P + Ph), By + R * SinT(Dir * P + Ph)});
        Fill.push_back(L.Colors.At(static_cast<float>(I) / N));
    }
    Color Line = Mix(White, L.Colors.At(0.95f), 0.5f);
    for (int Y = 0; Y < T.Height(); ++Y)
        for (int X = 0; X < T.Width(); ++X) {
            float D1 = 1e30f, D2 = 1e30f;
            int Near = 0;
            for (int I = 0; I < N; ++I) {
                float D = (X - Seeds[I].X) * (X - Seeds[I].X) + (Y - Seeds[I].Y) * (Y - Seeds[I].Y);
                if (D < D1) {
                    D2 = D1;
                    D1 = D;
                    Near = I;
                } else if (D < D2) {
                    D2 = D;
                }
            }
            float S1 = std::sqrt(D1), S2 = std::sqrt(D2);
            // Half the difference of the two distances is the distance to the border.
            float Border = (S2 - S1) * 0.5f;
            Color C = Fill[Near] * (1.0f - 0.55f * Clamp01(S1 / 150));
            C = C * SmoothStep(0.8f, 3.0f, Border);
            T.At(X, Y) = C + Line * (0.7f * (1.0f - SmoothStep(0.0f, 1.6f, Border)));
        }
}

void DrawInterference(const SceneLook& L, float P, Canvas& T) {
    float Cx = T.Width() * 0.5f, Cy = T.Height() * 0.5f;
    Point Src[3];
    for (int I = 0; I < 3; ++I) {
        float A = L.A + I / 3.0f;
        Src[I] = {Cx + 170 * CosT(A), Cy + 130 * SinT(A)};
    }
    float F = 1.0f / (22 + 26 * L.B);
    for (int Y = 0; Y < T.Height(); ++Y)
        for (int X = 0; X < T.Width(); ++X) {
            float V = 0;
            for (const Point& S : Src)
                V += SinT(Dist(X, Y, S.X, S.Y) * F - P);
            V /= 3;
            T.At(X, Y) = L.Colors.At(0.5f + 0.45f * V) * (0.55f + 0.45f * std::abs(V));
        }
}

} // namespace effects
