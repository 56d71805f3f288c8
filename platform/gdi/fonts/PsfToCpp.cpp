// Build-time converter: reads an uncompressed PC Screen Font (version 1 or 2,
// with its Unicode table) and writes a C++ source holding one 8x16 glyph for
// each byte value 0..255, the byte read as Latin-1. Bytes whose character the
// font lacks get the font's replacement glyph (U+FFFD, else '?').
//
// Usage: PsfToCpp <font.psf> <out.cpp>
// Exit code 0 on success; 1 with a message on standard error otherwise, so a
// wrong or damaged font stops the build instead of producing blank text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr unsigned GlyphWidth = 8;
constexpr unsigned GlyphHeight = 16;

struct Font {
    unsigned GlyphCount = 0;
    unsigned BytesPerGlyph = 0;
    unsigned Width = 0;
    unsigned Height = 0;
    std::size_t GlyphOffset = 0;
    std::map<std::uint32_t, unsigned> GlyphOf; // code point -> first glyph drawing it
};

[[noreturn]] void Fail(const std::string& Text) {
    std::fprintf(stderr, "PsfToCpp: %s\n", Text.c_str());
    std::exit(1);
}

std::uint32_t Le16(const std::vector<std::uint8_t>& d, std::size_t i) {
    return d[i] | (d[i + 1] << 8);
}
std::uint32_t Le32(const std::vector<std::uint8_t>& d, std::size_t i) {
    return d[i] | (d[i + 1] << 8) | (d[i + 2] << 16) | (static_cast<std::uint32_t>(d[i + 3]) << 24);
}

// Version 1: 16-bit little-endian code points, 0xFFFE starts a sequence,
// 0xFFFF ends a glyph's entry.
void ReadTable1(const std::vector<std::uint8_t>& d, std::size_t i, Font& f) {
    unsigned glyph = 0;
    bool inSequence = false;
    while (i + 1 < d.size() && glyph < f.GlyphCount) {
        std::uint32_t v = Le16(d, i);
        i += 2;
        if (v == 0xFFFF) {
            ++glyph;
            inSequence = false;
        } else if (v == 0xFFFE) {
            inSequence = true; // combining sequences draw no single character
        } else if (!inSequence) {
            f.GlyphOf.emplace(v, glyph);
        }
    }
}

// Version 2: UTF-8 code points, 0xFE starts a sequence, 0xFF ends an entry.
void ReadTable2(const std::vector<std::uint8_t>& d, std::size_t i, Font& f) {
    unsigned glyph = 0;
    bool inSequence = false;
    while (i < d.size() && glyph < f.GlyphCount) {
        std::uint8_t b = d[i];
        if (b == 0xFF) {
            ++glyph;
            inSequence = false;
            ++i;
            continue;
        }
        if (b == 0xFE) {
            inSequence = true;
            ++i;
            continue;
        }
        int extra = b < 0x80 ? 0 : b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
        if (extra < 0 || i + extra >= d.size())
            Fail("damaged Unicode table");
        std::uint32_t v = extra == 0 ? b : (b & (0x3F >> extra));
        for (int k = 1; k <= extra; ++k)
            v = (v << 6) | (d[i + k] & 0x3F);
        i += extra + 1;
        if (!inSequence)
            f.GlyphOf.emplace(v, glyph);
    }
}

