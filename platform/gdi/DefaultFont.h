#pragma once
// The device context's default font: Spleen 8x16, generated at build time from
// the installed console font (see platform/gdi/fonts/). One glyph per byte
// value, the byte read as Latin-1; bytes the font cannot show (controls,
// 0x7F..0x9F) hold its replacement glyph.
#include <cstdint>

constexpr int DefaultFontWidth = 8;
constexpr int DefaultFontHeight = 16;

// Row r of byte b's glyph; bit 7 is the leftmost pixel.
extern const std::uint8_t DefaultFontGlyphs[256][DefaultFontHeight];

// Whether the font has its own glyph for the byte (false: replacement glyph).
extern const bool DefaultFontHasGlyph[256];
