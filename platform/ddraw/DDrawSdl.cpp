// The DirectDraw stand-in on SDL2: system-memory surfaces, a flipping chain
// presented through an SDL_Renderer and a streaming texture.
#include "platform/ddraw/DDraw.h"
#include "platform/gdi/SurfaceDC.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

struct RendererDeleter {
    void operator()(SDL_Renderer* Renderer) const { SDL_DestroyRenderer(Renderer); }
};
struct TextureDeleter {
    void operator()(SDL_Texture* Texture) const { SDL_DestroyTexture(Texture); }
};

// Larger sides are refused rather than tried.
constexpr DWORD MaxSide = 16384;

struct PixelLayout {
    DWORD Bits;
    DWORD RedMask;
    DWORD GreenMask;
    DWORD BlueMask;
    Uint32 SdlFormat;
};
constexpr PixelLayout Rgb565{16, 0xF800, 0x07E0, 0x001F, SDL_PIXELFORMAT_RGB565};
constexpr PixelLayout Xrgb8888{32, 0x00FF0000, 0x0000FF00, 0x000000FF, SDL_PIXELFORMAT_RGB888};

const PixelLayout* LayoutForBits(DWORD Bits) {
    if (Bits == 16)
        return &Rgb565;
    if (Bits == 32)
        return &Xrgb8888;
    return nullptr;
}

// The pixels of one buffer; rows padded to 4 bytes.
struct Memory {
    DWORD Width = 0;
    DWORD Height = 0;
    LONG Pitch = 0;
    const PixelLayout* Layout = &Xrgb8888;
    std::vector<std::uint8_t> Bytes;

    HRESULT Allocate(DWORD W, DWORD H, const PixelLayout& L) {
        const std::size_t RowBytes = (static_cast<std::size_t>(W) * (L.Bits / 8) + 3) & ~3u;
        try {
            Bytes.assign(RowBytes * H, 0);
        } catch (const std::bad_alloc&) {
            return DDERR_OUTOFMEMORY;
        }
        Width = W;
        Height = H;
        Pitch = static_cast<LONG>(RowBytes);
        Layout = &L;
        return DD_OK;
    }
    void Clear() { std::fill(Bytes.begin(), Bytes.end(), std::uint8_t{0}); }
    PixelBuffer View() {
        PixelBuffer Buffer;
        Buffer.Pixels = Bytes.data();
        Buffer.Width = static_cast<int>(Width);
        Buffer.Height = static_cast<int>(Height);
        Buffer.Pitch = Pitch;
        Buffer.BitsPerPixel = static_cast<int>(Layout->Bits);
        return Buffer;
    }
};

// What an exclusive DirectDraw object shares with its flipping chain. The
// counter may be raised from whichever thread pushes SDL events.
struct ScreenState {
    explicit ScreenState(HWND W) : Window(W) {}
    const HWND Window;
    std::atomic<std::uint32_t> Losses{0}; // focus losses, and the end of exclusive mode
    std::atomic<bool> Ended{false};       // exclusive mode given back
};

int WatchFocus(void* User, SDL_Event* Event) {
    auto* Screen = static_cast<ScreenState*>(User);
    if (Event->type == SDL_WINDOWEVENT && Event->window.event == SDL_WINDOWEVENT_FOCUS_LOST &&
        Event->window.windowID == Screen->Window)
        Screen->Losses.fetch_add(1);
    return 1;
}

// Presenting: the software renderer drawing into the X shared-memory
// framebuffer was measured fastest under Xvfb (bench/display, 1280x1024
// screen): about 1.2 ms a frame, against 3.5 to 8 ms for SDL's OpenGL
// renderers on a software rasteriser and about 7 ms for SDL's accelerated
// window framebuffer. SDL_RENDER_DRIVER still picks another renderer.
SDL_Renderer* CreatePresenter(SDL_Window* Window) {
    SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_DEFAULT);
    SDL_Renderer* Renderer = SDL_CreateRenderer(Window, -1, SDL_RENDERER_SOFTWARE);
    if (Renderer == nullptr)
        Renderer = SDL_CreateRenderer(Window, -1, 0);
    return Renderer;
}