Font Parse(const std::vector<std::uint8_t>& d) {
    Font f;
    if (d.size() >= 4 && d[0] == 0x36 && d[1] == 0x04) {
        unsigned mode = d[2];
        f.GlyphCount = (mode & 0x01) ? 512 : 256;
        f.BytesPerGlyph = d[3];
        f.Width = 8;
        f.Height = d[3];
        f.GlyphOffset = 4;
        if (!(mode & 0x02) && !(mode & 0x04))
            Fail("the font has no Unicode table");
        if (d.size() < f.GlyphOffset + std::size_t(f.GlyphCount) * f.BytesPerGlyph)
            Fail("font data is shorter than its header says");
        ReadTable1(d, f.GlyphOffset + std::size_t(f.GlyphCount) * f.BytesPerGlyph, f);
    } else if (d.size() >= 32 && Le32(d, 0) == 0x864AB572u) {
        std::uint32_t headerSize = Le32(d, 8);
        std::uint32_t flags = Le32(d, 12);
        f.GlyphCount = Le32(d, 16);
        f.BytesPerGlyph = Le32(d, 20);
        f.Height = Le32(d, 24);
        f.Width = Le32(d, 28);
        f.GlyphOffset = headerSize;
        if (!(flags & 0x01))
            Fail("the font has no Unicode table");
        if (f.GlyphCount > 65536 || f.BytesPerGlyph > 4096 ||
            d.size() < f.GlyphOffset + std::size_t(f.GlyphCount) * f.BytesPerGlyph)
            Fail("font data is shorter than its header says");
        ReadTable2(d, f.GlyphOffset + std::size_t(f.GlyphCount) * f.BytesPerGlyph, f);
    } else {
        Fail("not a PC Screen Font");
    }
    if (f.Width != GlyphWidth || f.Height != GlyphHeight || f.BytesPerGlyph != GlyphHeight)
        Fail("expected an 8x16 font");
    return f;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3)
        Fail("usage: PsfToCpp <font.psf> <out.cpp>");
    std::ifstream in(argv[1], std::ios::binary);
    if (!in)
        Fail(std::string("cannot open ") + argv[1]);
    std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
    Font font = Parse(data);

    unsigned fallback;
    if (auto it = font.GlyphOf.find(0xFFFD); it != font.GlyphOf.end())
        fallback = it->second;
    else if (auto q = font.GlyphOf.find('?'); q != font.GlyphOf.end())
        fallback = q->second;
    else
        Fail("the font has neither U+FFFD nor '?'");

    std::string out;
    out += "// Generated by PsfToCpp from the Spleen 8x16 console font; do not edit.\n"
           "// Spleen is (c) Frederic Cambus, BSD-2-Clause: see platform/gdi/fonts/.\n"
           "#include \"platform/gdi/DefaultFont.h\"\n\n"
           "const std::uint8_t DefaultFontGlyphs[256][DefaultFontHeight] = {\n";
    for (unsigned byte = 0; byte < 256; ++byte) {
        auto it = font.GlyphOf.find(byte); // Latin-1: the byte is the code point
        unsigned glyph = it != font.GlyphOf.end() ? it->second : fallback;
        const std::uint8_t* rows =
            &data[font.GlyphOffset + std::size_t(glyph) * font.BytesPerGlyph];
        char line[160];
        int n = std::snprintf(line, sizeof line, "    {");
        for (unsigned r = 0; r < GlyphHeight; ++r)
            n += std::snprintf(line + n, sizeof line - n, "0x%02X%s", rows[r],
                               r + 1 < GlyphHeight ? "," : "");
        std::snprintf(line + n, sizeof line - n, "}, // 0x%02X%s\n", byte,
                      it != font.GlyphOf.end() ? "" : " (fallback)");
        out += line;
    }
    out += "};\n\n";
    out += "const bool DefaultFontHasGlyph[256] = {\n";
    for (unsigned byte = 0; byte < 256; ++byte) {
        out += font.GlyphOf.count(byte) ? "1," : "0,";
        if (byte % 32 == 31)
            out += "\n";
    }
    out += "};\n";
    for (unsigned c = 0x20; c < 0x7F; ++c)
        if (!font.GlyphOf.count(c))
            Fail("the font lacks printable ASCII characters");

    std::ofstream o(argv[2], std::ios::binary | std::ios::trunc);
    o << out;
    if (!o)
        Fail(std::string("cannot write ") + argv[2]);
    return 0;
}
