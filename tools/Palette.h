#pragma once
// Colour look-up for the effects: 256 colours along a curve, read with
// wrap-around so that moving along it cycles the colours.
#include <array>
#include <utility>
#include <vector>

#include "tools/Canvas.h"

class Palette {
public:
    Palette();
    // a + b cos(2 pi (c t + d)) per channel.
    static Palette Cosine(Color A, Color B, Color C, Color D);
    // Linear between stops at ascending positions in [0, 1].
    static Palette Stops(const std::vector<std::pair<float, Color>>& Stops);
    // T wraps around [0, 1).
    Color At(float T) const;

private:
    std::array<Color, 256> Table;
};
