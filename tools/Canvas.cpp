#include "tools/Canvas.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

Canvas::Canvas(int Width, int Height) : W(Width), H(Height) {
    if (Width <= 0 || Height <= 0)
        throw std::invalid_argument("canvas size must be positive");
    Pixels.resize(static_cast<std::size_t>(W) * H);
}

void Canvas::Fill(Color C) {
    std::fill(Pixels.begin(), Pixels.end(), C);
}

void Canvas::VerticalGradient(Color Top, Color Bottom) {
    for (int Y = 0; Y < H; ++Y) {
        Color C = Mix(Top, Bottom, H > 1 ? static_cast<float>(Y) / (H - 1) : 0.0f);
        std::fill(Pixels.begin() + static_cast<std::ptrdiff_t>(Y) * W,
                  Pixels.begin() + static_cast<std::ptrdiff_t>(Y + 1) * W, C);
    }
}

void Canvas::BlendPixel(int X, int Y, Color C, float Alpha) {
    if (X < 0 || Y < 0 || X >= W || Y >= H || Alpha <= 0.0f)
        return;
    Color& P = At(X, Y);
    P = Alpha >= 1.0f ? C : Mix(P, C, Alpha);
}

void Canvas::AddPixel(int X, int Y, Color C) {
    if (X < 0 || Y < 0 || X >= W || Y >= H)
        return;
    At(X, Y) = At(X, Y) + C;
}

void Canvas::FillRect(int X0, int Y0, int X1, int Y1, Color C, float Alpha) {
    X0 = std::max(X0, 0);
    Y0 = std::max(Y0, 0);
    X1 = std::min(X1, W);
    Y1 = std::min(Y1, H);
    for (int Y = Y0; Y < Y1; ++Y)
        for (int X = X0; X < X1; ++X)
            BlendPixel(X, Y, C, Alpha);
}

void Canvas::FillCircle(float Cx, float Cy, float Radius, Color C, float Alpha) {
    int X0 = static_cast<int>(std::floor(Cx - Radius - 1)), X1 = static_cast<int>(Cx + Radius + 2);
    int Y0 = static_cast<int>(std::floor(Cy - Radius - 1)), Y1 = static_cast<int>(Cy + Radius + 2);
    for (int Y = std::max(Y0, 0); Y < std::min(Y1, H); ++Y)
        for (int X = std::max(X0, 0); X < std::min(X1, W); ++X) {
            float D = std::hypot(X + 0.5f - Cx, Y + 0.5f - Cy);
            float Cover = std::clamp(Radius + 0.5f - D, 0.0f, 1.0f);
            if (Cover > 0.0f)
                BlendPixel(X, Y, C, Cover * Alpha);
        }
}

void Canvas::Glow(float Cx, float Cy, float Radius, Color C) {
    int X0 = static_cast<int>(std::floor(Cx - Radius)), X1 = static_cast<int>(Cx + Radius + 1);
    int Y0 = static_cast<int>(std::floor(Cy - Radius)), Y1 = static_cast<int>(Cy + Radius + 1);
    for (int Y = std::max(Y0, 0); Y < std::min(Y1, H); ++Y)
        for (int X = std::max(X0, 0); X < std::min(X1, W); ++X) {
            float D = std::hypot(X + 0.5f - Cx, Y + 0.5f - Cy) / Radius;
            if (D < 1.0f)
                AddPixel(X, Y, C * ((1.0f - D) * (1.0f - D)));
        }
}

