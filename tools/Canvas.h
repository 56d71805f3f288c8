#pragma once
// A floating-point RGB picture to draw the demo's frames on. Colour channels
// are nominally 0..1; light may add beyond 1 and is clamped only when the
// picture is turned into 8-bit pixels. Drawing outside the picture is clipped.
// One canvas per thread; nothing here is shared.
#include <cstdint>
#include <vector>

struct Color {
    float R = 0, G = 0, B = 0;
};

inline Color operator+(Color A, Color B) {
    return {A.R + B.R, A.G + B.G, A.B + B.B};
}
inline Color operator*(Color A, float K) {
    return {A.R * K, A.G * K, A.B * K};
}
inline Color Mix(Color A, Color B, float T) {
    return A * (1.0f - T) + B * T;
}
inline Color Rgb(int R, int G, int B) {
    return {R / 255.0f, G / 255.0f, B / 255.0f};
}

struct Point {
    float X = 0, Y = 0;
};

class Canvas {
public:
    Canvas(int Width, int Height);

    int Width() const { return W; }
    int Height() const { return H; }
    // No bounds test: callers loop over the picture.
    Color& At(int X, int Y) { return Pixels[static_cast<std::size_t>(Y) * W + X]; }
    const Color& At(int X, int Y) const { return Pixels[static_cast<std::size_t>(Y) * W + X]; }

    void Fill(Color C);
    void VerticalGradient(Color Top, Color Bottom);
    void BlendPixel(int X, int Y, Color C, float Alpha);
    void AddPixel(int X, int Y, Color C);
    // Covers [X0, X1) x [Y0, Y1).
    void FillRect(int X0, int Y0, int X1, int Y1, Color C, float Alpha = 1.0f);
    // Anti-aliased edge.
    void FillCircle(float Cx, float Cy, float Radius, Color C, float Alpha = 1.0f);
    // Additive light that fades to nothing at Radius.
    void Glow(float Cx, float Cy, float Radius, Color C);
    // Anti-aliased line with round ends.
    void Line(Point A, Point B, float Width, Color C, float Alpha = 1.0f);
    void Polyline(const std::vector<Point>& Points, bool Closed, float Width, Color C,
                  float Alpha = 1.0f);
    // Even-odd fill with four sub-scanlines per row for soft edges.
    void FillPolygon(const std::vector<Point>& Points, Color C, float Alpha = 1.0f);
    void Scale(float Factor);

    // Row-major 8-bit RGB, three bytes a pixel.
    std::vector<std::uint8_t> ToRgb8() const;

private:
    int W, H;
    std::vector<Color> Pixels;
};
