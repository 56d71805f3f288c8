// TDisplay and TSurface on the real SDL stand-in, as the loading sequence and
// the presenter use them, under SDL's headless video driver.
#include "display/DDUtil.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/SurfaceDC.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>
#include <vector>

namespace {

class RealDisplay : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        Window = SDL_CreateWindow("Form1", 328, 258, 688, 453,
                                  SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN);
        ASSERT_NE(Window, nullptr) << SDL_GetError();
    }
    void TearDown() override {
        Display.reset();
        if (Window != nullptr)
            SDL_DestroyWindow(Window);
        SDL_Quit();
    }
    HWND Id() const { return SDL_GetWindowID(Window); }

    // The picture loader's surface: off-screen, of the picture's size.
    std::unique_ptr<TSurface> Picture(DWORD Width, DWORD Height) {
        DDSURFACEDESC2 Desc{};
        Desc.dwSize = sizeof(Desc);
        Desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
        Desc.dwWidth = Width;
        Desc.dwHeight = Height;
        Desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        auto Made = std::make_unique<TSurface>();
        EXPECT_EQ(Made->CreateSurface(Display->DDObject(), &Desc), S_OK);
        return Made;
    }
    static PixelBuffer PixelsOf(const TSurface& Surface) {
        PixelBuffer View;
        EXPECT_TRUE(DirectDrawSurfacePixels(Surface.DDSurface().Get(), &View));
        return View;
    }
    static std::uint16_t At(const PixelBuffer& View, int X, int Y) {
        return reinterpret_cast<const std::uint16_t*>(View.Pixels + Y * View.Pitch)[X];
    }
    // The window's framebuffer, where the software renderer presents.
    std::uint32_t ScreenAt(double X, double Y) {
        SDL_Surface* Shown = SDL_GetWindowSurface(Window);
        if (Shown == nullptr)
            return 0xDEADBEEF;
        // The picture keeps its aspect, centred between black bars.
        const double Scale = std::min(Shown->w / 640.0, Shown->h / 480.0);
        const int Sx = static_cast<int>((Shown->w - 640 * Scale) / 2 + X * Scale);
        const int Sy = static_cast<int>((Shown->h - 480 * Scale) / 2 + Y * Scale);
        std::uint32_t Pixel = 0;
        SDL_ConvertPixels(1, 1, Shown->format->format,
                          static_cast<std::uint8_t*>(Shown->pixels) + Sy * Shown->pitch +
                              Sx * Shown->format->BytesPerPixel,
                          Shown->pitch, SDL_PIXELFORMAT_RGB888, &Pixel, 4);
        return Pixel & 0xFFFFFF;
    }
    bool FullScreen() const {
        return (SDL_GetWindowFlags(Window) & SDL_WINDOW_FULLSCREEN_DESKTOP) ==
               SDL_WINDOW_FULLSCREEN_DESKTOP;
    }

    SDL_Window* Window = nullptr;
    std::unique_ptr<TDisplay> Display = std::make_unique<TDisplay>();
};

bool Near(std::uint32_t Seen, std::uint32_t Wanted) {
    for (int Shift = 0; Shift < 24; Shift += 8) {
        const int A = (Seen >> Shift) & 0xFF, B = (Wanted >> Shift) & 0xFF;
        if (A - B > 8 || B - A > 8)
            return false;
    }
    return true;
}

