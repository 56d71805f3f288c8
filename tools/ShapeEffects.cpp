// Effects drawn from shapes, lines and dots.
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "tools/DemoRandom.h"
#include "tools/EffectParts.h"
#include "tools/FastMath.h"

using namespace fastmath;

namespace effects {

namespace {

std::vector<Point> RegularShape(float Cx, float Cy, float Radius, int Corners, bool Star,
                                float Turn) {
    std::vector<Point> Pts;
    int N = Star ? Corners * 2 : Corners;
    for (int K = 0; K < N; ++K) {
        float R = (Star && K % 2 == 1) ? Radius * 0.48f : Radius;
        float A = Turn + static_cast<float>(K) / N;
        Pts.push_back({Cx + R * CosT(A), Cy + R * SinT(A)});
    }
    return Pts;
}

struct Vec3 {
    float X, Y, Z;
};

Vec3 RotateY(Vec3 V, float Turn) {
    float C = CosT(Turn), S = SinT(Turn);
    return {V.X * C + V.Z * S, V.Y, -V.X * S + V.Z * C};
}

Vec3 RotateX(Vec3 V, float Turn) {
    float C = CosT(Turn), S = SinT(Turn);
    return {V.X, V.Y * C - V.Z * S, V.Y * S + V.Z * C};
}

Vec3 RotateZ(Vec3 V, float Turn) {
    float C = CosT(Turn), S = SinT(Turn);
    return {V.X * C - V.Y * S, V.X * S + V.Y * C, V.Z};
}

void DrawStaticDots(const SceneLook& L, Canvas& T, int Count) {
    DemoRandom Rng(L.Seed ^ 0x5EEDull);
    for (int I = 0; I < Count; ++I) {
        int X = Rng.Below(T.Width()), Y = Rng.Below(T.Height());
        T.AddPixel(X, Y,
                   Mix(White, L.Colors.At(static_cast<float>(Rng.Uniform())), 0.5f) *
                       static_cast<float>(Rng.Uniform(0.2, 0.8)));
    }
}

} // namespace

void DrawStarfield(const SceneLook& L, float P, Canvas& T) {
    T.VerticalGradient(L.Colors.At(0.05f) * 0.18f, Black);
    DemoRandom Rng(L.Seed);
    float Cx = T.Width() * 0.5f, Cy = T.Height() * 0.5f, F = 150 + 60 * L.A;
    for (int I = 0; I < 420; ++I) {
        float Sx = static_cast<float>(Rng.Uniform(-2.2, 2.2));
        float Sy = static_cast<float>(Rng.Uniform(-1.7, 1.7));
        float Z0 = static_cast<float>(Rng.Uniform());
        float Tint = static_cast<float>(Rng.Uniform());
        float Z = 0.06f + 0.94f * Frac(Z0 - P);
        float Zt = std::min(Z + 0.12f, 1.0f);
        Point Head{Cx + Sx / Z * F * 0.5f, Cy + Sy / Z * F * 0.5f};
        Point Tail{Cx + Sx / Zt * F * 0.5f, Cy + Sy / Zt * F * 0.5f};
        float Near = 1.0f - Z;
        Color C = Mix(White, L.Colors.At(Tint), 0.45f) * (0.15f + 0.95f * Near * Near);
        T.Line(Tail, Head, 1.0f + 2.6f * Near, C);
    }
}

void DrawPolygons(const SceneLook& L, float P, Canvas& T) {
    float Cx = T.Width() * 0.5f, Cy = T.Height() * 0.5f;
    const PolarTable& Pt = Polar(T.Width(), T.Height());
    // Rays turning one ray-spacing per loop behind the shapes.
    constexpr int Rays = 12;
    for (int Y = 0; Y < T.Height(); ++Y)
        for (int X = 0; X < T.Width(); ++X) {
            std::size_t I = static_cast<std::size_t>(Y) * T.Width() + X;
            float Ray = SmoothStep(-0.2f, 0.2f, SinT(Pt.Angle[I] * Rays - P));
            float Fade = 1.0f - Clamp01(Pt.Distance[I] / 420);
            T.At(X, Y) = Mix(L.Colors.At(0.05f) * 0.25f, L.Colors.At(0.95f) * 0.45f, Ray * Fade);
        }
    int Layers = 4 + static_cast<int>(L.A * 3);
    int Offset = static_cast<int>(L.B * 4);
    DemoRandom Rng(L.Seed);
    for (int K = 0; K < Layers; ++K) {
        int Corners = 3 + (K + Offset) % 5;
        bool Star = Rng.Chance(0.4);
        float Base = static_cast<float>(Rng.Uniform());
        float Dir = K % 2 == 0 ? 1.0f : -1.0f;
        float Radius = 225.0f * (1.0f - K / (Layers + 0.6f)) * (1.0f + 0.06f * SinT(P + K * 0.2f));
        auto Pts = RegularShape(Cx, Cy, Radius, Corners, Star, Base + Dir * P / Corners);
        T.FillPolygon(Pts, L.Colors.At(0.15f + 0.8f * K / Layers), 0.92f);
        T.Polyline(Pts, true, 2.5f, Mix(White, L.Colors.At(0.9f), 0.4f), 0.8f);
    }
}

void DrawCopperBars(const SceneLook& L, float P, Canvas& T) {
    T.VerticalGradient(L.Colors.At(0.05f) * 0.15f, L.Colors.At(0.3f) * 0.12f);
    for (int Y = 0; Y < T.Height(); Y += 4)
        T.FillRect(0, Y, T.Width(), Y + 1, L.Colors.At(0.5f) * 0.25f, 0.35f);
    int Bars = 7 + static_cast<int>(L.A * 5);
    float Half = 16 + 10 * L.B;
    struct Bar {
        float Y, Z;
    };
    std::vector<Bar> List;
    for (int I = 0; I < Bars; ++I) {
        // The bars are alike, so moving every bar one place per loop closes the loop.
        float Angle = (I + P) / Bars;
        List.push_back({T.Height() * 0.5f + 175 * SinT(Angle), CosT(Angle)});
    }
    std::sort(List.begin(), List.end(), [](const Bar& A, const Bar& B) { return A.Z < B.Z; });
    for (const Bar& B : List) {
        Color Base = L.Colors.At(0.1f + 0.8f * B.Y / T.Height());
        float Bright = 0.35f + 0.65f * (B.Z + 1) * 0.5f;
        for (int Y = static_cast<int>(B.Y - Half); Y <= static_cast<int>(B.Y + Half); ++Y) {
            float D = (Y - B.Y) / Half;
            float Profile = 1.0f - D * D;
            if (Profile <= 0)
                continue;
            Color C = Base * ((0.2f + 0.95f * Profile) * Bright) +
                      White * (0.35f * std::pow(Profile, 8.0f) * Bright);
            T.FillRect(0, Y, T.Width(), Y + 1, C, std::min(1.0f, Profile * 4));
        }
    }
}

void DrawWireCube(const SceneLook& L, float P, Canvas& T) {
    T.VerticalGradient(L.Colors.At(0.1f) * 0.3f, Black);
    DrawStaticDots(L, T, 260);
    float Cx = T.Width() * 0.5f, Cy = T.Height() * 0.5f;
    float Tilt = 0.06f + 0.05f * L.B, Roll = 0.03f * L.C;
    auto Draw = [&](float Size, float Turn, float ColorAt) {
        std::array<Vec3, 8> V;
        std::array<Point, 8> S;
        std::array<float, 8> Depth;
        for (int I = 0; I < 8; ++I) {
            Vec3 C{(I & 1) ? Size : -Size, (I & 2) ? Size : -Size, (I & 4) ? Size : -Size};
            V[I] = RotateZ(RotateX(RotateY(C, Turn), Tilt), Roll);
            float Scale = 400.0f / (V[I].Z + 4.5f);
            S[I] = {Cx + V[I].X * Scale, Cy + V[I].Y * Scale};
            Depth[I] = Clamp01(0.5f - V[I].Z / (4 * Size));
        }
        for (int A = 0; A < 8; ++A)
            for (int Bit = 1; Bit < 8; Bit <<= 1) {
                int B = A | Bit;
                if (B == A)
                    continue;
                float Bright = 0.45f + 0.55f * (Depth[A] + Depth[B]) * 0.5f;
                T.Line(S[A], S[B], 10.0f, L.Colors.At(ColorAt) * (0.4f * Bright), 0.5f);
                T.Line(S[A], S[B], 3.0f, Mix(White, L.Colors.At(ColorAt), 0.5f) * Bright);
            }
        for (int I = 0; I < 8; ++I)
            T.Glow(S[I].X, S[I].Y, 22, L.Colors.At(ColorAt + 0.2f) * (0.8f * Depth[I] + 0.2f));
    };
    // A cube looks the same after a quarter turn, which closes the loop.
    Draw(1.25f, L.A + P / 4, 0.25f);
    Draw(0.6f, L.A - P / 4, 0.7f);
}

void DrawBalls(const SceneLook& L, float P, Canvas& T) {
    const float Floor = 400;
    T.VerticalGradient(L.Colors.At(0.1f) * 0.35f, L.Colors.At(0.35f) * 0.8f);
    T.FillRect(0, static_cast<int>(Floor), T.Width(), T.Height(), L.Colors.At(0.15f) * 0.3f);
    for (int K = 1; K < 8; ++K) {
        int Y = static_cast<int>(Floor + 80.0f * K * K / 49.0f);
        T.FillRect(0, Y, T.Width(), Y + 1, L.Colors.At(0.6f) * 0.4f);
    }
    int N = 5 + static_cast<int>(L.A * 3);
    float Height = 220 + 60 * L.B;
    float Lx = -0.5f, Ly = -0.6f, Lz = 0.62f;
    float Hx = Lx, Hy = Ly, Hz = Lz + 1.0f;
    float Hn = std::sqrt(Hx * Hx + Hy * Hy + Hz * Hz);
    Hx /= Hn, Hy /= Hn, Hz /= Hn;
    for (int I = 0; I < N; ++I) {
        float R = 34 + 8 * ((I * 7) % 3);
        float X = 70 + I * (T.Width() - 140.0f) / (N - 1);
        float Lift = std::abs(SinT((P + static_cast<float>(I) / N) / 2));
        float Y = Floor - R - Height * Lift;
        // Shadow on the floor, smaller and fainter when the ball is high.
        float Sw = R * (1.3f - 0.6f * Lift);
        for (int Sy = -6; Sy <= 6; ++Sy)
            for (int Sx = static_cast<int>(-Sw); Sx <= static_cast<int>(Sw); ++Sx) {
                float E = (Sx / Sw) * (Sx / Sw) + (Sy / 6.0f) * (Sy / 6.0f);
                if (E < 1)
                    T.BlendPixel(static_cast<int>(X) + Sx, static_cast<int>(Floor) + Sy, Black,
                                 (0.55f - 0.35f * Lift) * (1 - E));
            }
        Color Base = L.Colors.At(static_cast<float>(I) / N + 0.1f);
        for (int Py = static_cast<int>(Y - R - 1); Py <= static_cast<int>(Y + R + 1); ++Py)
            for (int Px = static_cast<int>(X - R - 1); Px <= static_cast<int>(X + R + 1); ++Px) {
                float Nx = (Px + 0.5f - X) / R, Ny = (Py + 0.5f - Y) / R;
                float D2 = Nx * Nx + Ny * Ny;
                float Cover = Clamp01((1.0f - std::sqrt(D2)) * R + 0.5f);
                if (Cover <= 0)
                    continue;
                float Nz = std::sqrt(std::max(0.0f, 1.0f - D2));
                float Diffuse = std::max(0.0f, (Nx * Lx + Ny * Ly + Nz * Lz) / 0.98f);
                float Spec = std::pow(std::max(0.0f, Nx * Hx + Ny * Hy + Nz * Hz), 40.0f);
                T.BlendPixel(Px, Py, Base * (0.15f + 0.85f * Diffuse) + White * (0.9f * Spec),
                             Cover);
            }
    }
}

void DrawEqualizer(const SceneLook& L, float P, Canvas& T) {
    T.VerticalGradient(L.Colors.At(0.05f) * 0.2f, Black);
    for (int Y = 0; Y < T.Height(); Y += 24)
        T.FillRect(0, Y, T.Width(), Y + 1, L.Colors.At(0.5f) * 0.15f);
    DemoRandom Rng(L.Seed);
    int N = 16 + static_cast<int>(L.A * 12);
    const float Base = 330, Top = 290, Seg = 13;
    float Width = (T.Width() - 40.0f) / N;
    for (int I = 0; I < N; ++I) {
        int M = 1 + Rng.Below(3);
        float Ph = static_cast<float>(Rng.Uniform());
        // |sin| repeats every half turn, so M/2 turns per loop still closes it.
        float Level = 0.12f + 0.8f * std::abs(SinT(M * P / 2 + Ph)) *
                                  (0.6f + 0.4f * std::abs(SinT(P / 2 + I * 0.07f)));
        int Lit = static_cast<int>(Level * Top / Seg);
        int X0 = static_cast<int>(20 + I * Width + 2),
            X1 = static_cast<int>(20 + (I + 1) * Width - 2);
        for (int S = 0; S < Lit; ++S) {
            Color C = L.Colors.At(0.15f + 0.7f * S * Seg / Top);
            int Y1 = static_cast<int>(Base - S * Seg), Y0 = Y1 - static_cast<int>(Seg) + 3;
            T.FillRect(X0, Y0, X1, Y1, C);
            // Mirror on the floor, fading downwards.
            int My0 = static_cast<int>(Base + S * Seg) + 3, My1 = My0 + static_cast<int>(Seg) - 3;
            T.FillRect(X0, My0, X1, My1, C, 0.28f * (1.0f - S * Seg / 150.0f));
        }
        int PeakY = static_cast<int>(Base - (Lit + 1) * Seg);
        T.FillRect(X0, PeakY + 6, X1, PeakY + 9, White);
    }
}

void DrawGrid(const SceneLook& L, float P, Canvas& T) {
    const float Horizon = 262;
    const float Cx = T.Width() * 0.5f;
    for (int Y = 0; Y < static_cast<int>(Horizon); ++Y) {
        Color C = Mix(L.Colors.At(0.02f) * 0.4f, L.Colors.At(0.35f), std::pow(Y / Horizon, 1.6f));
        T.FillRect(0, Y, T.Width(), Y + 1, C);
    }
    // The sun, cut by stripes sliding down one spacing per loop.
    const float SunY = Horizon - 60, SunR = 130;
    for (int Y = static_cast<int>(SunY - SunR); Y < static_cast<int>(Horizon); ++Y) {
        float Dy = Y + 0.5f - SunY;
        if (std::abs(Dy) >= SunR)
            continue;
        float Half = std::sqrt(SunR * SunR - Dy * Dy);
        Color C = Mix(L.Colors.At(0.95f), L.Colors.At(0.7f), (Dy + SunR) / (2 * SunR));
        if (Dy > -20) {
            float S = Frac((Dy + 20) / 18 - P);
            if (S < 0.15f + 0.45f * (Dy + 20) / (SunR + 20))
                continue;
        }
        for (int X = static_cast<int>(Cx - Half); X <= static_cast<int>(Cx + Half); ++X) {
            float Edge = Clamp01(Half - std::abs(X + 0.5f - Cx));
            T.BlendPixel(X, Y, C, Edge);
        }
    }
    // Two ridges of mountains, fixed by the seed.
    DemoRandom Rng(L.Seed);
    for (int Layer = 0; Layer < 2; ++Layer) {
        std::vector<Point> Ridge{{0, Horizon}};
        float Amp = Layer == 0 ? 70.0f : 40.0f;
        for (int X = 0; X <= T.Width(); X += 32)
            Ridge.push_back(
                {static_cast<float>(X), Horizon - static_cast<float>(Rng.Uniform(0.2, 1.0)) * Amp *
                                                      (0.4f + 0.6f * std::abs(X - Cx) / Cx)});
        Ridge.push_back({static_cast<float>(T.Width()), Horizon});
        T.FillPolygon(Ridge, L.Colors.At(0.05f) * (Layer == 0 ? 0.35f : 0.2f));
    }
    T.FillRect(0, static_cast<int>(Horizon), T.Width(), T.Height(), L.Colors.At(0.02f) * 0.25f);
    Color Neon = L.Colors.At(0.85f);
    // Lines across at depths k + 1 - P: one spacing per loop towards the viewer.
    for (int K = 0; K < 60; ++K) {
        float Z = K + 1.0f - P;
        if (Z < 0.4f)
            continue;
        float Y = Horizon + 120.0f / Z;
        if (Y >= T.Height() + 2)
            continue;
        float Near = Clamp01(1.2f / Z);
        T.Line({0, Y}, {static_cast<float>(T.Width()), Y}, 1.0f + 2.0f * Near,
               Neon * (0.3f + 0.7f * Near));
    }
    for (int J = -14; J <= 14; ++J)
        T.Line({Cx + J * 6.0f, Horizon}, {Cx + J * 90.0f, static_cast<float>(T.Height()) + 40},
               2.0f, Neon * 0.8f);
    T.FillRect(0, static_cast<int>(Horizon) - 1, T.Width(), static_cast<int>(Horizon) + 1, Neon);
}

void DrawLissajous(const SceneLook& L, float P, Canvas& T) {
    T.Fill(L.Colors.At(0.05f) * 0.12f);
    Vignette(T, 0.6f);
    static const int Pairs[][2] = {{3, 2}, {5, 4}, {3, 4}, {5, 2}, {1, 2}, {3, 5}, {5, 3}, {4, 3}};
    DemoRandom Rng(L.Seed);
    float Cx = T.Width() * 0.5f, Cy = T.Height() * 0.5f;
    for (int K = 0; K < 3; ++K) {
        const int* Ab = Pairs[Rng.Below(8)];
        float Delta0 = static_cast<float>(Rng.Uniform());
        float Ax = 270.0f - 55 * K, Ay = 200.0f - 45 * K;
        Color C = L.Colors.At(0.2f + 0.3f * K);
        // A shift of 1/b turns gives the same figure when a and b share no factor.
        for (int Ghost = 3; Ghost >= 0; --Ghost) {
            float Delta = Delta0 + (P - Ghost * 0.03f) / Ab[1];
            std::vector<Point> Pts;
            for (int I = 0; I <= 720; ++I) {
                float U = I / 720.0f;
                Pts.push_back({Cx + Ax * SinT(Ab[0] * U + Delta), Cy + Ay * SinT(Ab[1] * U)});
            }
            if (Ghost == 0) {
                T.Polyline(Pts, false, 9.0f, C * 0.5f, 0.35f);
                T.Polyline(Pts, false, 3.0f, Mix(C, White, 0.45f));
            } else {
                T.Polyline(Pts, false, 2.0f, C, 0.12f * (4 - Ghost));
            }
        }
    }
}

void DrawDotSphere(const SceneLook& L, float P, Canvas& T) {
    T.VerticalGradient(L.Colors.At(0.1f) * 0.25f, Black);
    float Cx = T.Width() * 0.5f, Cy = T.Height() * 0.5f, R = 185;
    T.Glow(Cx, Cy, R * 1.35f, L.Colors.At(0.5f) * 0.35f);
    const int Rings = 14, PerRing = 28;
    float Tilt = 0.04f + 0.05f * L.B;
    struct Dot {
        Point S;
        float Z;
        Color C;
    };
    std::vector<Dot> Dots;
    for (int I = 0; I < Rings; ++I) {
        float Lat = (I + 0.5f) / Rings * 0.5f - 0.25f;
        for (int J = 0; J < PerRing; ++J) {
            // One dot spacing per loop.
            float Lon = (J + P) / PerRing + L.A;
            Vec3 V{CosT(Lat) * SinT(Lon), SinT(Lat), CosT(Lat) * CosT(Lon)};
            V = RotateX(V, Tilt);
            Dots.push_back(
                {{Cx + V.X * R, Cy + V.Y * R}, V.Z, L.Colors.At(static_cast<float>(I) / Rings)});
        }
    }
    std::sort(Dots.begin(), Dots.end(), [](const Dot& A, const Dot& B) { return A.Z < B.Z; });
    for (const Dot& D : Dots) {
        float Front = (D.Z + 1) * 0.5f;
        T.FillCircle(D.S.X, D.S.Y, 1.5f + 3.5f * Front,
                     D.C * (0.2f + 0.8f * Front) + White * (0.25f * Front * Front));
    }
}

} // namespace effects