// The texture's format. Software scaling is fast only between equal formats
// (a 16-bit texture stretched onto a 32-bit window costs about 10 ms), so a
// software renderer gets the window's own format and we convert on upload.
Uint32 TextureFormat(SDL_Renderer* Renderer, SDL_Window* Window, Uint32 PictureFormat) {
    SDL_RendererInfo Info{};
    if (SDL_GetRendererInfo(Renderer, &Info) != 0 || (Info.flags & SDL_RENDERER_SOFTWARE) == 0)
        return PictureFormat;
    const Uint32 WindowFormat = SDL_GetWindowPixelFormat(Window);
    if (WindowFormat == SDL_PIXELFORMAT_UNKNOWN || SDL_ISPIXELFORMAT_INDEXED(WindowFormat))
        return PictureFormat;
    return WindowFormat;
}

// The two buffers of a flipping chain and what presents them.
struct FlipChain {
    std::shared_ptr<ScreenState> Screen;
    Memory Buffers[2];
    int Front = 0; // index of the buffer shown
    std::unique_ptr<SDL_Renderer, RendererDeleter> Renderer;
    std::unique_ptr<SDL_Texture, TextureDeleter> Texture;
    Uint32 PictureFormat = 0;
    Uint32 TextureFormat = 0;

    ~FlipChain() {
        // A window destroyed before us took its renderer and textures along.
        if (!OwnsRenderer()) {
            (void)Texture.release();
            (void)Renderer.release();
        }
    }
    bool OwnsRenderer() const {
        SDL_Window* Window = SDL_GetWindowFromID(Screen->Window);
        return Window != nullptr && Renderer && SDL_GetRenderer(Window) == Renderer.get();
    }
    HRESULT Present() {
        if (!OwnsRenderer())
            return DDERR_GENERIC;
        Memory& Shown = Buffers[Front];
        if (TextureFormat == PictureFormat) {
            if (SDL_UpdateTexture(Texture.get(), nullptr, Shown.Bytes.data(), Shown.Pitch) != 0)
                return DDERR_GENERIC;
        } else {
            void* Pixels = nullptr;
            int Pitch = 0;
            if (SDL_LockTexture(Texture.get(), nullptr, &Pixels, &Pitch) != 0)
                return DDERR_GENERIC;
            const int Converted = SDL_ConvertPixels(
                static_cast<int>(Shown.Width), static_cast<int>(Shown.Height), PictureFormat,
                Shown.Bytes.data(), Shown.Pitch, TextureFormat, Pixels, Pitch);
            SDL_UnlockTexture(Texture.get());
            if (Converted != 0)
                return DDERR_GENERIC;
        }
        SDL_SetRenderDrawColor(Renderer.get(), 0, 0, 0, 255);
        SDL_RenderClear(Renderer.get()); // the letterbox bars
        if (SDL_RenderCopy(Renderer.get(), Texture.get(), nullptr, nullptr) != 0)
            return DDERR_GENERIC;
        SDL_RenderPresent(Renderer.get());
        return DD_OK;
    }
};

// One COM reference count: the object frees itself with its last reference.
template <class Interface> class RefCounted : public Interface {
public:
    DWORD AddRef() override { return ++Refs; }
    DWORD Release() override {
        if (--Refs == 0) {
            delete this;
            return 0;
        }
        return Refs;
    }

private:
    DWORD Refs = 1;
};

class SdlSurface final : public RefCounted<IDirectDrawSurface7> {
public:
    enum class Role { OffScreen, Front, Back };

    SdlSurface(Role Kind, DWORD Caps) : Kind(Kind), Caps(Caps) {}

    HRESULT GetAttachedSurface(DDSCAPS2* Wanted, IDirectDrawSurface7** Surface) override {
        if (Surface == nullptr)
            return DDERR_INVALIDPARAMS;
        *Surface = nullptr;
        if (Wanted == nullptr)
            return DDERR_INVALIDPARAMS;
        if (!Attached || (Wanted->dwCaps & ~Attached->Caps) != 0 || Wanted->dwCaps2 != 0 ||
            Wanted->dwCaps3 != 0 || Wanted->dwCaps4 != 0)
            return DDERR_NOTFOUND;
        Attached->AddRef();
        *Surface = Attached.Get();
        return DD_OK;
    }