void Canvas::Line(Point A, Point B, float Width, Color C, float Alpha) {
    float Half = Width * 0.5f;
    int X0 = static_cast<int>(std::floor(std::min(A.X, B.X) - Half - 1));
    int X1 = static_cast<int>(std::max(A.X, B.X) + Half + 2);
    int Y0 = static_cast<int>(std::floor(std::min(A.Y, B.Y) - Half - 1));
    int Y1 = static_cast<int>(std::max(A.Y, B.Y) + Half + 2);
    float Dx = B.X - A.X, Dy = B.Y - A.Y;
    float Len2 = Dx * Dx + Dy * Dy;
    for (int Y = std::max(Y0, 0); Y < std::min(Y1, H); ++Y)
        for (int X = std::max(X0, 0); X < std::min(X1, W); ++X) {
            float Px = X + 0.5f - A.X, Py = Y + 0.5f - A.Y;
            float T = Len2 > 0.0f ? std::clamp((Px * Dx + Py * Dy) / Len2, 0.0f, 1.0f) : 0.0f;
            float D = std::hypot(Px - T * Dx, Py - T * Dy);
            float Cover = std::clamp(Half + 0.5f - D, 0.0f, 1.0f);
            if (Cover > 0.0f)
                BlendPixel(X, Y, C, Cover * Alpha);
        }
}

void Canvas::Polyline(const std::vector<Point>& Points, bool Closed, float Width, Color C,
                      float Alpha) {
    for (std::size_t I = 0; I + 1 < Points.size(); ++I)
        Line(Points[I], Points[I + 1], Width, C, Alpha);
    if (Closed && Points.size() > 2)
        Line(Points.back(), Points.front(), Width, C, Alpha);
}

void Canvas::FillPolygon(const std::vector<Point>& Points, Color C, float Alpha) {
    if (Points.size() < 3)
        return;
    float MinY = Points[0].Y, MaxY = Points[0].Y;
    for (const Point& P : Points) {
        MinY = std::min(MinY, P.Y);
        MaxY = std::max(MaxY, P.Y);
    }
    int Y0 = std::max(static_cast<int>(std::floor(MinY)), 0);
    int Y1 = std::min(static_cast<int>(std::ceil(MaxY)) + 1, H);
    std::vector<float> Cover(W);
    std::vector<float> Cross;
    constexpr int Sub = 4;
    for (int Y = Y0; Y < Y1; ++Y) {
        std::fill(Cover.begin(), Cover.end(), 0.0f);
        for (int S = 0; S < Sub; ++S) {
            float Sy = Y + (S + 0.5f) / Sub;
            Cross.clear();
            for (std::size_t I = 0; I < Points.size(); ++I) {
                Point A = Points[I], B = Points[(I + 1) % Points.size()];
                if ((A.Y <= Sy) != (B.Y <= Sy))
                    Cross.push_back(A.X + (Sy - A.Y) / (B.Y - A.Y) * (B.X - A.X));
            }
            std::sort(Cross.begin(), Cross.end());
            for (std::size_t I = 0; I + 1 < Cross.size(); I += 2) {
                float Xa = std::clamp(Cross[I], 0.0f, static_cast<float>(W));
                float Xb = std::clamp(Cross[I + 1], 0.0f, static_cast<float>(W));
                for (int X = static_cast<int>(Xa); X < W && X < Xb; ++X) {
                    float Overlap = std::min(Xb, X + 1.0f) - std::max(Xa, static_cast<float>(X));
                    if (Overlap > 0.0f)
                        Cover[X] += Overlap / Sub;
                }
            }
        }
        for (int X = 0; X < W; ++X)
            if (Cover[X] > 0.0f)
                BlendPixel(X, Y, C, std::min(Cover[X], 1.0f) * Alpha);
    }
}

void Canvas::Scale(float Factor) {
    for (Color& P : Pixels)
        P = P * Factor;
}

std::vector<std::uint8_t> Canvas::ToRgb8() const {
    std::vector<std::uint8_t> Out(Pixels.size() * 3);
    auto Byte = [](float V) {
        return static_cast<std::uint8_t>(std::lround(std::clamp(V, 0.0f, 1.0f) * 255.0f));
    };
    for (std::size_t I = 0; I < Pixels.size(); ++I) {
        Out[I * 3] = Byte(Pixels[I].R);
        Out[I * 3 + 1] = Byte(Pixels[I].G);
        Out[I * 3 + 2] = Byte(Pixels[I].B);
    }
    return Out;
}
