// The drawing-layer stand-in, checked through the pixels it writes.
#include "platform/gdi/Gdi.h"
#include "platform/gdi/DefaultFont.h"
#include "platform/gdi/SurfaceDC.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr std::uint8_t Guard = 0xA5;
constexpr std::uint16_t Sentinel16 = 0x1234;

// Surface memory with guard bytes: a pad after each row and whole rows
// before and after the picture, so a write outside the surface shows.
class TestSurface {
public:
    TestSurface(int Width, int Height, int Bits = 16)
        : FBytes(Bits / 8), FPitch(Width * FBytes + 8),
          FMemory(static_cast<std::size_t>(FPitch) * (Height + 2), Guard) {
        FBuffer.Pixels = FMemory.data() + FPitch;
        FBuffer.Width = Width;
        FBuffer.Height = Height;
        FBuffer.Pitch = FPitch;
        FBuffer.BitsPerPixel = Bits;
        Fill(Bits == 16 ? Sentinel16 : 0x00ABCDEF);
    }
    const PixelBuffer& Buffer() const { return FBuffer; }

    void Fill(std::uint32_t Pixel) {
        for (int y = 0; y < FBuffer.Height; ++y)
            for (int x = 0; x < FBuffer.Width; ++x)
                Set(x, y, Pixel);
    }
    std::uint32_t At(int x, int y) const {
        const std::uint8_t* p = FBuffer.Pixels + y * FPitch + x * FBytes;
        if (FBytes == 2) {
            std::uint16_t v;
            std::memcpy(&v, p, 2);
            return v;
        }
        std::uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    void Set(int x, int y, std::uint32_t v) {
        std::uint8_t* p = FBuffer.Pixels + y * FPitch + x * FBytes;
        if (FBytes == 2) {
            std::uint16_t s = static_cast<std::uint16_t>(v);
            std::memcpy(p, &s, 2);
        } else {
            std::memcpy(p, &v, 4);
        }
    }
    // True when no byte outside the picture was written.
    bool GuardsIntact() const {
        const int rowBytes = FBuffer.Width * FBytes;
        for (std::size_t i = 0; i < FMemory.size(); ++i) {
            long long offset = static_cast<long long>(i) - FPitch;
            bool inside = offset >= 0 && offset < static_cast<long long>(FPitch) * FBuffer.Height &&
                          offset % FPitch < rowBytes;
            if (!inside && FMemory[i] != Guard)
                return false;
        }
        return true;
    }

private:
    int FBytes;
    int FPitch;
    std::vector<std::uint8_t> FMemory;
    PixelBuffer FBuffer;
};

// Owners so every test gives back what it took, also when an assertion fails.
struct SurfaceDc {
    explicit SurfaceDc(const TestSurface& s) : Dc(CreateSurfaceDC(s.Buffer())) {}
    ~SurfaceDc() {
        if (Dc)
            ReleaseSurfaceDC(Dc);
    }
    HDC Dc;
};
struct MemoryDc {
    MemoryDc() : Dc(CreateCompatibleDC(0)) {}
    ~MemoryDc() {
        if (Dc)
            DeleteDC(Dc);
    }
    HDC Dc;
};
struct Bitmap {
    Bitmap(int w, int h, int bits, std::vector<RGBQUAD> palette = {}) {
        Handle = CreateTopDownDIB(w, h, static_cast<WORD>(bits), palette.data(),
                                  static_cast<UINT>(palette.size()), &Bits);
        BITMAP info{};
        GetObjectA(Handle, sizeof info, &info);
        Pitch = info.bmWidthBytes;
    }
    ~Bitmap() {
        if (Handle)
            DeleteObject(Handle);
    }
    void Set24(int x, int y, BYTE r, BYTE g, BYTE b) {
        std::uint8_t* p = static_cast<std::uint8_t*>(Bits) + y * Pitch + x * 3;
        p[0] = b;
        p[1] = g;
        p[2] = r;
    }
    void Set8(int x, int y, BYTE index) { static_cast<std::uint8_t*>(Bits)[y * Pitch + x] = index; }
    HBITMAP Handle = 0;
    void* Bits = nullptr;
    int Pitch = 0;
};

struct Rgb {
    BYTE R, G, B;
};

std::uint16_t Rgb565(int r, int g, int b) {
    return static_cast<std::uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

// An 8-bit bitmap whose palette entry i is the grey i, pixel value = column.
std::vector<RGBQUAD> GreyPalette() {
    std::vector<RGBQUAD> p(256);
    for (int i = 0; i < 256; ++i)
        p[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
    return p;
}

// ---------------------------------------------------------------- handles

TEST(GdiHandles, SelectObjectRefusesWhatIsNoSelectableBitmap) {
    TestSurface surface(4, 4);
    struct Case {
        const char* Name;
        std::function<HDC()> Dc;
        std::function<HGDIOBJ()> Object;
    };
    // Objects made once and shared by the cases; bitmaps first, so the
    // contexts go (and let them go) before they are deleted.
    Bitmap good(2, 2, 24), busy(2, 2, 24);
    MemoryDc target, other;
    SurfaceDc surfaceDc(surface);
    ASSERT_NE(SelectObject(other.Dc, busy.Handle), 0u);
    HBITMAP deleted = CreateTopDownDIB(2, 2, 24, nullptr, 0, nullptr);
    ASSERT_TRUE(DeleteObject(deleted));
    HDC deletedDc = CreateCompatibleDC(0);
    ASSERT_TRUE(DeleteDC(deletedDc));
    const std::uint32_t otherGeneration = good.Handle ^ 0x00010000u;

    const std::vector<Case> cases = {
        {"font value 1", [&] { return target.Dc; }, [] { return HGDIOBJ(1); }},
        {"object 0", [&] { return target.Dc; }, [] { return HGDIOBJ(0); }},
        {"a device context", [&] { return target.Dc; }, [&] { return other.Dc; }},
        {"a deleted bitmap", [&] { return target.Dc; }, [&] { return deleted; }},
        {"bitmap slot, other generation", [&] { return target.Dc; },
         [&] { return otherGeneration; }},
        {"bitmap kind, unused slot", [&] { return target.Dc; }, [] { return HGDIOBJ(0x2000FFFF); }},
        {"bitmap selected elsewhere", [&] { return target.Dc; }, [&] { return busy.Handle; }},
        {"into a surface context", [&] { return surfaceDc.Dc; }, [&] { return good.Handle; }},
        {"into context 0", [] { return HDC(0); }, [&] { return good.Handle; }},
        {"into context 1", [] { return HDC(1); }, [&] { return good.Handle; }},
        {"into a bitmap", [&] { return busy.Handle; }, [&] { return good.Handle; }},
        {"into a deleted context", [&] { return deletedDc; }, [&] { return good.Handle; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(SelectObject(c.Dc(), c.Object()), 0u);
    }

    // Nothing changed: the target still holds its first bitmap, which the
    // good bitmap's selection returns; the busy one is still in use.
    HGDIOBJ first = SelectObject(target.Dc, good.Handle);
    EXPECT_NE(first, 0u);
    EXPECT_EQ(SelectObject(target.Dc, first), good.Handle);
    EXPECT_FALSE(DeleteObject(busy.Handle));
}

TEST(GdiHandles, SelectionReturnsThePreviousBitmapAndGuardsDeletion) {
    Bitmap a(1, 1, 24), b(1, 1, 24);
    MemoryDc dc;
    HGDIOBJ stock = SelectObject(dc.Dc, a.Handle);
    ASSERT_NE(stock, 0u);
    BITMAP info{};
    ASSERT_EQ(GetObjectA(stock, sizeof info, &info), int(sizeof info));
    EXPECT_EQ(info.bmWidth, 1);
    EXPECT_EQ(info.bmHeight, 1);
    EXPECT_EQ(info.bmBitsPixel, 1);

    EXPECT_EQ(SelectObject(dc.Dc, a.Handle), a.Handle) << "selecting it again";
    EXPECT_FALSE(DeleteObject(a.Handle)) << "still selected";
    EXPECT_EQ(SelectObject(dc.Dc, b.Handle), a.Handle);
    EXPECT_TRUE(DeleteObject(a.Handle)) << "no longer selected";
    a.Handle = 0;
    EXPECT_FALSE(DeleteObject(b.Handle));
    ASSERT_TRUE(DeleteDC(dc.Dc));
    dc.Dc = 0;
    EXPECT_TRUE(DeleteObject(b.Handle)) << "its context is gone";
    b.Handle = 0;
    EXPECT_TRUE(DeleteObject(stock)) << "the built-in bitmap survives a delete";
    EXPECT_EQ(GetObjectA(stock, sizeof info, &info), int(sizeof info));
}

TEST(GdiHandles, DeleteAndReleaseAcceptOnlyTheirOwnKind) {
    TestSurface surface(2, 2);
    SurfaceDc surfaceDc(surface);
    Bitmap bitmap(1, 1, 24);
    MemoryDc memoryDc;
    struct Case {
        const char* Name;
        std::function<BOOL()> Call;
    };
    const std::vector<Case> cases = {
        {"DeleteDC on a surface context", [&] { return DeleteDC(surfaceDc.Dc); }},
        {"DeleteDC on a bitmap", [&] { return DeleteDC(bitmap.Handle); }},
        {"DeleteDC on 1", [] { return DeleteDC(1); }},
        {"DeleteObject on a context", [&] { return DeleteObject(memoryDc.Dc); }},
        {"DeleteObject on 0", [] { return DeleteObject(0); }},
        {"ReleaseSurfaceDC on a memory context", [&] { return ReleaseSurfaceDC(memoryDc.Dc); }},
        {"ReleaseSurfaceDC on a bitmap", [&] { return ReleaseSurfaceDC(bitmap.Handle); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_FALSE(c.Call());
    }
    // All three still work.
    EXPECT_NE(SetBkColor(surfaceDc.Dc, 0), CLR_INVALID);
    EXPECT_NE(SetBkColor(memoryDc.Dc, 0), CLR_INVALID);
    EXPECT_NE(SelectObject(memoryDc.Dc, bitmap.Handle), 0u);
    EXPECT_TRUE(DeleteDC(memoryDc.Dc));
    memoryDc.Dc = 0;

    // A second release or delete of the same handle is refused.
    HDC once = CreateSurfaceDC(surface.Buffer());
    ASSERT_TRUE(ReleaseSurfaceDC(once));
    EXPECT_FALSE(ReleaseSurfaceDC(once));
    HDC memory = CreateCompatibleDC(0);
    ASSERT_TRUE(DeleteDC(memory));
    EXPECT_FALSE(DeleteDC(memory));
}

TEST(GdiHandles, ADeletedHandleStaysRefusedAfterItsSlotIsReused) {
    HBITMAP old = CreateTopDownDIB(3, 3, 24, nullptr, 0, nullptr);
    ASSERT_NE(old, 0u);
    ASSERT_TRUE(DeleteObject(old));
    std::vector<HBITMAP> made;
    bool reused = false;
    for (int i = 0; i < 500 && !reused; ++i) {
        made.push_back(CreateTopDownDIB(1, 1, 24, nullptr, 0, nullptr));
        ASSERT_NE(made.back(), 0u);
        ASSERT_NE(made.back(), old);
        reused = (made.back() & 0xFFFF) == (old & 0xFFFF);
        DeleteObject(made.back());
    }
    EXPECT_TRUE(reused) << "the slot should come back after enough deletions";
    BITMAP info{};
    EXPECT_EQ(GetObjectA(old, sizeof info, &info), 0);
    EXPECT_FALSE(DeleteObject(old));
}

TEST(GdiHandles, CreateCompatibleDCAcceptsNoneOrALiveContext) {
    TestSurface surface(2, 2);
    SurfaceDc surfaceDc(surface);
    EXPECT_EQ(CreateCompatibleDC(1), 0u);
    HDC fromSurface = CreateCompatibleDC(surfaceDc.Dc);
    EXPECT_NE(fromSurface, 0u);
    EXPECT_TRUE(DeleteDC(fromSurface));
}

TEST(GdiHandles, SurfaceContextsNeedUsablePixels) {
    std::vector<std::uint8_t> memory(64);
    struct Case {
        const char* Name;
        PixelBuffer Buffer;
    };
    const std::vector<Case> cases = {
        {"no pixels", {nullptr, 2, 2, 4, 16}},
        {"width 0", {memory.data(), 0, 2, 4, 16}},
        {"negative height", {memory.data(), 2, -1, 4, 16}},
        {"24 bits", {memory.data(), 2, 2, 6, 24}},
        {"pitch shorter than a row", {memory.data(), 2, 2, 3, 16}},
        {"pitch shorter than a 32-bit row", {memory.data(), 2, 2, 4, 32}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(CreateSurfaceDC(c.Buffer), 0u);
    }
}

// ---------------------------------------------------------------- bitmaps

TEST(GdiBitmaps, CreateTopDownDIBRefusesWhatItCannotHold) {
    std::vector<RGBQUAD> palette(257);
    struct Case {
        const char* Name;
        LONG Width, Height;
        WORD Bits;
        UINT Colors;
    };
    const std::vector<Case> cases = {
        {"width 0", 0, 4, 24, 0},
        {"negative height", 4, -4, 24, 0},
        {"16 bits", 4, 4, 16, 0},
        {"32 bits", 4, 4, 32, 0},
        {"1 bit", 4, 4, 1, 2},
        {"8 bits, no palette", 4, 4, 8, 0},
        {"8 bits, 257 colours", 4, 4, 8, 257},
        {"past 2^31 bytes", 32768, 32768, 24, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        void* bits = &palette;
        EXPECT_EQ(CreateTopDownDIB(c.Width, c.Height, c.Bits, c.Colors ? palette.data() : nullptr,
                                   c.Colors, &bits),
                  0u);
        EXPECT_EQ(bits, nullptr);
    }
}

TEST(GdiBitmaps, GetObjectDescribesTheBitmap) {
    struct Case {
        LONG Width, Height;
        WORD Bits;
        LONG Pitch;
    };
    const std::vector<Case> cases = {
        {1, 1, 24, 4}, {3, 2, 8, 4}, {5, 1, 8, 8}, {641, 479, 24, 1924}, {640, 480, 24, 1920},
    };
    std::vector<RGBQUAD> palette = GreyPalette();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.Width) + "x" + std::to_string(c.Height) + "x" +
                     std::to_string(c.Bits));
        void* bits = nullptr;
        HBITMAP h = CreateTopDownDIB(c.Width, c.Height, c.Bits, palette.data(), 256, &bits);
        ASSERT_NE(h, 0u);
        BITMAP info{};
        ASSERT_EQ(GetObjectA(h, sizeof info, &info), int(sizeof info));
        EXPECT_EQ(info.bmType, 0);
        EXPECT_EQ(info.bmWidth, c.Width);
        EXPECT_EQ(info.bmHeight, c.Height);
        EXPECT_EQ(info.bmWidthBytes, c.Pitch);
        EXPECT_EQ(info.bmPlanes, 1);
        EXPECT_EQ(info.bmBitsPixel, c.Bits);
        EXPECT_EQ(info.bmBits, bits);
        const auto* p = static_cast<const std::uint8_t*>(bits);
        EXPECT_TRUE(std::all_of(p, p + std::size_t(c.Pitch) * c.Height, [](std::uint8_t v) {
            return v == 0;
        })) << "fresh bitmaps are zero-filled";
        EXPECT_TRUE(DeleteObject(h));
    }
}

TEST(GdiBitmaps, GetObjectCopiesNoMoreThanAsked) {
    Bitmap b(7, 5, 24);
    EXPECT_EQ(GetObjectA(b.Handle, 0, nullptr), int(sizeof(BITMAP)));
    unsigned char buffer[sizeof(BITMAP) + 8];
    std::memset(buffer, 0xEE, sizeof buffer);
    EXPECT_EQ(GetObjectA(b.Handle, 0, buffer), 0);
    EXPECT_EQ(buffer[0], 0xEE);

    // The 24 bytes of the 32-bit layout: every numeric field, nothing more.
    ASSERT_EQ(GetObjectA(b.Handle, 24, buffer), 24);
    BITMAP info{};
    std::memcpy(&info, buffer, 20);
    EXPECT_EQ(info.bmWidth, 7);
    EXPECT_EQ(info.bmHeight, 5);
    EXPECT_EQ(info.bmWidthBytes, 24);
    EXPECT_EQ(info.bmBitsPixel, 24);
    for (std::size_t i = 24; i < sizeof buffer; ++i)
        EXPECT_EQ(buffer[i], 0xEE) << "byte " << i;

    EXPECT_EQ(GetObjectA(b.Handle, sizeof buffer, buffer), int(sizeof(BITMAP)));
    for (std::size_t i = sizeof(BITMAP); i < sizeof buffer; ++i)
        EXPECT_EQ(buffer[i], 0xEE) << "byte " << i;
    MemoryDc dc;
    EXPECT_EQ(GetObjectA(dc.Dc, sizeof buffer, buffer), 0);
    EXPECT_EQ(GetObjectA(1, sizeof buffer, buffer), 0);
}

// ---------------------------------------------------------------- StretchBlt

// Draws a one-row 24-bit bitmap of the colours onto a surface of its size
// and reads the pixels back. Rows of four and more take the fast path.
std::vector<std::uint32_t> BlitRow(const std::vector<Rgb>& colours, int surfaceBits) {
    const int w = int(colours.size());
    TestSurface surface(w, 1, surfaceBits);
    SurfaceDc dst(surface);
    Bitmap bitmap(w, 1, 24);
    for (int x = 0; x < w; ++x)
        bitmap.Set24(x, 0, colours[x].R, colours[x].G, colours[x].B);
    MemoryDc src;
    SelectObject(src.Dc, bitmap.Handle);
    EXPECT_TRUE(StretchBlt(dst.Dc, 0, 0, w, 1, src.Dc, 0, 0, w, 1, SRCCOPY));
    DeleteDC(src.Dc);
    src.Dc = 0;
    std::vector<std::uint32_t> pixels;
    for (int x = 0; x < w; ++x)
        pixels.push_back(surface.At(x, 0));
    return pixels;
}

TEST(GdiStretchBlt, ColoursReachRgb565ByTruncation) {
    struct Case {
        Rgb Colour;
        std::uint16_t Pixel;
    };
    const std::vector<Case> cases = {
        {{0, 0, 0}, 0x0000},       {{255, 255, 255}, 0xFFFF}, {{255, 0, 0}, 0xF800},
        {{0, 255, 0}, 0x07E0},     {{0, 0, 255}, 0x001F},     {{7, 3, 7}, 0x0000},
        {{8, 4, 8}, 0x0821},       {{128, 128, 128}, 0x8410}, {{247, 251, 247}, 0xF7DE},
        {{160, 0, 0}, 0xA000},     {{1, 2, 3}, 0x0000},       {{200, 100, 50}, 0xCB26},
        {{255, 254, 253}, 0xFFFF}, {{31, 63, 31}, 0x19E3},
    };
    std::vector<Rgb> row;
    for (const Case& c : cases)
        row.push_back(c.Colour);
    const std::vector<std::uint32_t> row16 = BlitRow(row, 16), row32 = BlitRow(row, 32);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Rgb& c = cases[i].Colour;
        SCOPED_TRACE(::testing::Message() << "rgb " << int(c.R) << "," << int(c.G) << ","
                                          << int(c.B) << " at column " << i);
        const std::uint32_t xrgb = (std::uint32_t(c.R) << 16) | (std::uint32_t(c.G) << 8) | c.B;
        EXPECT_EQ(row16[i], cases[i].Pixel);
        EXPECT_EQ(row32[i], xrgb);
        EXPECT_EQ(BlitRow({c}, 16)[0], cases[i].Pixel) << "alone";
        EXPECT_EQ(BlitRow({c}, 32)[0], xrgb) << "alone";
    }
}

TEST(GdiStretchBlt, OneToOneCopiesEveryPixelInPlace) {
    const int w = 5, h = 3;
    TestSurface surface(w, h);
    SurfaceDc dst(surface);
    Bitmap bitmap(w, h, 24);
    MemoryDc src;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            bitmap.Set24(x, y, BYTE(x * 50), BYTE(y * 100), BYTE(x * 10 + y * 60));
    SelectObject(src.Dc, bitmap.Handle);
    ASSERT_TRUE(StretchBlt(dst.Dc, 0, 0, w, h, src.Dc, 0, 0, w, h, SRCCOPY));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            EXPECT_EQ(surface.At(x, y), Rgb565(x * 50, y * 100, x * 10 + y * 60))
                << "at " << x << "," << y;
    EXPECT_TRUE(surface.GuardsIntact());
}

// Which source column each destination column shows, read back through a
// grey ramp (grey g is source column g).
std::vector<int> ColumnsShown(int srcWidth, int dstWidth, int sx = 0, int sw = -1, int dstX = 0,
                              int dstW = -1, int surfaceWidth = -1) {
    if (sw < 0)
        sw = srcWidth;
    if (dstW < 0)
        dstW = dstWidth;
    if (surfaceWidth < 0)
        surfaceWidth = dstWidth;
    TestSurface surface(surfaceWidth, 1, 32);
    SurfaceDc dst(surface);
    Bitmap bitmap(srcWidth, 1, 8, GreyPalette());
    MemoryDc src;
    for (int x = 0; x < srcWidth; ++x)
        bitmap.Set8(x, 0, BYTE(x));
    SelectObject(src.Dc, bitmap.Handle);
    EXPECT_TRUE(StretchBlt(dst.Dc, dstX, 0, dstW, 1, src.Dc, sx, 0, sw, 1, SRCCOPY));
    EXPECT_TRUE(surface.GuardsIntact());
    std::vector<int> shown;
    for (int x = 0; x < surfaceWidth; ++x) {
        std::uint32_t v = surface.At(x, 0);
        shown.push_back(v == 0x00ABCDEF ? -1 : int(v & 0xFF)); // -1: left untouched
    }
    DeleteDC(src.Dc);
    src.Dc = 0;
    return shown;
}

TEST(GdiStretchBlt, NearestNeighbourPicksTheCentreSample) {
    struct Case {
        const char* Name;
        int SrcWidth, DstWidth;
        std::vector<int> Shown;
    };
    const std::vector<Case> cases = {
        {"1:1", 4, 4, {0, 1, 2, 3}},
        {"double", 2, 4, {0, 0, 1, 1}},
        {"triple", 2, 6, {0, 0, 0, 1, 1, 1}},
        {"half", 4, 2, {1, 3}},
        {"3 to 2", 3, 2, {0, 2}},
        {"2 to 3", 2, 3, {0, 1, 1}},
        {"1 to 5", 1, 5, {0, 0, 0, 0, 0}},
        {"5 to 1", 5, 1, {2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(ColumnsShown(c.SrcWidth, c.DstWidth), c.Shown);
    }
}

TEST(GdiStretchBlt, ClipsToTheSurfaceAndTheBitmap) {
    struct Case {
        const char* Name;
        int Sx, Sw, DstX, DstW, SurfaceWidth;
        std::vector<int> Shown;
    };
    const std::vector<Case> cases = {
        {"left of the surface", 0, 6, -2, 6, 4, {2, 3, 4, 5}},
        {"right of the surface", 0, 6, 1, 6, 4, {-1, 0, 1, 2}},
        {"both sides", 0, 8, -2, 8, 4, {2, 3, 4, 5}},
        {"entirely off to the right", 0, 6, 4, 6, 4, {-1, -1, -1, -1}},
        {"entirely off to the left", 0, 6, -6, 6, 4, {-1, -1, -1, -1}},
        {"source part", 2, 2, 0, 4, 4, {2, 2, 3, 3}},
        {"source past the bitmap's end", 4, 4, 0, 4, 4, {4, 5, -1, -1}},
        {"source before the bitmap", -2, 4, 0, 4, 4, {-1, -1, 0, 1}},
        {"clipped stretch keeps its scale", 0, 3, -3, 6, 4, {1, 2, 2, -1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(ColumnsShown(6, 0, c.Sx, c.Sw, c.DstX, c.DstW, c.SurfaceWidth), c.Shown);
    }
}

TEST(GdiStretchBlt, StretchesInBothDirectionsWithRows) {
    TestSurface surface(4, 6);
    SurfaceDc dst(surface);
    Bitmap bitmap(2, 3, 24);
    MemoryDc src;
    const BYTE colours[3][2][3] = {
        {{255, 0, 0}, {0, 255, 0}}, {{0, 0, 255}, {255, 255, 255}}, {{80, 160, 240}, {16, 32, 64}}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 2; ++x)
            bitmap.Set24(x, y, colours[y][x][0], colours[y][x][1], colours[y][x][2]);
    SelectObject(src.Dc, bitmap.Handle);
    ASSERT_TRUE(StretchBlt(dst.Dc, 0, 0, 4, 6, src.Dc, 0, 0, 2, 3, SRCCOPY));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 4; ++x) {
            const BYTE* c = colours[y / 2][x / 2];
            EXPECT_EQ(surface.At(x, y), Rgb565(c[0], c[1], c[2])) << "at " << x << "," << y;
        }
    // Rows clip like columns: drawn from y -4, only the last source row shows.
    surface.Fill(Sentinel16);
    ASSERT_TRUE(StretchBlt(dst.Dc, 0, -4, 4, 6, src.Dc, 0, 0, 2, 3, SRCCOPY));
    for (int y = 0; y < 6; ++y)
        EXPECT_EQ(surface.At(0, y), y < 2 ? Rgb565(80, 160, 240) : Sentinel16) << "row " << y;
    EXPECT_TRUE(surface.GuardsIntact());
}

TEST(GdiStretchBlt, PalettisedBitmapsUseTheirPalette) {
    TestSurface surface(4, 1);
    SurfaceDc dst(surface);
    const std::vector<RGBQUAD> palette = {{0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}};
    Bitmap bitmap(4, 1, 8, palette);
    MemoryDc src;
    for (int x = 0; x < 4; ++x)
        bitmap.Set8(x, 0, BYTE(x == 3 ? 200 : x)); // 200: past the palette
    SelectObject(src.Dc, bitmap.Handle);
    ASSERT_TRUE(StretchBlt(dst.Dc, 0, 0, 4, 1, src.Dc, 0, 0, 4, 1, SRCCOPY));
    EXPECT_EQ(surface.At(0, 0), 0xF800u) << "red";
    EXPECT_EQ(surface.At(1, 0), 0x07E0u) << "green";
    EXPECT_EQ(surface.At(2, 0), 0x001Fu) << "blue";
    EXPECT_EQ(surface.At(3, 0), 0x0000u) << "past the palette: black";
}

TEST(GdiStretchBlt, AFreshMemoryContextDrawsItsBlackMonochromeBitmap) {
    TestSurface surface(3, 2);
    SurfaceDc dst(surface);
    MemoryDc src;
    ASSERT_TRUE(StretchBlt(dst.Dc, 0, 0, 3, 2, src.Dc, 0, 0, 1, 1, SRCCOPY));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(surface.At(x, y), 0u);
}

TEST(GdiStretchBlt, RefusesWhatItDoesNotSupportAndDrawsNothing) {
    TestSurface surface(2, 2);
    SurfaceDc surfaceDc(surface);
    Bitmap bitmap(2, 2, 24);
    MemoryDc memoryDc;
    SelectObject(memoryDc.Dc, bitmap.Handle);
    const HDC d = surfaceDc.Dc, s = memoryDc.Dc;
    struct Case {
        const char* Name;
        HDC Dst;
        int W, H;
        HDC Src;
        int Sw, Sh;
        DWORD Rop;
    };
    const std::vector<Case> cases = {
        {"other raster operation", d, 2, 2, s, 2, 2, 0x00EE0086},
        {"width 0", d, 0, 2, s, 2, 2, SRCCOPY},
        {"mirrored width", d, -2, 2, s, 2, 2, SRCCOPY},
        {"source height 0", d, 2, 2, s, 2, 0, SRCCOPY},
        {"mirrored source", d, 2, 2, s, -2, 2, SRCCOPY},
        {"onto a memory context", s, 2, 2, s, 2, 2, SRCCOPY},
        {"from a surface context", d, 2, 2, d, 2, 2, SRCCOPY},
        {"from handle 1", d, 2, 2, 1, 2, 2, SRCCOPY},
        {"onto handle 0", 0, 2, 2, s, 2, 2, SRCCOPY},
        {"from a bitmap handle", d, 2, 2, bitmap.Handle, 2, 2, SRCCOPY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_FALSE(StretchBlt(c.Dst, 0, 0, c.W, c.H, c.Src, 0, 0, c.Sw, c.Sh, c.Rop));
        EXPECT_EQ(surface.At(0, 0), Sentinel16);
        EXPECT_EQ(surface.At(1, 1), Sentinel16);
    }
}

// ---------------------------------------------------------------- TextOutA

// Expected pixel of a text drawn at (x0, y0) at surface position (x, y), or
// nullopt when (x, y) is outside the text's box.
std::optional<std::uint32_t> TextPixel(const std::string& text, int x0, int y0, int x, int y,
                                       std::uint32_t bk, std::uint32_t fg) {
    if (x < x0 || y < y0 || y >= y0 + DefaultFontHeight ||
        x >= x0 + int(text.size()) * DefaultFontWidth)
        return std::nullopt;
    const auto ch = static_cast<unsigned char>(text[(x - x0) / DefaultFontWidth]);
    const int bit = 7 - (x - x0) % DefaultFontWidth;
    return (DefaultFontGlyphs[ch][y - y0] >> bit) & 1 ? fg : bk;
}

TEST(GdiTextOut, DrawsABoxAndGlyphsInTheGivenColoursClippedToTheSurface) {
    struct Case {
        const char* Name;
        int SurfaceWidth, SurfaceHeight, Bits;
        std::string Text;
        int X, Y;
    };
    const std::vector<Case> cases = {
        {"inside", 40, 24, 16, "Ab", 3, 2},
        {"progress line", 640, 480, 16, "Progress: [decrunching GFX: 42%]", 10, 455},
        {"cut at the bottom", 640, 480, 16, "Progress", 10, 470},
        {"cut at the right", 30, 20, 16, "Wxyz", 10, 0},
        {"cut at the top left", 30, 20, 16, "Hello", -5, -3},
        {"entirely outside", 30, 20, 16, "Off", 100, 100},
        {"entirely above", 30, 20, 16, "Off", 0, -16},
        {"32-bit surface", 40, 20, 32, "Q!", 1, 1},
    };
    const COLORREF bk = RGB(255, 255, 255), fg = RGB(160, 0, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TestSurface surface(c.SurfaceWidth, c.SurfaceHeight, c.Bits);
        const std::uint32_t untouched = surface.At(0, 0);
        SurfaceDc dc(surface);
        SetBkColor(dc.Dc, bk);
        SetTextColor(dc.Dc, fg);
        ASSERT_TRUE(TextOutA(dc.Dc, c.X, c.Y, c.Text.data(), int(c.Text.size())));
        const std::uint32_t bkPixel = c.Bits == 16 ? 0xFFFF : 0xFFFFFF;
        const std::uint32_t fgPixel = c.Bits == 16 ? 0xA000 : 0xA00000;
        int ink = 0, mismatches = 0;
        for (int y = 0; y < c.SurfaceHeight; ++y)
            for (int x = 0; x < c.SurfaceWidth; ++x) {
                auto want = TextPixel(c.Text, c.X, c.Y, x, y, bkPixel, fgPixel);
                std::uint32_t got = surface.At(x, y);
                ink += got == fgPixel;
                if (got != want.value_or(untouched) && ++mismatches <= 3)
                    ADD_FAILURE() << "at " << x << "," << y << ": " << std::hex << got;
            }
        EXPECT_EQ(mismatches, 0);
        const bool visible = c.X < c.SurfaceWidth && c.Y < c.SurfaceHeight &&
                             c.X + int(c.Text.size()) * 8 > 0 && c.Y + 16 > 0;
        EXPECT_EQ(ink > 0, visible) << "glyphs must show where the box shows";
        EXPECT_TRUE(surface.GuardsIntact());
    }
}

TEST(GdiTextOut, ADefaultContextWritesBlackOnWhite) {
    TestSurface surface(16, 16);
    SurfaceDc dc(surface);
    ASSERT_TRUE(TextOutA(dc.Dc, 0, 0, "M", 1));
    int white = 0, black = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 8; ++x) {
            white += surface.At(x, y) == 0xFFFF;
            black += surface.At(x, y) == 0x0000;
        }
    EXPECT_GT(black, 0);
    EXPECT_EQ(white + black, 8 * 16);
    EXPECT_EQ(surface.At(8, 0), Sentinel16) << "one cell only";
}

TEST(GdiTextOut, ColourSettersReturnThePreviousColour) {
    TestSurface surface(2, 2);
    SurfaceDc dc(surface);
    EXPECT_EQ(SetBkColor(dc.Dc, RGB(1, 2, 3)), RGB(255, 255, 255));
    EXPECT_EQ(SetBkColor(dc.Dc, RGB(4, 5, 6)), RGB(1, 2, 3));
    EXPECT_EQ(SetTextColor(dc.Dc, RGB(7, 8, 9)), RGB(0, 0, 0));
    EXPECT_EQ(SetTextColor(dc.Dc, RGB(0, 0, 0)), RGB(7, 8, 9));
    EXPECT_EQ(SetBkColor(1, 0), CLR_INVALID);
    EXPECT_EQ(SetTextColor(0, 0), CLR_INVALID);
}

// The 8x16 pixels one character draws, as 1 (ink) and 0.
std::vector<int> CellOf(unsigned char ch) {
    TestSurface surface(8, 16);
    SurfaceDc dc(surface);
    const char text[1] = {static_cast<char>(ch)};
    EXPECT_TRUE(TextOutA(dc.Dc, 0, 0, text, 1));
    std::vector<int> cell;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 8; ++x)
            cell.push_back(surface.At(x, y) == 0x0000);
    return cell;
}

TEST(GdiTextOut, BytesAreLatin1WithAReplacementGlyph) {
    const std::vector<int> blank(8 * 16, 0);
    EXPECT_EQ(CellOf(' '), blank);
    const std::vector<int> replacement = CellOf(0x80);
    EXPECT_NE(replacement, blank);
    struct Case {
        unsigned char Byte;
        bool Replaced;
    };
    const std::vector<Case> cases = {
        {0x00, true}, {0x0A, true},  {0x1A, true},  {0x7F, true},  {0x9F, true},  {'A', false},
        {'?', false}, {0xE9, false}, {0xFC, false}, {0xDF, false}, {0xA9, false}, {0xFF, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "byte 0x" << std::hex << int(c.Byte));
        EXPECT_EQ(DefaultFontHasGlyph[c.Byte], !c.Replaced);
        const std::vector<int> cell = CellOf(c.Byte);
        EXPECT_NE(cell, blank);
        EXPECT_EQ(cell == replacement, c.Replaced);
    }
    // Accented letters are glyphs of their own, not their base letter.
    EXPECT_NE(CellOf(0xE9), CellOf('e'));
    EXPECT_NE(CellOf(0xFC), CellOf('u'));
    EXPECT_NE(CellOf('A'), CellOf('B'));
}

TEST(GdiTextOut, RefusalsAndEmptyText) {
    TestSurface surface(16, 16);
    SurfaceDc surfaceDc(surface);
    MemoryDc memoryDc;
    struct Case {
        const char* Name;
        HDC Dc;
        const char* Text;
        int Length;
        BOOL Result;
    };
    const std::vector<Case> cases = {
        {"memory context", memoryDc.Dc, "x", 1, FALSE},
        {"handle 1", 1, "x", 1, FALSE},
        {"negative length", surfaceDc.Dc, "x", -1, FALSE},
        {"no text", surfaceDc.Dc, nullptr, 1, FALSE},
        {"length 0", surfaceDc.Dc, "x", 0, TRUE},
        {"no text, length 0", surfaceDc.Dc, nullptr, 0, TRUE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(TextOutA(c.Dc, 0, 0, c.Text, c.Length), c.Result);
        EXPECT_EQ(surface.At(0, 0), Sentinel16) << "nothing drawn";
    }
    // Length counts: of "abc" only "a" is drawn.
    ASSERT_TRUE(TextOutA(surfaceDc.Dc, 0, 0, "abc", 1));
    EXPECT_EQ(surface.At(8, 0), Sentinel16);
    EXPECT_NE(surface.At(0, 0), Sentinel16);
}

} // namespace