    HRESULT BltFast(DWORD X, DWORD Y, IDirectDrawSurface7* SourceInterface, const RECT* SourceRect,
                    DWORD Flags) override {
        if (SourceInterface == nullptr)
            return DDERR_INVALIDPARAMS;
        auto* Source = dynamic_cast<SdlSurface*>(SourceInterface);
        if (Source == nullptr)
            return DDERR_INVALIDOBJECT;
        if ((Flags & ~(DDBLTFAST_SRCCOLORKEY | DDBLTFAST_DESTCOLORKEY | DDBLTFAST_WAIT |
                       DDBLTFAST_DONOTWAIT)) != 0)
            return DDERR_INVALIDPARAMS;
        if ((Flags & (DDBLTFAST_SRCCOLORKEY | DDBLTFAST_DESTCOLORKEY)) != 0)
            return DDERR_UNSUPPORTED; // no surface ever has a colour key
        if (Lost() || Source->Lost())
            return DDERR_SURFACELOST;
        if (Dc != 0 || Source->Dc != 0)
            return DDERR_SURFACEBUSY;

        Memory& From = Source->Pixels();
        Memory& To = Pixels();
        if (From.Layout != To.Layout)
            return DDERR_INVALIDPIXELFORMAT;

        RECT Part{0, 0, static_cast<LONG>(From.Width), static_cast<LONG>(From.Height)};
        if (SourceRect != nullptr) {
            Part = *SourceRect;
            if (Part.left < 0 || Part.top < 0 || Part.left >= Part.right ||
                Part.top >= Part.bottom || Part.right > static_cast<LONG>(From.Width) ||
                Part.bottom > static_cast<LONG>(From.Height))
                return DDERR_INVALIDRECT;
        }
        if (X >= To.Width || Y >= To.Height)
            return DDERR_INVALIDRECT;

        // What reaches past the destination is clipped off.
        const DWORD Width = std::min<DWORD>(Part.right - Part.left, To.Width - X);
        const DWORD Height = std::min<DWORD>(Part.bottom - Part.top, To.Height - Y);
        const std::size_t BytesPerPixel = To.Layout->Bits / 8;
        const std::size_t RowBytes = Width * BytesPerPixel;
        auto SourceRow = [&](DWORD Row) {
            return From.Bytes.data() + static_cast<std::size_t>(Part.top + Row) * From.Pitch +
                   static_cast<std::size_t>(Part.left) * BytesPerPixel;
        };
        auto TargetRow = [&](DWORD Row) {
            return To.Bytes.data() + static_cast<std::size_t>(Y + Row) * To.Pitch +
                   static_cast<std::size_t>(X) * BytesPerPixel;
        };
        if (&From == &To && static_cast<LONG>(Y) > Part.top) {
            // Copying down within one buffer: bottom row first.
            for (DWORD Row = Height; Row-- > 0;)
                std::memmove(TargetRow(Row), SourceRow(Row), RowBytes);
        } else {
            for (DWORD Row = 0; Row < Height; ++Row)
                std::memmove(TargetRow(Row), SourceRow(Row), RowBytes);
        }
        return DD_OK;
    }

    HRESULT Flip(IDirectDrawSurface7* Target, DWORD Flags) override {
        if (Kind != Role::Front)
            return DDERR_NOTFLIPPABLE;
        if (Target != nullptr && Target != Attached.Get())
            return DDERR_INVALIDPARAMS;
        if ((Flags & ~(DDFLIP_WAIT | DDFLIP_NOVSYNC | DDFLIP_DONOTWAIT)) != 0)
            return DDERR_INVALIDPARAMS;
        if (Lost() || Attached->Lost())
            return DDERR_SURFACELOST;
        if (Dc != 0 || Attached->Dc != 0)
            return DDERR_SURFACEBUSY;
        Chain->Front = 1 - Chain->Front;
        return Chain->Present();
    }

