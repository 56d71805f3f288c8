#pragma once
// Table sine for the per-pixel and per-sample loops of the generator, where
// std::sin would dominate the run time. Angles are in turns (1.0 = 360 deg).
#include <array>
#include <cmath>
#include <numbers>

namespace fastmath {

constexpr int SineTableSize = 4096;

inline const std::array<float, SineTableSize + 1>& SineTable() {
    static const std::array<float, SineTableSize + 1> Table = [] {
        std::array<float, SineTableSize + 1> T{};
        for (int I = 0; I <= SineTableSize; ++I)
            T[I] = static_cast<float>(std::sin(2.0 * std::numbers::pi * I / SineTableSize));
        return T;
    }();
    return Table;
}

// sin(2 pi Turns), linearly interpolated; any finite argument.
inline float SinT(float Turns) {
    const auto& T = SineTable();
    float X = (Turns - std::floor(Turns)) * SineTableSize;
    int I = static_cast<int>(X);
    if (I >= SineTableSize)
        I = SineTableSize - 1;
    float F = X - static_cast<float>(I);
    return T[I] + (T[I + 1] - T[I]) * F;
}

inline float CosT(float Turns) {
    return SinT(Turns + 0.25f);
}

inline float Frac(float X) {
    return X - std::floor(X);
}

inline float Clamp01(float X) {
    return X < 0.0f ? 0.0f : (X > 1.0f ? 1.0f : X);
}

inline float SmoothStep(float Edge0, float Edge1, float X) {
    float T = Clamp01((X - Edge0) / (Edge1 - Edge0));
    return T * T * (3.0f - 2.0f * T);
}

} // namespace fastmath
