#pragma once
// A small 5x7 block font of our own for the demo's captions, so the
// generator needs no font files. Upper-case letters, digits and a few signs;
// drawing any other character throws std::invalid_argument, so a caption
// cannot lose a letter unnoticed.
#include <string_view>

#include "tools/Canvas.h"

constexpr int GlyphWidth = 5;
constexpr int GlyphHeight = 7;

// True when the font has a glyph for Ch.
bool HasGlyph(char Ch);

// Width in pixels of Text drawn at Scale (one empty column between characters).
int TextWidth(std::string_view Text, int Scale);

// Draws one character with its top-left corner at (X, Y); each font cell is
// a Scale x Scale block.
void DrawChar(Canvas& Target, char Ch, float X, float Y, int Scale, Color C);

// Draws Text left to right from (X, Y).
void DrawText(Canvas& Target, std::string_view Text, float X, float Y, int Scale, Color C);