    HRESULT Restore() override {
        if (!Lost())
            return DD_OK;
        if (Dc != 0)
            return DDERR_SURFACEBUSY;
        if (Chain->Screen->Ended.load())
            return DDERR_NOEXCLUSIVEMODE;
        // The memory comes back; the picture does not.
        Pixels().Clear();
        LossesSeen = Chain->Screen->Losses.load();
        return DD_OK;
    }

    HRESULT GetSurfaceDesc(DDSURFACEDESC2* Desc) override {
        if (Desc == nullptr || Desc->dwSize != sizeof(DDSURFACEDESC2))
            return DDERR_INVALIDPARAMS;
        const Memory& Mem = Pixels();
        *Desc = DDSURFACEDESC2{};
        Desc->dwSize = sizeof(DDSURFACEDESC2);
        Desc->dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
        Desc->dwHeight = Mem.Height;
        Desc->dwWidth = Mem.Width;
        Desc->lPitch = Mem.Pitch;
        if (Kind == Role::Front) {
            Desc->dwFlags |= DDSD_BACKBUFFERCOUNT;
            Desc->dwBackBufferCount = 1;
        }
        Desc->ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
        Desc->ddpfPixelFormat.dwFlags = DDPF_RGB;
        Desc->ddpfPixelFormat.dwRGBBitCount = Mem.Layout->Bits;
        Desc->ddpfPixelFormat.dwRBitMask = Mem.Layout->RedMask;
        Desc->ddpfPixelFormat.dwGBitMask = Mem.Layout->GreenMask;
        Desc->ddpfPixelFormat.dwBBitMask = Mem.Layout->BlueMask;
        Desc->ddsCaps.dwCaps = Caps;
        return DD_OK;
    }

    HRESULT GetDC(HDC* Result) override {
        if (Result == nullptr)
            return DDERR_INVALIDPARAMS;
        *Result = 0;
        if (Lost())
            return DDERR_SURFACELOST;
        if (Dc != 0)
            return DDERR_DCALREADYCREATED;
        Dc = CreateSurfaceDC(Pixels().View());
        if (Dc == 0)
            return DDERR_CANTCREATEDC;
        *Result = Dc;
        return DD_OK;
    }

    HRESULT ReleaseDC(HDC Given) override {
        if (Dc == 0)
            return DDERR_NODC;
        if (Given != Dc)
            return DDERR_INVALIDPARAMS;
        Dc = 0;
        return ReleaseSurfaceDC(Given) ? DD_OK : DDERR_GENERIC;
    }

    Memory& Pixels() {
        if (Kind == Role::OffScreen)
            return Own;
        return Chain->Buffers[Kind == Role::Front ? Chain->Front : 1 - Chain->Front];
    }

    Memory Own;                       // off-screen surfaces
    std::shared_ptr<FlipChain> Chain; // front and back buffer
    ComPtr<SdlSurface> Attached;      // the front buffer's back buffer
    std::uint32_t LossesSeen = 0;     // chain losses when the memory was last given

private:
    ~SdlSurface() override {
        if (Dc != 0)
            ReleaseSurfaceDC(Dc);
    }
    bool Lost() const {
        return Kind != Role::OffScreen && Chain->Screen->Losses.load() != LossesSeen;
    }

    const Role Kind;
    const DWORD Caps;
    HDC Dc = 0;
};

