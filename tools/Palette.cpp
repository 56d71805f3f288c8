#include "tools/Palette.h"

#include "tools/FastMath.h"

using namespace fastmath;

Palette::Palette() {
    for (int I = 0; I < 256; ++I)
        Table[I] = {I / 255.0f, I / 255.0f, I / 255.0f};
}

Palette Palette::Cosine(Color A, Color B, Color C, Color D) {
    Palette P;
    for (int I = 0; I < 256; ++I) {
        float T = I / 256.0f;
        P.Table[I] = {Clamp01(A.R + B.R * CosT(C.R * T + D.R)),
                      Clamp01(A.G + B.G * CosT(C.G * T + D.G)),
                      Clamp01(A.B + B.B * CosT(C.B * T + D.B))};
    }
    return P;
}

Palette Palette::Stops(const std::vector<std::pair<float, Color>>& Stops) {
    Palette P;
    for (int I = 0; I < 256; ++I) {
        float T = I / 255.0f;
        std::size_t K = 1;
        while (K + 1 < Stops.size() && Stops[K].first < T)
            ++K;
        const auto& [T0, C0] = Stops[K - 1];
        const auto& [T1, C1] = Stops[K];
        P.Table[I] = Mix(C0, C1, T1 > T0 ? Clamp01((T - T0) / (T1 - T0)) : 0.0f);
    }
    return P;
}

Color Palette::At(float T) const {
    float X = Frac(T) * 255.0f;
    int I = static_cast<int>(X);
    if (I >= 255)
        return Table[255];
    return Mix(Table[I], Table[I + 1], X - static_cast<float>(I));
}
