// TSurface against recording fakes, drawing with the real drawing layer onto
// the fake's own 16-bit pixels.
#include "display/DDUtil.h"
#include "platform/gdi/Gdi.h"
#include "tests/display/Fakes.h"

#include <gtest/gtest.h>

#include <ostream>

#include <functional>

namespace {

constexpr std::uint16_t Untouched = 0x1234;

std::uint16_t Rgb565(BYTE R, BYTE G, BYTE B) {
    return static_cast<std::uint16_t>(((R >> 3) << 11) | ((G >> 2) << 5) | (B >> 3));
}

// A 24-bit bitmap whose pixel (x, y) has a colour of its own.
struct TestBitmap {
    TestBitmap(int W, int H) : Width(W), Height(H) {
        void* Bits = nullptr;
        Handle = CreateTopDownDIB(W, H, 24, nullptr, 0, &Bits);
        BITMAP Header{};
        GetObjectA(Handle, sizeof(Header), &Header);
        for (int Y = 0; Y < H; ++Y)
            for (int X = 0; X < W; ++X) {
                BYTE* Pixel = static_cast<BYTE*>(Bits) + Y * Header.bmWidthBytes + X * 3;
                Pixel[0] = Blue(X, Y);
                Pixel[1] = Green(X, Y);
                Pixel[2] = Red(X, Y);
            }
    }
    ~TestBitmap() {
        if (Handle != 0)
            DeleteObject(Handle);
    }
    static BYTE Red(int X, int) { return static_cast<BYTE>(40 * X + 7); }
    static BYTE Green(int X, int Y) { return static_cast<BYTE>(100 * Y + 3 * X + 1); }
    static BYTE Blue(int X, int Y) { return static_cast<BYTE>(255 - 30 * X - 60 * Y); }
    std::uint16_t Expected(int X, int Y) const {
        return Rgb565(Red(X, Y), Green(X, Y), Blue(X, Y));
    }