class SdlDirectDraw final : public RefCounted<IDirectDraw7> {
public:
    HRESULT SetCooperativeLevel(HWND Window, DWORD Flags) override {
        if ((Flags & ~(DDSCL_NORMAL | DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN)) != 0)
            return DDERR_UNSUPPORTED;
        if (Flags == DDSCL_NORMAL) {
            LeaveExclusive();
            LevelSet = true;
            return DD_OK;
        }
        if (Flags != (DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN))
            return DDERR_INVALIDPARAMS;
        SDL_Window* SdlWindow = Window != 0 ? SDL_GetWindowFromID(Window) : nullptr;
        if (SdlWindow == nullptr)
            return DDERR_INVALIDPARAMS;
        if (Exclusive)
            return Window == ExclusiveWindow ? DD_OK : DDERR_HWNDALREADYSET;
        if (ExclusiveOwner != nullptr)
            return DDERR_EXCLUSIVEMODEALREADYSET;

        SDL_GetWindowPosition(SdlWindow, &Saved.x, &Saved.y);
        SDL_GetWindowSize(SdlWindow, &Saved.w, &Saved.h);
        SavedFullscreen = SDL_GetWindowFlags(SdlWindow) & SDL_WINDOW_FULLSCREEN_DESKTOP;

        // Place and size it as well: without a window manager nobody acts on
        // the full-screen request. Before the request, as SDL keeps sizes
        // given to a full-screen window for later.
        SDL_Rect Bounds;
        if (SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(SdlWindow)), &Bounds) == 0) {
            SDL_SetWindowPosition(SdlWindow, Bounds.x, Bounds.y);
            SDL_SetWindowSize(SdlWindow, Bounds.w, Bounds.h);
        }
        SDL_SetWindowFullscreen(SdlWindow, SDL_WINDOW_FULLSCREEN_DESKTOP);
        SDL_ShowWindow(SdlWindow); // the screen is ours now, shown or not
        SDL_RaiseWindow(SdlWindow);

        Screen = std::make_shared<ScreenState>(Window);
        SDL_AddEventWatch(WatchFocus, Screen.get());
        Exclusive = true;
        ExclusiveWindow = Window;
        ExclusiveOwner = this;
        LevelSet = true;
        return DD_OK;
    }

    HRESULT SetDisplayMode(DWORD Width, DWORD Height, DWORD BitsPerPixel, DWORD /*RefreshRate*/,
                           DWORD Flags) override {
        if (!LevelSet)
            return DDERR_NOCOOPERATIVELEVELSET;
        if (Flags != 0)
            return DDERR_INVALIDPARAMS;
        const PixelLayout* NewLayout = LayoutForBits(BitsPerPixel);
        if (NewLayout == nullptr || Width == 0 || Height == 0 || Width > MaxSide ||
            Height > MaxSide)
            return DDERR_INVALIDMODE;
        if (!Primary.expired())
            return DDERR_UNSUPPORTED; // a chain of the old size is still out
        ModeWidth = Width;
        ModeHeight = Height;
        Layout = NewLayout;
        return DD_OK;
    }

    HRESULT CreateSurface(DDSURFACEDESC2* Desc, IDirectDrawSurface7** Surface,
                          IUnknown* Outer) override {
        if (Surface == nullptr)
            return DDERR_INVALIDPARAMS;
        *Surface = nullptr;
        if (Desc == nullptr || Desc->dwSize != sizeof(DDSURFACEDESC2) || Outer != nullptr)
            return DDERR_INVALIDPARAMS;
        if (!LevelSet)
            return DDERR_NOCOOPERATIVELEVELSET;
        if ((Desc->dwFlags & ~(DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH |
                               DDSD_BACKBUFFERCOUNT | DDSD_PIXELFORMAT)) != 0)
            return DDERR_INVALIDPARAMS;
        const DDSCAPS2 Caps = (Desc->dwFlags & DDSD_CAPS) ? Desc->ddsCaps : DDSCAPS2{};
        if (Caps.dwCaps2 != 0 || Caps.dwCaps3 != 0 || Caps.dwCaps4 != 0)
            return DDERR_INVALIDCAPS;
        if (Caps.dwCaps & DDSCAPS_PRIMARYSURFACE)
            return CreatePrimary(*Desc, Caps.dwCaps, Surface);
        return CreateOffScreen(*Desc, Caps.dwCaps, Surface);
    }

