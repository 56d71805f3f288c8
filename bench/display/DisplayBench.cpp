// The presenter's cost per frame: one 640x480 blit to the back buffer plus
// one flip, on the real SDL stand-in. Run it on a real X server or Xvfb
// (SDL_VIDEODRIVER unset); SDL_RENDER_DRIVER picks another renderer to
// compare. The label names the renderer and the window's size.
#include "display/DDUtil.h"
#include "platform/gdi/SurfaceDC.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

namespace {

struct Screen {
    Screen() {
        if (SDL_Init(SDL_INIT_VIDEO) != 0) {
            Error = SDL_GetError();
            return;
        }
        Window = SDL_CreateWindow("bench", 328, 258, 688, 453,
                                  SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN);
        if (Window == nullptr) {
            Error = SDL_GetError();
            return;
        }
        if (Display.CreateFullScreenDisplay(SDL_GetWindowID(Window), 640, 480, 16) != S_OK) {
            Error = "CreateFullScreenDisplay failed";
            return;
        }
        // Let the window reach its full-screen size before measuring.
        for (int I = 0; I < 20; ++I) {
            SDL_PumpEvents();
            SDL_Delay(10);
        }
        DDSURFACEDESC2 Desc{};
        Desc.dwSize = sizeof(Desc);
        Desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
        Desc.dwWidth = 640;
        Desc.dwHeight = 480;
        Desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        Frame = std::make_unique<TSurface>();
        PixelBuffer Pixels;
        if (Frame->CreateSurface(Display.DDObject(), &Desc) != S_OK ||
            !DirectDrawSurfacePixels(Frame->DDSurface().Get(), &Pixels)) {
            Error = "frame surface failed";
            return;
        }
        for (int Y = 0; Y < Pixels.Height; ++Y)
            for (int X = 0; X < Pixels.Width; ++X)
                reinterpret_cast<std::uint16_t*>(Pixels.Pixels + Y * Pixels.Pitch)[X] =
                    static_cast<std::uint16_t>(X * 31 + Y * 2048);
        SDL_RendererInfo Info{};
        SDL_GetRendererInfo(SDL_GetRenderer(Window), &Info);
        int W = 0, H = 0;
        SDL_GetWindowSize(Window, &W, &H);
        SDL_Rect Bounds{};
        SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(Window)), &Bounds);
        Label = std::string(Info.name ? Info.name : "?") + " window " + std::to_string(W) + "x" +
                std::to_string(H) + " display " + std::to_string(Bounds.w) + "x" +
                std::to_string(Bounds.h);
    }
    ~Screen() {
        Frame.reset();
        Display.ReleaseObjects();
        if (Window != nullptr)
            SDL_DestroyWindow(Window);
        SDL_Quit();
    }

    SDL_Window* Window = nullptr;
    TDisplay Display;
    std::unique_ptr<TSurface> Frame;
    std::string Error;
    std::string Label;
};

void BM_BlitAndFlip(benchmark::State& State) {
    Screen S;
    if (!S.Error.empty()) {
        State.SkipWithError(S.Error.c_str());
        return;
    }
    for (auto _ : State) {
        benchmark::DoNotOptimize(S.Display.BlitSurface(0, 0, S.Frame, nullptr));
        benchmark::DoNotOptimize(S.Display.ShowBackBuffer());
    }
    State.SetLabel(S.Label);
}
BENCHMARK(BM_BlitAndFlip)->Unit(benchmark::kMicrosecond);

void BM_BlitOnly(benchmark::State& State) {
    Screen S;
    if (!S.Error.empty()) {
        State.SkipWithError(S.Error.c_str());
        return;
    }
    for (auto _ : State)
        benchmark::DoNotOptimize(S.Display.BlitSurface(0, 0, S.Frame, nullptr));
    State.SetLabel(S.Label);
}
BENCHMARK(BM_BlitOnly)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