// A decoded 24-bit picture is converted exactly: each channel cut to its
// top 5, 6 and 5 bits.
TEST_F(RealDisplay, PaintBitmapConvertsRgb888ToRgb565) {
    ASSERT_EQ(Display->CreateFullScreenDisplay(Id(), 640, 480, 16), S_OK);
    struct Colour {
        BYTE R, G, B;
        std::uint16_t Expected;
    } Colours[] = {
        {0, 0, 0, 0x0000},       {255, 255, 255, 0xFFFF}, {255, 0, 0, 0xF800},
        {0, 255, 0, 0x07E0},     {0, 0, 255, 0x001F},     {160, 0, 0, 0xA000},
        {7, 3, 7, 0x0000},       {8, 4, 8, 0x0821},       {123, 45, 67, 0x7968},
        {248, 252, 248, 0xFFFF}, {247, 251, 247, 0xF7DE},
    };
    const int Count = static_cast<int>(std::size(Colours));
    void* Bits = nullptr;
    HBITMAP Bitmap = CreateTopDownDIB(Count, 1, 24, nullptr, 0, &Bits);
    ASSERT_NE(Bitmap, 0u);
    for (int I = 0; I < Count; ++I) {
        BYTE* Pixel = static_cast<BYTE*>(Bits) + 3 * I;
        Pixel[0] = Colours[I].B;
        Pixel[1] = Colours[I].G;
        Pixel[2] = Colours[I].R;
    }
    std::unique_ptr<TSurface> Surface = Picture(Count, 1);
    ASSERT_EQ(Surface->PaintBitmap(Bitmap, 0, 0, 0, 0), S_OK);
    const PixelBuffer View = PixelsOf(*Surface);
    for (int I = 0; I < Count; ++I)
        EXPECT_EQ(At(View, I, 0), Colours[I].Expected)
            << "RGB(" << int(Colours[I].R) << "," << int(Colours[I].G) << "," << int(Colours[I].B)
            << ")";
    EXPECT_TRUE(DeleteObject(Bitmap));
}

// The loading picture with its progress line, copied to the back buffer and
// presented, as the loading sequence does after each frame.
TEST_F(RealDisplay, ProgressLineReachesTheScreen) {
    ASSERT_EQ(Display->CreateFullScreenDisplay(Id(), 640, 480, 16), S_OK);
    EXPECT_TRUE(FullScreen());
    std::unique_ptr<TSurface> Loading = Picture(640, 480);
    {
        void* Bits = nullptr;
        HBITMAP Bitmap = CreateTopDownDIB(640, 480, 24, nullptr, 0, &Bits);
        ASSERT_NE(Bitmap, 0u);
        BITMAP Header{};
        GetObjectA(Bitmap, sizeof(Header), &Header);
        for (int Y = 0; Y < 480; ++Y)
            for (int X = 0; X < 640; ++X) {
                BYTE* Pixel = static_cast<BYTE*>(Bits) + Y * Header.bmWidthBytes + 3 * X;
                Pixel[0] = 255; // blue background
            }
        ASSERT_EQ(Loading->PaintBitmap(Bitmap, 0, 0, 0, 0), S_OK);
        DeleteObject(Bitmap);
    }
    const std::string Text = "Progress: [decrunching GFX: 100%]";
    ASSERT_EQ(Loading->PaintText(1, Text, 10, 455, RGB(255, 255, 255), RGB(160, 0, 0)), S_OK);
    ASSERT_EQ(Display->BlitSurface(0, 0, Loading, nullptr), S_OK);
    ASSERT_EQ(Display->ShowBackBuffer(), S_OK);

    // In the surface: a white box of 8x16 cells with dark red glyphs.
    const PixelBuffer View = PixelsOf(*Loading);
    const int Right = 10 + 8 * static_cast<int>(Text.size());
    int DarkRed = 0;
    for (int Y = 455; Y < 471; ++Y)
        for (int X = 10; X < Right; ++X) {
            const std::uint16_t Pixel = At(View, X, Y);
            ASSERT_TRUE(Pixel == 0xFFFF || Pixel == 0xA000) << X << "," << Y;
            DarkRed += Pixel == 0xA000;
        }
    EXPECT_GT(DarkRed, 100);
    EXPECT_EQ(At(View, 9, 460), 0x001F);
    EXPECT_EQ(At(View, Right, 460), 0x001F);
    EXPECT_EQ(At(View, 20, 454), 0x001F);
    EXPECT_EQ(At(View, 20, 471), 0x001F);

    // On the screen, scaled: blue around, white and dark red inside the box.
    EXPECT_TRUE(Near(ScreenAt(320, 200), 0x0000FF));
    EXPECT_TRUE(Near(ScreenAt(5, 463), 0x0000FF));
    int ScreenWhite = 0, ScreenRed = 0;
    for (double Y = 456.5; Y < 470; Y += 1)
        for (double X = 10.5; X < Right; X += 1) {
            const std::uint32_t Pixel = ScreenAt(X, Y);
            ScreenWhite += Near(Pixel, 0xFFFFFF);
            ScreenRed += Near(Pixel, 0xA00000);
            ASSERT_TRUE(Near(Pixel, 0xFFFFFF) || Near(Pixel, 0xA00000))
                << std::hex << Pixel << " at " << X << "," << Y;
        }
    EXPECT_GT(ScreenWhite, ScreenRed);
    EXPECT_GT(ScreenRed, 100);
}