    int Width;
    int Height;
    HBITMAP Handle = 0;
};

// A TSurface holding the fake surface "Frame".
struct Held {
    explicit Held(CallLog& Log) : DD(Log, "DD"), Frame(Log, "Frame") {
        DD.Made = &Frame;
        DDSURFACEDESC2 Desc{};
        Desc.dwSize = sizeof(Desc);
        EXPECT_EQ(Surface->CreateSurface(&DD, &Desc), S_OK);
        Log.clear();
    }
    FakeDirectDraw DD;
    FakeSurface Frame;
    std::unique_ptr<TSurface> Surface = std::make_unique<TSurface>();
};

TEST(SurfaceCreate, PassesTheDescriptionOnAndHoldsOneReference) {
    CallLog Log;
    FakeDirectDraw DD(Log, "DD");
    FakeSurface Frame(Log, "Frame");
    DD.Made = &Frame;
    DDSURFACEDESC2 Desc{};
    Desc.dwSize = sizeof(Desc);
    Desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    Desc.dwWidth = 320;
    Desc.dwHeight = 200;
    Desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    {
        TSurface Surface;
        EXPECT_FALSE(Surface.DDSurface());
        EXPECT_EQ(Surface.CreateSurface(&DD, &Desc), S_OK);
        EXPECT_EQ(DD.LastDesc, &Desc); // the caller's own description, unchanged
        EXPECT_EQ(Log, (CallLog{"DD.CreateSurface(size=124,flags=0x7,caps=0x40,caps234=0x0,"
                                "backbuffers=0,w=320,h=200,outer=null)"}))
            << Joined(Log);
        EXPECT_EQ(Frame.Refs, 1u);
        {
            ComPtr<IDirectDrawSurface7> Taken = Surface.DDSurface();
            EXPECT_EQ(Taken.Get(), &Frame);
            EXPECT_EQ(Frame.Refs, 2u); // the caller's own reference
        }
        EXPECT_EQ(Frame.Refs, 1u);
    }
    EXPECT_EQ(Frame.Refs, 0u); // the destructor gave it back
}

TEST(SurfaceCreate, AFailureAnswersTheCodeAndLeavesTheObjectEmpty) {
    CallLog Log;
    Held Holding(Log);
    FakeSurface Other(Log, "Other");
    Holding.DD.Made = &Other;
    Holding.DD.SurfaceResult = DDERR_OUTOFMEMORY;
    DDSURFACEDESC2 Desc{};
    Desc.dwSize = sizeof(Desc);

    EXPECT_EQ(Holding.Surface->CreateSurface(&Holding.DD, &Desc), DDERR_OUTOFMEMORY);
    EXPECT_EQ(Log, (CallLog{"Frame.Release", "DD.CreateSurface(size=124,flags=0x0,caps=0x0,"
                                             "caps234=0x0,backbuffers=0,w=0,h=0,outer=null)"}))
        << Joined(Log);
    EXPECT_EQ(Holding.Frame.Refs, 0u);
    EXPECT_FALSE(Holding.Surface->DDSurface());
    // Empty for good: painting is refused.
    TestBitmap Bitmap(2, 2);
    EXPECT_EQ(Holding.Surface->PaintBitmap(Bitmap.Handle, 0, 0, 0, 0), E_INVALIDARG);
    EXPECT_EQ(Holding.Surface->PaintText(0, "x", 0, 0, 0, 0), E_INVALIDARG);
}

TEST(SurfaceCreate, WithoutADirectDrawObjectIsRefused) {
    TSurface Surface;
    DDSURFACEDESC2 Desc{};
    Desc.dwSize = sizeof(Desc);
    EXPECT_EQ(Surface.CreateSurface(nullptr, &Desc), E_INVALIDARG);
    EXPECT_FALSE(Surface.DDSurface());
}

struct PaintBitmapPath {
    const char* Name;
    bool HasSurface;
    bool HasBitmap;
    HRESULT Restore;
    DWORD PixelFlags;
    HRESULT GetDC;
    HRESULT ReleaseDC;
    HRESULT Expected;
    CallLog Calls;
};
void PrintTo(const PaintBitmapPath& Case, std::ostream* Out) {
    *Out << Case.Name;
}

class SurfacePaintBitmap : public ::testing::TestWithParam<PaintBitmapPath> {};

TEST_P(SurfacePaintBitmap, FollowsItsStepsAndDeletesTheMemoryContext) {
    const PaintBitmapPath& Case = GetParam();
    CallLog Log;
    Held Holding(Log);
    if (!Case.HasSurface)
        Holding.Surface = std::make_unique<TSurface>();
    Log.clear();
    Holding.Frame.UsePixels(4, 2, Untouched);
    Holding.Frame.Desc.ddpfPixelFormat.dwFlags = Case.PixelFlags;
    Holding.Frame.RestoreResult = Case.Restore;
    Holding.Frame.GetDCResult = Case.GetDC;
    Holding.Frame.ReleaseDCResult = Case.ReleaseDC;
    TestBitmap Bitmap(4, 2);

    EXPECT_EQ(Holding.Surface->PaintBitmap(Case.HasBitmap ? Bitmap.Handle : 0, 0, 0, 0, 0),
              Case.Expected);
    EXPECT_EQ(Log, Case.Calls) << Joined(Log);
    // A bitmap cannot be deleted while a device context holds it: so this
    // fails if the memory context was left behind.
    EXPECT_TRUE(DeleteObject(Bitmap.Handle));
    Bitmap.Handle = 0;
}

const std::string Desc6 = "Frame.GetSurfaceDesc(size=124,flags=0x6)";

INSTANTIATE_TEST_SUITE_P(
    Paths, SurfacePaintBitmap,
    ::testing::Values(
        PaintBitmapPath{"NoBitmap", true, false, S_OK, DDPF_RGB, S_OK, S_OK, E_INVALIDARG, {}},
        PaintBitmapPath{"NoSurface", false, true, S_OK, DDPF_RGB, S_OK, S_OK, E_INVALIDARG, {}},
        PaintBitmapPath{"RestoreFails",
                        true,
                        true,
                        DDERR_SURFACELOST,
                        DDPF_RGB,
                        S_OK,
                        S_OK,
                        DDERR_SURFACELOST,
                        {"Frame.Restore"}},
        // Before any device context is made.
        PaintBitmapPath{"FourCC",
                        true,
                        true,
                        S_OK,
                        DDPF_FOURCC,
                        S_OK,
                        S_OK,
                        E_NOTIMPL,
                        {"Frame.Restore", Desc6}},
        // Only flags of exactly DDPF_FOURCC are refused.
        PaintBitmapPath{"FourCCAmongOtherFlags",
                        true,
                        true,
                        S_OK,
                        DDPF_FOURCC | DDPF_RGB,
                        S_OK,
                        S_OK,
                        S_OK,
                        {"Frame.Restore", Desc6, "Frame.GetDC", "Frame.ReleaseDC"}},
        PaintBitmapPath{"GetDCFails",
                        true,
                        true,
                        S_OK,
                        DDPF_RGB,
                        DDERR_SURFACEBUSY,
                        S_OK,
                        DDERR_SURFACEBUSY,
                        {"Frame.Restore", Desc6, "Frame.GetDC"}},
        PaintBitmapPath{"ReleaseDCFails",
                        true,
                        true,
                        S_OK,
                        DDPF_RGB,
                        S_OK,
                        DDERR_NODC,
                        DDERR_NODC,
                        {"Frame.Restore", Desc6, "Frame.GetDC", "Frame.ReleaseDC"}},
        PaintBitmapPath{"Ok",
                        true,
                        true,
                        S_OK,
                        DDPF_RGB,
                        S_OK,
                        S_OK,
                        S_OK,
                        {"Frame.Restore", Desc6, "Frame.GetDC", "Frame.ReleaseDC"}}),
    [](const auto& Info) { return std::string(Info.param.Name); });

struct SizeRule {
    const char* Name;
    int SurfaceWidth;
    int SurfaceHeight;
    int X, Y, Width, Height; // PaintBitmap's arguments
    // Which bitmap pixel lands on surface pixel (x, y).
    std::function<std::pair<int, int>(int, int)> From;
};
void PrintTo(const SizeRule& Case, std::ostream* Out) {
    *Out << Case.Name;
}

class SurfacePaintBitmapSizes : public ::testing::TestWithParam<SizeRule> {};

// The chosen part of a 4x2 bitmap always covers the whole surface.
TEST_P(SurfacePaintBitmapSizes, StretchesTheChosenPartOverTheSurface) {
    const SizeRule& Case = GetParam();
    CallLog Log;
    Held Holding(Log);
    Holding.Frame.UsePixels(Case.SurfaceWidth, Case.SurfaceHeight, Untouched);
    TestBitmap Bitmap(4, 2);

    ASSERT_EQ(Holding.Surface->PaintBitmap(Bitmap.Handle, Case.X, Case.Y, Case.Width, Case.Height),
              S_OK);
    for (int Y = 0; Y < Case.SurfaceHeight; ++Y)
        for (int X = 0; X < Case.SurfaceWidth; ++X) {
            auto [Sx, Sy] = Case.From(X, Y);
            EXPECT_EQ(Holding.Frame.At(X, Y), Bitmap.Expected(Sx, Sy))
                << "surface pixel " << X << "," << Y << " from bitmap " << Sx << "," << Sy;
        }
}

INSTANTIATE_TEST_SUITE_P(Rules, SurfacePaintBitmapSizes,
                         ::testing::Values(
                             // 0 for width and height: the bitmap's own size, a 1:1 copy.
                             SizeRule{"OwnSize", 4, 2, 0, 0, 0, 0,
                                      [](int X, int Y) {
                                          return std::pair{X, Y};
                                      }},
                             SizeRule{"Stretched", 8, 4, 0, 0, 0, 0,
                                      [](int X, int Y) {
                                          return std::pair{X / 2, Y / 2};
                                      }},
                             SizeRule{"Shrunk", 2, 1, 0, 0, 0, 0,
                                      [](int X, int) {
                                          return std::pair{2 * X + 1, 1};
                                      }},
                             // A width alone: the bitmap's height.
                             SizeRule{"WidthOnly", 4, 2, 0, 0, 2, 0,
                                      [](int X, int Y) {
                                          return std::pair{X / 2, Y};
                                      }},
                             SizeRule{"HeightOnly", 4, 4, 0, 0, 0, 1,
                                      [](int X, int) {
                                          return std::pair{X, 0};
                                      }},
                             SizeRule{"Part", 4, 2, 2, 1, 2, 1,
                                      [](int X, int) {
                                          return std::pair{2 + X / 2, 1};
                                      }}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

struct PaintTextPath {
    const char* Name;
    bool HasSurface;
    std::string Text;
    HRESULT Restore;
    HRESULT GetDC;
    HRESULT ReleaseDC;
    HRESULT Expected;
    CallLog Calls;
};
void PrintTo(const PaintTextPath& Case, std::ostream* Out) {
    *Out << Case.Name;
}

class SurfacePaintText : public ::testing::TestWithParam<PaintTextPath> {};

TEST_P(SurfacePaintText, FollowsItsSteps) {
    const PaintTextPath& Case = GetParam();
    CallLog Log;
    Held Holding(Log);
    if (!Case.HasSurface)
        Holding.Surface = std::make_unique<TSurface>();
    Log.clear();
    Holding.Frame.UsePixels(64, 32, Untouched);
    Holding.Frame.RestoreResult = Case.Restore;
    Holding.Frame.GetDCResult = Case.GetDC;
    Holding.Frame.ReleaseDCResult = Case.ReleaseDC;

    EXPECT_EQ(Holding.Surface->PaintText(1, Case.Text, 0, 0, RGB(255, 255, 255), RGB(160, 0, 0)),
              Case.Expected);
    EXPECT_EQ(Log, Case.Calls) << Joined(Log);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SurfacePaintText,
    ::testing::Values(PaintTextPath{"NoSurface", false, "x", S_OK, S_OK, S_OK, E_INVALIDARG, {}},
                      // Neither restored nor drawn on.
                      PaintTextPath{"EmptyText", true, "", S_OK, S_OK, S_OK, E_INVALIDARG, {}},
                      PaintTextPath{"RestoreFails",
                                    true,
                                    "x",
                                    DDERR_SURFACELOST,
                                    S_OK,
                                    S_OK,
                                    DDERR_SURFACELOST,
                                    {"Frame.Restore"}},
                      PaintTextPath{"GetDCFails",
                                    true,
                                    "x",
                                    S_OK,
                                    DDERR_DCALREADYCREATED,
                                    S_OK,
                                    DDERR_DCALREADYCREATED,
                                    {"Frame.Restore", "Frame.GetDC"}},
                      // ReleaseDC's result is the result.
                      PaintTextPath{"ReleaseDCFails",
                                    true,
                                    "x",
                                    S_OK,
                                    S_OK,
                                    DDERR_NODC,
                                    DDERR_NODC,
                                    {"Frame.Restore", "Frame.GetDC", "Frame.ReleaseDC"}},
                      PaintTextPath{"Ok",
                                    true,
                                    "x",
                                    S_OK,
                                    S_OK,
                                    S_OK,
                                    S_OK,
                                    {"Frame.Restore", "Frame.GetDC", "Frame.ReleaseDC"}}),
    [](const auto& Info) { return std::string(Info.param.Name); });

// The loading sequence's progress line: font value 1 (no font, refused), at
// (10, 455), dark red on an opaque white box, nothing drawn outside it.
TEST(SurfacePaintTextPixels, ProgressLineStandsInAWhiteBoxWithDarkRedGlyphs) {
    const std::string Text = "Progress: [decrunching GFX: 42%]";
    const int Left = 10, Top = 455, Right = Left + 8 * static_cast<int>(Text.size()),
              Bottom = Top + 16;
    std::vector<std::uint16_t> Pictures[2];
    const HFONT Fonts[2] = {1, 0};
    for (int Run = 0; Run < 2; ++Run) {
        CallLog Log;
        Held Holding(Log);
        Holding.Frame.UsePixels(640, 480, Untouched);
        ASSERT_EQ(Holding.Surface->PaintText(Fonts[Run], Text, Left, Top, RGB(255, 255, 255),
                                             RGB(160, 0, 0)),
                  S_OK);
        int White = 0, DarkRed = 0;
        for (int Y = 0; Y < 480; ++Y)
            for (int X = 0; X < 640; ++X) {
                const std::uint16_t Pixel = Holding.Frame.At(X, Y);
                const bool Inside = X >= Left && X < Right && Y >= Top && Y < Bottom;
                if (!Inside) {
                    ASSERT_EQ(Pixel, Untouched) << "outside the box at " << X << "," << Y;
                    continue;
                }
                if (Pixel == Rgb565(255, 255, 255))
                    ++White;
                else if (Pixel == Rgb565(160, 0, 0))
                    ++DarkRed;
                else
                    ADD_FAILURE() << "pixel " << std::hex << Pixel << " at " << std::dec << X << ","
                                  << Y;
            }
        EXPECT_GT(White, DarkRed) << "font " << Fonts[Run];
        EXPECT_GT(DarkRed, 8 * static_cast<int>(Text.size())) << "font " << Fonts[Run];
        Pictures[Run] = Holding.Frame.Memory;
    }
    // A value that is no font leaves the default font in place.
    EXPECT_TRUE(Pictures[0] == Pictures[1]);
}

} // namespace