private:
    ~SdlDirectDraw() override {
        LeaveExclusive();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    HRESULT CreatePrimary(const DDSURFACEDESC2& Desc, DWORD Caps, IDirectDrawSurface7** Surface) {
        constexpr DWORD Known = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX |
                                DDSCAPS_3DDEVICE | DDSCAPS_SYSTEMMEMORY;
        if ((Caps & ~Known) != 0)
            return DDERR_INVALIDCAPS;
        if ((Caps & DDSCAPS_FLIP) == 0)
            return DDERR_UNSUPPORTED; // only a flipping chain is presented
        if ((Caps & DDSCAPS_COMPLEX) == 0)
            return DDERR_INVALIDCAPS;
        if ((Desc.dwFlags & (DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT)) != 0)
            return DDERR_INVALIDPARAMS; // the screen decides those
        if ((Desc.dwFlags & DDSD_BACKBUFFERCOUNT) == 0 || Desc.dwBackBufferCount == 0)
            return DDERR_INVALIDPARAMS;
        if (Desc.dwBackBufferCount != 1)
            return DDERR_UNSUPPORTED;
        if (!Exclusive)
            return DDERR_NOEXCLUSIVEMODE;
        if (!Primary.expired())
            return DDERR_PRIMARYSURFACEALREADYEXISTS;
        SDL_Window* Window = SDL_GetWindowFromID(ExclusiveWindow);
        if (Window == nullptr)
            return DDERR_GENERIC;

        DWORD Width = ModeWidth;
        DWORD Height = ModeHeight;
        if (Width == 0) { // no mode set: the display's own size
            SDL_Rect Bounds;
            if (SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(Window)), &Bounds) != 0)
                return DDERR_GENERIC;
            Width = static_cast<DWORD>(Bounds.w);
            Height = static_cast<DWORD>(Bounds.h);
        }

        auto Chain = std::make_shared<FlipChain>();
        Chain->Screen = Screen;
        for (Memory& Buffer : Chain->Buffers)
            if (HRESULT Result = Buffer.Allocate(Width, Height, *Layout); FAILED(Result))
                return Result;
        Chain->Renderer.reset(CreatePresenter(Window));
        if (!Chain->Renderer)
            return DDERR_GENERIC;
        Chain->PictureFormat = Layout->SdlFormat;
        Chain->TextureFormat = TextureFormat(Chain->Renderer.get(), Window, Layout->SdlFormat);
        Chain->Texture.reset(SDL_CreateTexture(Chain->Renderer.get(), Chain->TextureFormat,
                                               SDL_TEXTUREACCESS_STREAMING, static_cast<int>(Width),
                                               static_cast<int>(Height)));
        if (!Chain->Texture)
            return DDERR_GENERIC;
        SDL_SetTextureBlendMode(Chain->Texture.get(), SDL_BLENDMODE_NONE); // a plain copy
        // Largest size that keeps the aspect, letterboxed.
        SDL_RenderSetLogicalSize(Chain->Renderer.get(), static_cast<int>(Width),
                                 static_cast<int>(Height));

        const DWORD ChainCaps =
            DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_SYSTEMMEMORY | (Caps & DDSCAPS_3DDEVICE);
        auto Back = ComPtr<SdlSurface>::Attach(
            new SdlSurface(SdlSurface::Role::Back, ChainCaps | DDSCAPS_BACKBUFFER));
        auto* Front = new SdlSurface(SdlSurface::Role::Front,
                                     ChainCaps | DDSCAPS_PRIMARYSURFACE | DDSCAPS_FRONTBUFFER);
        Back->Chain = Chain;
        Back->LossesSeen = Screen->Losses.load();
        Front->Chain = Chain;
        Front->LossesSeen = Back->LossesSeen;
        Front->Attached = std::move(Back);
        Primary = Chain;
        *Surface = Front;
        return DD_OK;
    }

    HRESULT CreateOffScreen(const DDSURFACEDESC2& Desc, DWORD Caps, IDirectDrawSurface7** Surface) {
        if ((Caps & ~(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY)) != 0)
            return DDERR_INVALIDCAPS;
        if ((Desc.dwFlags & (DDSD_PITCH | DDSD_BACKBUFFERCOUNT)) != 0)
            return DDERR_INVALIDPARAMS;
        if ((Desc.dwFlags & DDSD_WIDTH) == 0 || (Desc.dwFlags & DDSD_HEIGHT) == 0 ||
            Desc.dwWidth == 0 || Desc.dwHeight == 0 || Desc.dwWidth > MaxSide ||
            Desc.dwHeight > MaxSide)
            return DDERR_INVALIDPARAMS;
        if (Desc.dwFlags & DDSD_PIXELFORMAT) {
            const DDPIXELFORMAT& Format = Desc.ddpfPixelFormat;
            if (Format.dwFlags != DDPF_RGB || Format.dwRGBBitCount != Layout->Bits ||
                Format.dwRBitMask != Layout->RedMask || Format.dwGBitMask != Layout->GreenMask ||
                Format.dwBBitMask != Layout->BlueMask)
                return DDERR_INVALIDPIXELFORMAT; // only the display's own format
        }
        auto Made = ComPtr<SdlSurface>::Attach(new SdlSurface(
            SdlSurface::Role::OffScreen, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY));
        if (HRESULT Result = Made->Own.Allocate(Desc.dwWidth, Desc.dwHeight, *Layout);
            FAILED(Result))
            return Result;
        *Surface = Made.Detach();
        return DD_OK;
    }

    void LeaveExclusive() {
        if (!Exclusive)
            return;
        SDL_DelEventWatch(WatchFocus, Screen.get());
        Screen->Ended.store(true);
        Screen->Losses.fetch_add(1); // a chain still out no longer owns the screen
        Screen.reset();
        if (SDL_Window* Window = SDL_GetWindowFromID(ExclusiveWindow)) {
            SDL_SetWindowFullscreen(Window, SavedFullscreen);
            SDL_SetWindowSize(Window, Saved.w, Saved.h);
            SDL_SetWindowPosition(Window, Saved.x, Saved.y);
        }
        Exclusive = false;
        ExclusiveWindow = 0;
        ExclusiveOwner = nullptr;
    }

    static inline SdlDirectDraw* ExclusiveOwner = nullptr; // one per process

    bool LevelSet = false;
    bool Exclusive = false;
    HWND ExclusiveWindow = 0;
    SDL_Rect Saved{};
    Uint32 SavedFullscreen = 0;
    DWORD ModeWidth = 0;
    DWORD ModeHeight = 0;
    const PixelLayout* Layout = &Xrgb8888;
    std::shared_ptr<ScreenState> Screen;
    std::weak_ptr<FlipChain> Primary;
};