TEST_F(RealDisplay, AFocusLossCostsOneFrameAndTheChainComesBack) {
    ASSERT_EQ(Display->CreateFullScreenDisplay(Id(), 640, 480, 16), S_OK);
    std::unique_ptr<TSurface> Frame = Picture(640, 480);
    {
        const PixelBuffer View = PixelsOf(*Frame);
        for (int Y = 0; Y < 480; ++Y)
            for (int X = 0; X < 640; ++X)
                reinterpret_cast<std::uint16_t*>(View.Pixels + Y * View.Pitch)[X] = 0x07E0;
    }
    ASSERT_EQ(Display->BlitSurface(0, 0, Frame, nullptr), S_OK);
    ASSERT_EQ(Display->ShowBackBuffer(), S_OK);

    SDL_Event Event{};
    Event.type = SDL_WINDOWEVENT;
    Event.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    Event.window.windowID = Id();
    SDL_PushEvent(&Event);
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);

    // The presenter's next step: the copy fails, the flip restores.
    EXPECT_EQ(Display->BlitSurface(0, 0, Frame, nullptr), DDERR_SURFACELOST);
    EXPECT_EQ(Display->ShowBackBuffer(), DDERR_SURFACELOST);
    // And the one after draws again.
    EXPECT_EQ(Display->BlitSurface(0, 0, Frame, nullptr), S_OK);
    EXPECT_EQ(Display->ShowBackBuffer(), S_OK);
    EXPECT_TRUE(Near(ScreenAt(320, 240), 0x00FF00));
}

struct FailedCreation {
    const char* Name;
    bool WithWindow;
    DWORD Bits;
    bool HoldsDD;
};
void PrintTo(const FailedCreation& Case, std::ostream* Out) {
    *Out << Case.Name;
}

class RealDisplayFails : public RealDisplay,
                         public ::testing::WithParamInterface<FailedCreation> {};

// A failed creation answers E_FAIL ("Generic failure."); the release gives
// the window back its own size.
TEST_P(RealDisplayFails, AnswersEFailAndTheReleaseGivesTheWindowBack) {
    const FailedCreation& Case = GetParam();
    const HRESULT Result =
        Display->CreateFullScreenDisplay(Case.WithWindow ? Id() : 0, 640, 480, Case.Bits);
    EXPECT_EQ(Result, E_FAIL);
    EXPECT_STREQ(DirectDrawErrorText(Result), "Generic failure.");
    EXPECT_EQ(Display->DDObject() != nullptr, Case.HoldsDD);
    EXPECT_EQ(Display->WindowHandle(), 0u);
    Display.reset();
    int W = 0, H = 0;
    SDL_GetWindowSize(Window, &W, &H);
    EXPECT_EQ(W, 688);
    EXPECT_EQ(H, 453);
    EXPECT_FALSE(FullScreen());
}

INSTANTIATE_TEST_SUITE_P(Cases, RealDisplayFails,
                         ::testing::Values(FailedCreation{"NoWindow", false, 16, true},
                                           FailedCreation{"TwentyFourBits", true, 24, true},
                                           FailedCreation{"EightBits", true, 8, true}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(RealDisplay, ASecondCreationTakesTheScreenAgain) {
    ASSERT_EQ(Display->CreateFullScreenDisplay(Id(), 640, 480, 16), S_OK);
    ASSERT_EQ(Display->CreateFullScreenDisplay(Id(), 640, 480, 16), S_OK);
    EXPECT_TRUE(FullScreen());
    std::unique_ptr<TSurface> Frame = Picture(640, 480);
    EXPECT_EQ(Display->BlitSurface(0, 0, Frame, nullptr), S_OK);
    EXPECT_EQ(Display->ShowBackBuffer(), S_OK);
    // Frames outlive the display (they are never freed); they stay usable.
    Display.reset();
    EXPECT_FALSE(FullScreen());
    EXPECT_EQ(Frame->PaintText(0, "x", 0, 0, RGB(255, 255, 255), 0), S_OK);
}

} // namespace
