// The DirectDraw stand-in on SDL2, under SDL's headless video driver: the
// window it takes over, surface rules, pixels after BltFast and Flip, the
// presented picture, a chain lost on focus loss, device contexts.
#include "platform/ddraw/DDraw.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/SurfaceDC.h"

#include <SDL.h>
#include <gtest/gtest.h>
#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int WindowX = 328, WindowY = 258, WindowW = 688, WindowH = 453;

class SdlVideo : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        Window = SDL_CreateWindow("ddraw", WindowX, WindowY, WindowW, WindowH,
                                  SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN);
        ASSERT_NE(Window, nullptr) << SDL_GetError();
        Id = SDL_GetWindowID(Window);
        ASSERT_EQ(SDL_GetDisplayBounds(0, &Bounds), 0);
    }
    void TearDown() override {
        Back.Reset();
        Front.Reset();
        DD.Reset();
        if (Window != nullptr)
            SDL_DestroyWindow(Window);
        SDL_Quit();
    }

    ComPtr<IDirectDraw7> Create() {
        ComPtr<IDirectDraw7> Made;
        EXPECT_EQ(
            DirectDrawCreateEx(nullptr, Made.ReleaseAndGetAddressOf(), IID_IDirectDraw7, nullptr),
            DD_OK);
        return Made;
    }
    // The program's own set-up: exclusive, the mode, the chain.
    void TakeScreen(DWORD Width = 640, DWORD Height = 480, DWORD Bits = 16) {
        DD = Create();
        ASSERT_TRUE(DD);
        ASSERT_EQ(DD->SetCooperativeLevel(Id, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
        ASSERT_EQ(DD->SetDisplayMode(Width, Height, Bits, 0, 0), DD_OK);
        DDSURFACEDESC2 Desc = PrimaryDesc();
        ASSERT_EQ(DD->CreateSurface(&Desc, Front.ReleaseAndGetAddressOf(), nullptr), DD_OK);
        DDSCAPS2 Caps{};
        Caps.dwCaps = DDSCAPS_BACKBUFFER;
        ASSERT_EQ(Front->GetAttachedSurface(&Caps, Back.ReleaseAndGetAddressOf()), DD_OK);
    }
    static DDSURFACEDESC2 PrimaryDesc() {
        DDSURFACEDESC2 Desc{};
        Desc.dwSize = sizeof(Desc);
        Desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
        Desc.ddsCaps.dwCaps =
            DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
        Desc.dwBackBufferCount = 1;
        return Desc;
    }
    static DDSURFACEDESC2 OffScreenDesc(DWORD Width, DWORD Height) {
        DDSURFACEDESC2 Desc{};
        Desc.dwSize = sizeof(Desc);
        Desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
        Desc.dwWidth = Width;
        Desc.dwHeight = Height;
        Desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        return Desc;
    }
    ComPtr<IDirectDrawSurface7> OffScreen(DWORD Width, DWORD Height) {
        DDSURFACEDESC2 Desc = OffScreenDesc(Width, Height);
        ComPtr<IDirectDrawSurface7> Made;
        EXPECT_EQ(DD->CreateSurface(&Desc, Made.ReleaseAndGetAddressOf(), nullptr), DD_OK);
        return Made;
    }
    void LoseFocus(SDL_Window* Of) {
        SDL_Event Event{};
        Event.type = SDL_WINDOWEVENT;
        Event.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
        Event.window.windowID = SDL_GetWindowID(Of);
        SDL_PushEvent(&Event); // event watches see it at once
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }

    SDL_Window* Window = nullptr;
    HWND Id = 0;
    SDL_Rect Bounds{};
    ComPtr<IDirectDraw7> DD;
    ComPtr<IDirectDrawSurface7> Front;
    ComPtr<IDirectDrawSurface7> Back;
};

// 16-bit pixel access through the test view of a surface's memory.
struct Pixels16 {
    explicit Pixels16(IDirectDrawSurface7* Surface) {
        EXPECT_TRUE(DirectDrawSurfacePixels(Surface, &View));
        EXPECT_EQ(View.BitsPerPixel, 16);
    }
    std::uint16_t& At(int X, int Y) {
        return reinterpret_cast<std::uint16_t*>(View.Pixels + Y * View.Pitch)[X];
    }
    void Fill(std::uint16_t Value) {
        for (int Y = 0; Y < View.Height; ++Y)
            for (int X = 0; X < View.Width; ++X)
                At(X, Y) = Value;
    }
    // A value of its own for each pixel.
    void Pattern(std::uint16_t Salt) {
        for (int Y = 0; Y < View.Height; ++Y)
            for (int X = 0; X < View.Width; ++X)
                At(X, Y) = static_cast<std::uint16_t>((Y * 97 + X * 13 + Salt) | 1);
    }
    static std::uint16_t PatternAt(int X, int Y, std::uint16_t Salt) {
        return static_cast<std::uint16_t>((Y * 97 + X * 13 + Salt) | 1);
    }
    PixelBuffer View;
};

// The presented picture, from the window's framebuffer (the software
// renderer draws into it), as 0x00RRGGBB.
struct ScreenShot {
    explicit ScreenShot(SDL_Window* Window) {
        SDL_Surface* Surface = SDL_GetWindowSurface(Window);
        EXPECT_NE(Surface, nullptr) << SDL_GetError();
        if (Surface == nullptr)
            return;
        Width = Surface->w;
        Height = Surface->h;
        Pixels.resize(static_cast<size_t>(Width) * Height);
        SDL_ConvertPixels(Width, Height, Surface->format->format, Surface->pixels, Surface->pitch,
                          SDL_PIXELFORMAT_RGB888, Pixels.data(), Width * 4);
    }
    std::uint32_t At(int X, int Y) const {
        return Pixels[static_cast<size_t>(Y) * Width + X] & 0xFFFFFF;
    }
    int Width = 0;
    int Height = 0;
    std::vector<std::uint32_t> Pixels;
};

std::uint32_t Expand565(std::uint16_t Value) {
    const std::uint32_t R = (Value >> 11) & 31, G = (Value >> 5) & 63, B = Value & 31;
    return (((R << 3) | (R >> 2)) << 16) | (((G << 2) | (G >> 4)) << 8) | ((B << 3) | (B >> 2));
}

// SDL's own widening of 5 and 6 bits to 8 may round a step differently.
::testing::AssertionResult SameColour(std::uint32_t Seen, std::uint32_t Wanted) {
    for (int Shift = 0; Shift < 24; Shift += 8) {
        const int A = (Seen >> Shift) & 0xFF, B = (Wanted >> Shift) & 0xFF;
        if (A - B > 2 || B - A > 2)
            return ::testing::AssertionFailure()
                   << std::hex << "0x" << Seen << " is not 0x" << Wanted;
    }
    return ::testing::AssertionSuccess();
}

// ------------------------------------------------------------ error texts

TEST(DirectDrawErrorText, NamesEveryCodeTheLayerReturns) {
    EXPECT_STREQ(DirectDrawErrorText(E_FAIL), "Generic failure.");
    EXPECT_STREQ(DirectDrawErrorText(MakeDDResult(999)), "Unrecognized Error");
    EXPECT_STREQ(DirectDrawErrorText(E_NOINTERFACE), "Unrecognized Error");
    const HRESULT Codes[] = {DD_OK,
                             E_POINTER,
                             DDERR_INVALIDPARAMS,
                             DDERR_OUTOFMEMORY,
                             DDERR_UNSUPPORTED,
                             DDERR_INVALIDCAPS,
                             DDERR_INVALIDMODE,
                             DDERR_INVALIDOBJECT,
                             DDERR_INVALIDPIXELFORMAT,
                             DDERR_INVALIDRECT,
                             DDERR_NOCOOPERATIVELEVELSET,
                             DDERR_NODIRECTDRAWSUPPORT,
                             DDERR_NOEXCLUSIVEMODE,
                             DDERR_NOTFOUND,
                             DDERR_SURFACEBUSY,
                             DDERR_SURFACELOST,
                             DDERR_WASSTILLDRAWING,
                             DDERR_INVALIDDIRECTDRAWGUID,
                             DDERR_PRIMARYSURFACEALREADYEXISTS,
                             DDERR_HWNDALREADYSET,
                             DDERR_EXCLUSIVEMODEALREADYSET,
                             DDERR_NOTFLIPPABLE,
                             DDERR_CANTCREATEDC,
                             DDERR_NODC,
                             DDERR_DCALREADYCREATED};
    std::set<std::string> Seen;
    for (HRESULT Code : Codes) {
        const std::string Text = DirectDrawErrorText(Code);
        EXPECT_NE(Text, "Unrecognized Error") << std::hex << Code;
        EXPECT_TRUE(Seen.insert(Text).second) << "text shared: " << Text;
    }
    // Values that carry over from the platform.
    EXPECT_EQ(DDERR_SURFACELOST, static_cast<HRESULT>(0x887601C2u));
    EXPECT_EQ(DDERR_WASSTILLDRAWING, static_cast<HRESULT>(0x8876021Cu));
}

// ---------------------------------------------------------------- creation

TEST_F(SdlVideo, CreateExRefusesWhatItDoesNotServe) {
    const GUID SomeDriver{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    const GUID OtherIid{
        0x6C14DB80, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
    struct Case {
        const char* Name;
        const GUID* Driver;
        const GUID* Iid;
        bool WithOuter;
        HRESULT Expected;
    } Cases[] = {
        {"Driver", &SomeDriver, &IID_IDirectDraw7, false, DDERR_INVALIDDIRECTDRAWGUID},
        {"Interface", nullptr, &OtherIid, false, DDERR_INVALIDPARAMS},
        {"Aggregation", nullptr, &IID_IDirectDraw7, true, DDERR_INVALIDPARAMS},
        {"Ok", nullptr, &IID_IDirectDraw7, false, DD_OK},
    };
    for (const Case& C : Cases) {
        ComPtr<IDirectDraw7> Made;
        ComPtr<IDirectDraw7> Outer = Create();
        IUnknown* OuterArg = C.WithOuter ? Outer.Get() : nullptr;
        EXPECT_EQ(DirectDrawCreateEx(C.Driver, Made.ReleaseAndGetAddressOf(), *C.Iid, OuterArg),
                  C.Expected)
            << C.Name;
        EXPECT_EQ(static_cast<bool>(Made), C.Expected == DD_OK) << C.Name;
    }
    EXPECT_EQ(DirectDrawCreateEx(nullptr, nullptr, IID_IDirectDraw7, nullptr), DDERR_INVALIDPARAMS);
}

// -------------------------------------------------------- cooperative level

TEST_F(SdlVideo, ExclusiveCoversTheDisplayAndNormalGivesTheWindowBack) {
    DD = Create();
    ASSERT_EQ(DD->SetCooperativeLevel(Id, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    int X, Y, W, H;
    SDL_GetWindowPosition(Window, &X, &Y);
    SDL_GetWindowSize(Window, &W, &H);
    EXPECT_EQ(std::vector<int>({X, Y, W, H}),
              std::vector<int>({Bounds.x, Bounds.y, Bounds.w, Bounds.h}));
    const Uint32 Flags = SDL_GetWindowFlags(Window);
    EXPECT_EQ(Flags & SDL_WINDOW_FULLSCREEN_DESKTOP, SDL_WINDOW_FULLSCREEN_DESKTOP);
    EXPECT_TRUE(Flags & SDL_WINDOW_SHOWN);

    // As the display's release does after a failed creation: window 0.
    ASSERT_EQ(DD->SetCooperativeLevel(0, DDSCL_NORMAL), DD_OK);
    SDL_GetWindowPosition(Window, &X, &Y);
    SDL_GetWindowSize(Window, &W, &H);
    EXPECT_EQ(std::vector<int>({X, Y, W, H}),
              std::vector<int>({WindowX, WindowY, WindowW, WindowH}));
    EXPECT_EQ(SDL_GetWindowFlags(Window) & SDL_WINDOW_FULLSCREEN_DESKTOP, 0u);
}

TEST_F(SdlVideo, ReleasingAnExclusiveObjectGivesTheWindowBack) {
    DD = Create();
    ASSERT_EQ(DD->SetCooperativeLevel(Id, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    DD.Reset();
    int W, H;
    SDL_GetWindowSize(Window, &W, &H);
    EXPECT_EQ(W, WindowW);
    EXPECT_EQ(H, WindowH);
    EXPECT_EQ(SDL_GetWindowFlags(Window) & SDL_WINDOW_FULLSCREEN_DESKTOP, 0u);
    // And exclusive mode is free for the next object.
    DD = Create();
    EXPECT_EQ(DD->SetCooperativeLevel(Id, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
}

TEST_F(SdlVideo, CooperativeLevelRefusesWhatItDoesNotServe) {
    SDL_Window* Other = SDL_CreateWindow("other", 0, 0, 10, 10, SDL_WINDOW_HIDDEN);
    ASSERT_NE(Other, nullptr);
    const HWND OtherId = SDL_GetWindowID(Other);
    DD = Create();
    ComPtr<IDirectDraw7> Second = Create();
    struct Case {
        const char* Name;
        IDirectDraw7* Object;
        HWND Window;
        DWORD Flags;
        HRESULT Expected;
    } Cases[] = {
        {"NoWindow", DD.Get(), 0, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN, DDERR_INVALIDPARAMS},
        {"UnknownWindow", DD.Get(), 99999, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN, DDERR_INVALIDPARAMS},
        {"ExclusiveAlone", DD.Get(), Id, DDSCL_EXCLUSIVE, DDERR_INVALIDPARAMS},
        {"FullScreenAlone", DD.Get(), Id, DDSCL_FULLSCREEN, DDERR_INVALIDPARAMS},
        {"NormalAndExclusive", DD.Get(), Id, DDSCL_NORMAL | DDSCL_EXCLUSIVE, DDERR_INVALIDPARAMS},
        {"OtherFlags", DD.Get(), Id, DDSCL_NORMAL | 0x2, DDERR_UNSUPPORTED},
        {"Exclusive", DD.Get(), Id, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN, DD_OK},
        {"SameAgain", DD.Get(), Id, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN, DD_OK},
        {"AnotherWindow", DD.Get(), OtherId, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN,
         DDERR_HWNDALREADYSET},
        {"AnotherObject", Second.Get(), OtherId, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN,
         DDERR_EXCLUSIVEMODEALREADYSET},
        {"NormalForTheOther", Second.Get(), OtherId, DDSCL_NORMAL, DD_OK},
    };
    for (const Case& C : Cases)
        EXPECT_EQ(C.Object->SetCooperativeLevel(C.Window, C.Flags), C.Expected) << C.Name;
    Second.Reset();
    DD.Reset();
    SDL_DestroyWindow(Other);
}

// ------------------------------------------------------------- display mode

TEST_F(SdlVideo, DisplayModeServesSixteenAndThirtyTwoBits) {
    DD = Create();
    EXPECT_EQ(DD->SetDisplayMode(640, 480, 16, 0, 0), DDERR_NOCOOPERATIVELEVELSET);
    ASSERT_EQ(DD->SetCooperativeLevel(Id, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    struct Case {
        DWORD Width, Height, Bits, Flags;
        HRESULT Expected;
    } Cases[] = {
        {640, 480, 8, 0, DDERR_INVALIDMODE},
        {640, 480, 15, 0, DDERR_INVALIDMODE},
        {640, 480, 24, 0, DDERR_INVALIDMODE},
        {0, 480, 16, 0, DDERR_INVALIDMODE},
        {640, 0, 16, 0, DDERR_INVALIDMODE},
        {100000, 480, 16, 0, DDERR_INVALIDMODE},
        {640, 480, 16, 1, DDERR_INVALIDPARAMS},
        {800, 600, 32, 0, DD_OK},
        {640, 480, 16, 0, DD_OK},
    };
    for (const Case& C : Cases)
        EXPECT_EQ(DD->SetDisplayMode(C.Width, C.Height, C.Bits, 0, C.Flags), C.Expected)
            << C.Width << "x" << C.Height << "x" << C.Bits << " flags " << C.Flags;
    // The last mode set decides the surfaces' format.
    ComPtr<IDirectDrawSurface7> Surface = OffScreen(4, 4);
    DDSURFACEDESC2 Desc{};
    Desc.dwSize = sizeof(Desc);
    ASSERT_EQ(Surface->GetSurfaceDesc(&Desc), DD_OK);
    EXPECT_EQ(Desc.ddpfPixelFormat.dwRGBBitCount, 16u);
}

// ---------------------------------------------------------------- surfaces

TEST_F(SdlVideo, CreateSurfaceRefusesWhatItDoesNotServe) {
    DD = Create();
    {
        DDSURFACEDESC2 Desc = OffScreenDesc(4, 4);
        ComPtr<IDirectDrawSurface7> Made;
        EXPECT_EQ(DD->CreateSurface(&Desc, Made.ReleaseAndGetAddressOf(), nullptr),
                  DDERR_NOCOOPERATIVELEVELSET);
        Desc = PrimaryDesc();
        ASSERT_EQ(DD->SetCooperativeLevel(Id, DDSCL_NORMAL), DD_OK);
        EXPECT_EQ(DD->CreateSurface(&Desc, Made.ReleaseAndGetAddressOf(), nullptr),
                  DDERR_NOEXCLUSIVEMODE);
    }
    ASSERT_EQ(DD->SetCooperativeLevel(Id, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    ASSERT_EQ(DD->SetDisplayMode(640, 480, 16, 0, 0), DD_OK);

    struct Case {
        const char* Name;
        void (*Change)(DDSURFACEDESC2&);
        bool Primary;
        HRESULT Expected;
    } Cases[] = {
        {"Size123", [](DDSURFACEDESC2& D) { D.dwSize = 123; }, false, DDERR_INVALIDPARAMS},
        {"Size128", [](DDSURFACEDESC2& D) { D.dwSize = 128; }, true, DDERR_INVALIDPARAMS},
        {"NoWidth", [](DDSURFACEDESC2& D) { D.dwFlags &= ~DDSD_WIDTH; }, false,
         DDERR_INVALIDPARAMS},
        {"ZeroHeight", [](DDSURFACEDESC2& D) { D.dwHeight = 0; }, false, DDERR_INVALIDPARAMS},
        {"Huge", [](DDSURFACEDESC2& D) { D.dwWidth = 1u << 20; }, false, DDERR_INVALIDPARAMS},
        {"ClientPitch", [](DDSURFACEDESC2& D) { D.dwFlags |= DDSD_PITCH; }, false,
         DDERR_INVALIDPARAMS},
        {"UnknownFlag", [](DDSURFACEDESC2& D) { D.dwFlags |= 0x80000; }, false,
         DDERR_INVALIDPARAMS},
        {"VideoMemory", [](DDSURFACEDESC2& D) { D.ddsCaps.dwCaps |= DDSCAPS_VIDEOMEMORY; }, false,
         DDERR_INVALIDCAPS},
        {"BackBufferAlone", [](DDSURFACEDESC2& D) { D.ddsCaps.dwCaps = DDSCAPS_BACKBUFFER; }, false,
         DDERR_INVALIDCAPS},
        {"FourCC",
         [](DDSURFACEDESC2& D) {
             D.dwFlags |= DDSD_PIXELFORMAT;
             D.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
             D.ddpfPixelFormat.dwFlags = DDPF_FOURCC;
         },
         false, DDERR_INVALIDPIXELFORMAT},
        {"OtherRgb",
         [](DDSURFACEDESC2& D) {
             D.dwFlags |= DDSD_PIXELFORMAT;
             D.ddpfPixelFormat = {32, DDPF_RGB, 0, 16, 0x7C00, 0x03E0, 0x001F, 0};
         },
         false, DDERR_INVALIDPIXELFORMAT},
        {"OwnRgb",
         [](DDSURFACEDESC2& D) {
             D.dwFlags |= DDSD_PIXELFORMAT;
             D.ddpfPixelFormat = {32, DDPF_RGB, 0, 16, 0xF800, 0x07E0, 0x001F, 0};
         },
         false, DD_OK},
        {"PlainWithoutCaps", [](DDSURFACEDESC2& D) { D.dwFlags &= ~DDSD_CAPS; }, false, DD_OK},
        {"PrimaryWithSize", [](DDSURFACEDESC2& D) { D.dwFlags |= DDSD_WIDTH; }, true,
         DDERR_INVALIDPARAMS},
        {"PrimaryNoBackBuffer", [](DDSURFACEDESC2& D) { D.dwBackBufferCount = 0; }, true,
         DDERR_INVALIDPARAMS},
        {"PrimaryTwoBackBuffers", [](DDSURFACEDESC2& D) { D.dwBackBufferCount = 2; }, true,
         DDERR_UNSUPPORTED},
        {"PrimaryWithoutFlip",
         [](DDSURFACEDESC2& D) {
             D.dwFlags = DDSD_CAPS;
             D.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
         },
         true, DDERR_UNSUPPORTED},
        {"PrimaryNotComplex", [](DDSURFACEDESC2& D) { D.ddsCaps.dwCaps &= ~DDSCAPS_COMPLEX; }, true,
         DDERR_INVALIDCAPS},
    };
    for (const Case& C : Cases) {
        DDSURFACEDESC2 Desc = C.Primary ? PrimaryDesc() : OffScreenDesc(4, 4);
        C.Change(Desc);
        IDirectDrawSurface7* Made = reinterpret_cast<IDirectDrawSurface7*>(1);
        EXPECT_EQ(DD->CreateSurface(&Desc, &Made, nullptr), C.Expected) << C.Name;
        EXPECT_EQ(Made != nullptr, C.Expected == DD_OK) << C.Name; // null on failure
        if (Made != nullptr && C.Expected == DD_OK)
            Made->Release();
    }
    DDSURFACEDESC2 Desc = OffScreenDesc(4, 4);
    IDirectDrawSurface7* Made = nullptr;
    EXPECT_EQ(DD->CreateSurface(nullptr, &Made, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(DD->CreateSurface(&Desc, nullptr, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(DD->CreateSurface(&Desc, &Made, DD.Get()), DDERR_INVALIDPARAMS);

    // One primary at a time; a new one once the first is gone.
    Desc = PrimaryDesc();
    ASSERT_EQ(DD->CreateSurface(&Desc, Front.ReleaseAndGetAddressOf(), nullptr), DD_OK);
    EXPECT_EQ(DD->CreateSurface(&Desc, &Made, nullptr), DDERR_PRIMARYSURFACEALREADYEXISTS);
    EXPECT_EQ(DD->SetDisplayMode(800, 600, 16, 0, 0), DDERR_UNSUPPORTED);
    Front.Reset();
    EXPECT_EQ(DD->CreateSurface(&Desc, Front.ReleaseAndGetAddressOf(), nullptr), DD_OK);
}

TEST_F(SdlVideo, DescriptionsTellSizePitchFormatAndCaps) {
    TakeScreen(640, 480, 16);
    ComPtr<IDirectDrawSurface7> Plain = OffScreen(33, 7);
    struct Case {
        const char* Name;
        IDirectDrawSurface7* Surface;
        DWORD Width, Height, Caps, BackBuffers;
    } Cases[] = {
        {"OffScreen", Plain.Get(), 33, 7, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY, 0},
        {"Front", Front.Get(), 640, 480,
         DDSCAPS_PRIMARYSURFACE | DDSCAPS_FRONTBUFFER | DDSCAPS_FLIP | DDSCAPS_COMPLEX |
             DDSCAPS_SYSTEMMEMORY | DDSCAPS_3DDEVICE,
         1},
        {"Back", Back.Get(), 640, 480,
         DDSCAPS_BACKBUFFER | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_SYSTEMMEMORY |
             DDSCAPS_3DDEVICE,
         0},
    };
    for (const Case& C : Cases) {
        DDSURFACEDESC2 Desc{};
        Desc.dwSize = sizeof(Desc);
        Desc.dwFlags = DDSD_HEIGHT | DDSD_WIDTH;
        ASSERT_EQ(C.Surface->GetSurfaceDesc(&Desc), DD_OK) << C.Name;
        EXPECT_EQ(Desc.dwWidth, C.Width) << C.Name;
        EXPECT_EQ(Desc.dwHeight, C.Height) << C.Name;
        EXPECT_GE(Desc.lPitch, static_cast<LONG>(C.Width * 2)) << C.Name;
        EXPECT_EQ(Desc.lPitch % 4, 0) << C.Name;
        EXPECT_EQ(Desc.ddpfPixelFormat.dwFlags, DDPF_RGB) << C.Name;
        EXPECT_EQ(Desc.ddpfPixelFormat.dwRGBBitCount, 16u) << C.Name;
        EXPECT_EQ(Desc.ddpfPixelFormat.dwRBitMask, 0xF800u) << C.Name;
        EXPECT_EQ(Desc.ddpfPixelFormat.dwGBitMask, 0x07E0u) << C.Name;
        EXPECT_EQ(Desc.ddpfPixelFormat.dwBBitMask, 0x001Fu) << C.Name;
        EXPECT_EQ(Desc.ddsCaps.dwCaps, C.Caps) << C.Name;
        EXPECT_EQ(Desc.dwBackBufferCount, C.BackBuffers) << C.Name;
        Desc.dwSize = 100;
        EXPECT_EQ(C.Surface->GetSurfaceDesc(&Desc), DDERR_INVALIDPARAMS) << C.Name;
    }
}

TEST_F(SdlVideo, OnlyTheFrontBufferHasAnAttachedBackBuffer) {
    TakeScreen();
    ComPtr<IDirectDrawSurface7> Plain = OffScreen(4, 4);
    DDSCAPS2 BackCaps{DDSCAPS_BACKBUFFER, 0, 0, 0};
    DDSCAPS2 PlainCaps{DDSCAPS_OFFSCREENPLAIN, 0, 0, 0};
    struct Case {
        const char* Name;
        IDirectDrawSurface7* Surface;
        DDSCAPS2* Caps;
        HRESULT Expected;
    } Cases[] = {
        {"FrontBack", Front.Get(), &BackCaps, DD_OK},
        {"FrontPlain", Front.Get(), &PlainCaps, DDERR_NOTFOUND},
        {"BackBack", Back.Get(), &BackCaps, DDERR_NOTFOUND},
        {"PlainBack", Plain.Get(), &BackCaps, DDERR_NOTFOUND},
    };
    for (const Case& C : Cases) {
        ComPtr<IDirectDrawSurface7> Found;
        EXPECT_EQ(C.Surface->GetAttachedSurface(C.Caps, Found.ReleaseAndGetAddressOf()), C.Expected)
            << C.Name;
        if (C.Expected == DD_OK)
            EXPECT_EQ(Found.Get(), Back.Get()) << C.Name; // the same back buffer each time
        else
            EXPECT_FALSE(Found) << C.Name;
    }
}

// ------------------------------------------------------------------ BltFast

TEST_F(SdlVideo, BltFastCopiesAtTheSourceSizeAndClipsToTheDestination) {
    TakeScreen();
    ComPtr<IDirectDrawSurface7> Picture = OffScreen(40, 30);
    Pixels16 Source(Picture.Get());
    Source.Pattern(5);
    const RECT Inner{10, 5, 30, 25}, Bad{10, 5, 10, 25}, Outside{30, 20, 41, 30},
        Negative{-1, 0, 5, 5};
    struct Case {
        const char* Name;
        DWORD X, Y;
        const RECT* Part;
        DWORD Flags;
        HRESULT Expected;
        int DrawnW, DrawnH; // pixels copied from the top-left of the part
    } Cases[] = {
        {"Whole", 0, 0, nullptr, DDBLTFAST_NOCOLORKEY, DD_OK, 40, 30},
        {"Placed", 100, 200, nullptr, DDBLTFAST_WAIT, DD_OK, 40, 30},
        {"Part", 7, 9, &Inner, DDBLTFAST_NOCOLORKEY, DD_OK, 20, 20},
        {"ClippedRight", 620, 10, nullptr, DDBLTFAST_NOCOLORKEY, DD_OK, 20, 30},
        {"ClippedCorner", 630, 475, nullptr, DDBLTFAST_NOCOLORKEY, DD_OK, 10, 5},
        {"LastPixel", 639, 479, &Inner, DDBLTFAST_NOCOLORKEY, DD_OK, 1, 1},
        {"PointOutside", 640, 0, nullptr, DDBLTFAST_NOCOLORKEY, DDERR_INVALIDRECT, 0, 0},
        {"EmptyPart", 0, 0, &Bad, DDBLTFAST_NOCOLORKEY, DDERR_INVALIDRECT, 0, 0},
        {"PartOutsideSource", 0, 0, &Outside, DDBLTFAST_NOCOLORKEY, DDERR_INVALIDRECT, 0, 0},
        {"NegativePart", 0, 0, &Negative, DDBLTFAST_NOCOLORKEY, DDERR_INVALIDRECT, 0, 0},
        {"ColourKey", 0, 0, nullptr, DDBLTFAST_SRCCOLORKEY, DDERR_UNSUPPORTED, 0, 0},
        {"UnknownFlag", 0, 0, nullptr, 0x100, DDERR_INVALIDPARAMS, 0, 0},
    };
    Pixels16 Target(Back.Get());
    for (const Case& C : Cases) {
        Target.Fill(0);
        EXPECT_EQ(Back->BltFast(C.X, C.Y, Picture.Get(), C.Part, C.Flags), C.Expected) << C.Name;
        const int Left = C.Part ? C.Part->left : 0, Top = C.Part ? C.Part->top : 0;
        int Wrong = 0;
        for (int Y = 0; Y < 480; ++Y)
            for (int X = 0; X < 640; ++X) {
                const int Dx = X - static_cast<int>(C.X), Dy = Y - static_cast<int>(C.Y);
                const bool Drawn = Dx >= 0 && Dy >= 0 && Dx < C.DrawnW && Dy < C.DrawnH;
                const std::uint16_t Want = Drawn ? Pixels16::PatternAt(Left + Dx, Top + Dy, 5) : 0;
                if (Target.At(X, Y) != Want && Wrong++ < 3)
                    ADD_FAILURE() << C.Name << ": pixel " << X << "," << Y;
            }
    }
}

TEST_F(SdlVideo, BltFastWithoutSourceDrawsNothingAndAnswersAnError) {
    TakeScreen();
    Pixels16 Target(Back.Get());
    Target.Fill(0x4242);
    EXPECT_EQ(Back->BltFast(0, 0, nullptr, nullptr, 0), DDERR_INVALIDPARAMS);
    for (int Y = 0; Y < 480; ++Y)
        for (int X = 0; X < 640; ++X)
            ASSERT_EQ(Target.At(X, Y), 0x4242) << X << "," << Y;
}

TEST_F(SdlVideo, BltFastWithinOneSurfaceOverlapsSafely) {
    TakeScreen();
    ComPtr<IDirectDrawSurface7> Picture = OffScreen(8, 8);
    Pixels16 P(Picture.Get());
    P.Pattern(9);
    const RECT Upper{0, 0, 8, 6};
    ASSERT_EQ(Picture->BltFast(0, 2, Picture.Get(), &Upper, 0), DD_OK); // moves down by 2
    for (int Y = 2; Y < 8; ++Y)
        for (int X = 0; X < 8; ++X)
            EXPECT_EQ(P.At(X, Y), Pixels16::PatternAt(X, Y - 2, 9)) << X << "," << Y;
}

TEST_F(SdlVideo, FormatsMustMatch) {
    DD = Create();
    ASSERT_EQ(DD->SetCooperativeLevel(Id, DDSCL_NORMAL), DD_OK);
    ComPtr<IDirectDrawSurface7> Wide = OffScreen(4, 4); // no mode set yet: 32 bits
    PixelBuffer View;
    ASSERT_TRUE(DirectDrawSurfacePixels(Wide.Get(), &View));
    EXPECT_EQ(View.BitsPerPixel, 32);
    ASSERT_EQ(DD->SetDisplayMode(640, 480, 16, 0, 0), DD_OK);
    ComPtr<IDirectDrawSurface7> Narrow = OffScreen(4, 4);
    EXPECT_EQ(Narrow->BltFast(0, 0, Wide.Get(), nullptr, 0), DDERR_INVALIDPIXELFORMAT);
}

// -------------------------------------------------------------------- Flip

TEST_F(SdlVideo, FlipShowsTheBackBufferAndKeepsThePreviousPictureBehind) {
    TakeScreen();
    ComPtr<IDirectDrawSurface7> One = OffScreen(640, 480), Two = OffScreen(640, 480);
    Pixels16(One.Get()).Pattern(1);
    Pixels16(Two.Get()).Pattern(2);

    ASSERT_EQ(Back->BltFast(0, 0, One.Get(), nullptr, 0), DD_OK);
    ASSERT_EQ(Front->Flip(nullptr, 0), DD_OK);
    ASSERT_EQ(Back->BltFast(0, 0, Two.Get(), nullptr, 0), DD_OK);
    ASSERT_EQ(Front->Flip(Back.Get(), DDFLIP_WAIT), DD_OK);

    Pixels16 Shown(Front.Get()), Behind(Back.Get());
    for (int Y = 0; Y < 480; Y += 7)
        for (int X = 0; X < 640; X += 5) {
            ASSERT_EQ(Shown.At(X, Y), Pixels16::PatternAt(X, Y, 2)) << X << "," << Y;
            ASSERT_EQ(Behind.At(X, Y), Pixels16::PatternAt(X, Y, 1)) << X << "," << Y;
        }

    ComPtr<IDirectDrawSurface7> Plain = OffScreen(4, 4);
    EXPECT_EQ(Back->Flip(nullptr, 0), DDERR_NOTFLIPPABLE);
    EXPECT_EQ(Plain->Flip(nullptr, 0), DDERR_NOTFLIPPABLE);
    EXPECT_EQ(Front->Flip(Plain.Get(), 0), DDERR_INVALIDPARAMS);
    EXPECT_EQ(Front->Flip(nullptr, 0x40), DDERR_INVALIDPARAMS);
}

// The presented picture fills the display, scaled, and the RGB565 colours
// reach the screen expanded to eight bits a channel.
TEST_F(SdlVideo, FlipPresentsTheFrontBufferScaledToTheDisplay) {
    TakeScreen();
    const std::uint16_t Colours[4] = {0xF800, 0x07E0, 0x001F, 0xA000}; // quadrants
    Pixels16 Target(Back.Get());
    for (int Y = 0; Y < 480; ++Y)
        for (int X = 0; X < 640; ++X)
            Target.At(X, Y) = Colours[(Y >= 240) * 2 + (X >= 320)];
    ASSERT_EQ(Front->Flip(nullptr, 0), DD_OK);

    ScreenShot Shot(Window);
    ASSERT_EQ(Shot.Width, Bounds.w);
    ASSERT_EQ(Shot.Height, Bounds.h);
    // The largest 4:3 area, centred.
    const double Scale = std::min(Shot.Width / 640.0, Shot.Height / 480.0);
    const int Left = static_cast<int>((Shot.Width - 640 * Scale) / 2);
    const int Top = static_cast<int>((Shot.Height - 480 * Scale) / 2);
    const int Right = Shot.Width - 1 - Left, Bottom = Shot.Height - 1 - Top;
    for (int Q = 0; Q < 4; ++Q) {
        const int X = static_cast<int>(Left + (160 + (Q % 2) * 320) * Scale);
        const int Y = static_cast<int>(Top + (120 + (Q / 2) * 240) * Scale);
        EXPECT_TRUE(SameColour(Shot.At(X, Y), Expand565(Colours[Q]))) << "quadrant " << Q;
    }
    EXPECT_TRUE(SameColour(Shot.At(Left, Top), Expand565(Colours[0])));
    EXPECT_TRUE(SameColour(Shot.At(Right, Bottom), Expand565(Colours[3])));
}

// A mode of another aspect than the display keeps its aspect, in black bars.
TEST_F(SdlVideo, FlipLetterboxesAModeOfAnotherAspect) {
    TakeScreen(800, 400, 16); // 2:1 on a 4:3 display
    Pixels16(Back.Get()).Fill(0xFFFF);
    ASSERT_EQ(Front->Flip(nullptr, 0), DD_OK);
    ScreenShot Shot(Window);
    int FirstRow = -1, LastRow = -1;
    for (int Y = 0; Y < Shot.Height; ++Y) {
        const std::uint32_t Pixel = Shot.At(Shot.Width / 2, Y);
        const bool White = SameColour(Pixel, 0xFFFFFF);
        ASSERT_TRUE(Pixel == 0 || White) << std::hex << Pixel << " in row " << std::dec << Y;
        if (White) {
            if (FirstRow < 0)
                FirstRow = Y;
            LastRow = Y;
        }
    }
    const int PictureHeight = LastRow - FirstRow + 1;
    EXPECT_NEAR(PictureHeight, Shot.Width / 2, 1);       // full width, half as high
    EXPECT_NEAR(FirstRow, Shot.Height - 1 - LastRow, 1); // centred
    EXPECT_TRUE(SameColour(Shot.At(0, FirstRow), 0xFFFFFF));
    EXPECT_TRUE(SameColour(Shot.At(Shot.Width - 1, FirstRow), 0xFFFFFF));
}

// --------------------------------------------------------------- focus loss

TEST_F(SdlVideo, FocusLossLosesTheChainUntilBothBuffersAreRestored) {
    TakeScreen();
    ComPtr<IDirectDrawSurface7> Picture = OffScreen(640, 480);
    Pixels16(Picture.Get()).Pattern(3);
    ASSERT_EQ(Back->BltFast(0, 0, Picture.Get(), nullptr, 0), DD_OK);
    ASSERT_EQ(Front->Flip(nullptr, 0), DD_OK);

    // Another window's focus is none of our business.
    SDL_Window* Other = SDL_CreateWindow("other", 0, 0, 10, 10, SDL_WINDOW_HIDDEN);
    LoseFocus(Other);
    EXPECT_EQ(Front->Flip(nullptr, 0), DD_OK);
    SDL_DestroyWindow(Other);

    LoseFocus(Window);
    HDC Dc = 0;
    EXPECT_EQ(Front->Flip(nullptr, 0), DDERR_SURFACELOST);
    EXPECT_EQ(Back->BltFast(0, 0, Picture.Get(), nullptr, 0), DDERR_SURFACELOST);
    EXPECT_EQ(Picture->BltFast(0, 0, Back.Get(), nullptr, 0), DDERR_SURFACELOST);
    EXPECT_EQ(Back->GetDC(&Dc), DDERR_SURFACELOST);
    // Off-screen surfaces stay.
    ComPtr<IDirectDrawSurface7> Copy = OffScreen(640, 480);
    EXPECT_EQ(Copy->BltFast(0, 0, Picture.Get(), nullptr, 0), DD_OK);
    EXPECT_EQ(Picture->Restore(), DD_OK);
    EXPECT_EQ(Picture->GetDC(&Dc), DD_OK);
    EXPECT_EQ(Picture->ReleaseDC(Dc), DD_OK);

    ASSERT_EQ(Front->Restore(), DD_OK);
    EXPECT_EQ(Front->Flip(nullptr, 0), DDERR_SURFACELOST); // the back buffer still is
    ASSERT_EQ(Back->Restore(), DD_OK);
    EXPECT_EQ(Back->Restore(), DD_OK); // nothing lost: nothing to do

    // The memory came back without the picture.
    Pixels16 Shown(Front.Get());
    for (int Y = 0; Y < 480; Y += 3)
        for (int X = 0; X < 640; X += 3)
            ASSERT_EQ(Shown.At(X, Y), 0) << X << "," << Y;
    EXPECT_EQ(Back->BltFast(0, 0, Picture.Get(), nullptr, 0), DD_OK);
    EXPECT_EQ(Front->Flip(nullptr, 0), DD_OK);
    EXPECT_EQ(Pixels16(Front.Get()).At(5, 5), Pixels16::PatternAt(5, 5, 3));
}

TEST_F(SdlVideo, LeavingExclusiveModeLosesTheChainForGood) {
    TakeScreen();
    ASSERT_EQ(DD->SetCooperativeLevel(Id, DDSCL_NORMAL), DD_OK);
    EXPECT_EQ(Front->Flip(nullptr, 0), DDERR_SURFACELOST);
    EXPECT_EQ(Front->Restore(), DDERR_NOEXCLUSIVEMODE);
}

// SDL 2.26 neither frees a renderer with its window nor can free it after:
// the chain leaves it alone (a leak, not a crash).
TEST_F(SdlVideo, ADestroyedWindowFailsThePresentWithoutCrashing) {
    TakeScreen();
#ifdef __SANITIZE_ADDRESS__
    __lsan_ignore_object(SDL_GetRenderer(Window));
#endif
    SDL_DestroyWindow(Window);
    Window = nullptr;
    EXPECT_EQ(Front->Flip(nullptr, 0), DDERR_GENERIC);
    Back.Reset();
    Front.Reset(); // must not free the renderer SDL already freed
}

// ---------------------------------------------------------- device contexts

TEST_F(SdlVideo, ADeviceContextDrawsOnThePixelsAndHoldsTheSurface) {
    TakeScreen();
    ComPtr<IDirectDrawSurface7> Picture = OffScreen(64, 16);
    Pixels16 P(Picture.Get());
    P.Fill(0x1234);

    HDC Dc = 0;
    EXPECT_EQ(Picture->ReleaseDC(0x77), DDERR_NODC);
    ASSERT_EQ(Picture->GetDC(&Dc), DD_OK);
    ASSERT_NE(Dc, 0u);
    HDC Second = 0;
    EXPECT_EQ(Picture->GetDC(&Second), DDERR_DCALREADYCREATED);
    EXPECT_EQ(Second, 0u);
    EXPECT_EQ(Back->BltFast(0, 0, Picture.Get(), nullptr, 0), DDERR_SURFACEBUSY);
    EXPECT_EQ(Picture->BltFast(0, 0, Picture.Get(), nullptr, 0), DDERR_SURFACEBUSY);
    SetBkColor(Dc, RGB(255, 255, 255));
    SetTextColor(Dc, RGB(0, 0, 0));
    EXPECT_TRUE(TextOutA(Dc, 0, 0, "Hi", 2));
    EXPECT_EQ(Picture->ReleaseDC(Dc + 1), DDERR_INVALIDPARAMS);
    ASSERT_EQ(Picture->ReleaseDC(Dc), DD_OK);
    EXPECT_EQ(Picture->ReleaseDC(Dc), DDERR_NODC);

    int White = 0, Black = 0;
    for (int Y = 0; Y < 16; ++Y)
        for (int X = 0; X < 64; ++X) {
            const std::uint16_t Pixel = P.At(X, Y);
            if (X >= 16)
                ASSERT_EQ(Pixel, 0x1234) << X << "," << Y;
            else if (Pixel == 0xFFFF)
                ++White;
            else if (Pixel == 0)
                ++Black;
        }
    EXPECT_EQ(White + Black, 16 * 16);
    EXPECT_GT(Black, 10);
    EXPECT_EQ(Back->BltFast(0, 0, Picture.Get(), nullptr, 0), DD_OK);

    // A context out on the back buffer holds the flip.
    ASSERT_EQ(Back->GetDC(&Dc), DD_OK);
    EXPECT_EQ(Front->Flip(nullptr, 0), DDERR_SURFACEBUSY);
    ASSERT_EQ(Back->ReleaseDC(Dc), DD_OK);
    EXPECT_EQ(Front->Flip(nullptr, 0), DD_OK);
}

// ----------------------------------------------------------- the test seam

TEST(DirectDrawFactory, StandsInForTheImplementationUntilReset) {
    int Calls = 0;
    DirectDrawFactory Previous =
        SetDirectDrawFactory([&](const GUID*, IDirectDraw7** Out, const GUID&, IUnknown*) {
            ++Calls;
            *Out = nullptr;
            return DDERR_NODIRECTDRAWSUPPORT;
        });
    EXPECT_FALSE(Previous);
    IDirectDraw7* Made = nullptr;
    EXPECT_EQ(DirectDrawCreateEx(nullptr, &Made, IID_IDirectDraw7, nullptr),
              DDERR_NODIRECTDRAWSUPPORT);
    EXPECT_EQ(Calls, 1);
    EXPECT_TRUE(SetDirectDrawFactory(nullptr));
    // Back to the real one, which refuses a driver GUID.
    const GUID Driver{1, 2, 3, {}};
    EXPECT_EQ(DirectDrawCreateEx(&Driver, &Made, IID_IDirectDraw7, nullptr),
              DDERR_INVALIDDIRECTDRAWGUID);
    EXPECT_EQ(Calls, 1);
}

} // namespace