HRESULT CreateSdlDirectDraw(const GUID* Driver, IDirectDraw7** DirectDraw, const GUID& Iid,
                            IUnknown* Outer) {
    if (DirectDraw == nullptr)
        return DDERR_INVALIDPARAMS;
    *DirectDraw = nullptr;
    if (Driver != nullptr)
        return DDERR_INVALIDDIRECTDRAWGUID;
    if (!(Iid == IID_IDirectDraw7) || Outer != nullptr)
        return DDERR_INVALIDPARAMS;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return DDERR_NODIRECTDRAWSUPPORT;
    *DirectDraw = new SdlDirectDraw();
    return DD_OK;
}

DirectDrawFactory& CurrentFactory() {
    static DirectDrawFactory Factory;
    return Factory;
}

} // namespace

HRESULT DirectDrawCreateEx(const GUID* Driver, IDirectDraw7** DirectDraw, const GUID& Iid,
                           IUnknown* Outer) {
    if (const DirectDrawFactory& Factory = CurrentFactory())
        return Factory(Driver, DirectDraw, Iid, Outer);
    return CreateSdlDirectDraw(Driver, DirectDraw, Iid, Outer);
}

DirectDrawFactory SetDirectDrawFactory(DirectDrawFactory Factory) {
    return std::exchange(CurrentFactory(), std::move(Factory));
}

bool DirectDrawSurfacePixels(IDirectDrawSurface7* Surface, PixelBuffer* Pixels) {
    auto* Ours = dynamic_cast<SdlSurface*>(Surface);
    if (Ours == nullptr || Pixels == nullptr)
        return false;
    *Pixels = Ours->Pixels().View();
    return true;
}
