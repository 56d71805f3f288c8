// The picture loader's cost per 640x480 frame: LoadJpegSurface (read the
// file, decode into a bitmap, make the surface, convert onto it) against a
// plain in-memory libjpeg decode plus RGB565 conversion of the same files in
// the same run. Goal: the loader at most 1.2 times the plain path; the
// PipelineOverPlain counters report the ratio, timed interleaved so both see
// the same machine load.
//
// Surfaces live in system memory, so SDL's video driver does not matter; it
// defaults to "offscreen" here.
#include "display/DisplayInstance.h"
#include "display/PictureLoader.h"
#include "tests/graphics/JpegFixtures.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include <time.h>

namespace {

constexpr int FrameCount = 8;
constexpr int Width = 640;
constexpr int Height = 480;

// Frames that cost what photographs cost: smooth areas, edges and noise.
std::string MakeFrame(int Index) {
    std::mt19937 random(static_cast<unsigned>(Index) + 1);
    std::vector<std::uint8_t> rgb(std::size_t(Width) * Height * 3);
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            std::uint8_t* p = &rgb[(std::size_t(y) * Width + x) * 3];
            const int noise = static_cast<int>(random() % 24);
            p[0] = static_cast<std::uint8_t>((x + Index * 40) * 255 / (Width + 320) + noise / 2);
            p[1] = static_cast<std::uint8_t>(((x / 40 + y / 40 + Index) % 2) ? 200 - noise
                                                                             : 60 + noise);
            p[2] = static_cast<std::uint8_t>((y * 255) / Height ^ (x & 0x1F));
        }
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = Width;
    info.image_height = Height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = &rgb[std::size_t(info.next_scanline) * Width * 3];
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::string bytes(reinterpret_cast<char*>(out), size);
    std::free(out);
    return bytes;
}

// Plain path: decode from memory with libjpeg's defaults, then RGB565.
void PlainDecode(const std::string& Bytes, std::vector<std::uint8_t>& Rgb) {
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(Bytes.data()), Bytes.size());
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    Rgb.resize(std::size_t(info.output_width) * info.output_height * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = &Rgb[std::size_t(info.output_scanline) * info.output_width * 3];
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
}

void ToRgb565(const std::vector<std::uint8_t>& Rgb, std::vector<std::uint16_t>& Out) {
    Out.resize(Rgb.size() / 3);
    for (std::size_t i = 0; i < Out.size(); ++i) {
        const std::uint8_t* p = &Rgb[i * 3];
        Out[i] = static_cast<std::uint16_t>(((p[0] >> 3) << 11) | ((p[1] >> 2) << 5) | (p[2] >> 3));
    }
}

struct Setup {
    Setup() {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        char pattern[] = "/tmp/vazu-bench-XXXXXX";
        if (!mkdtemp(pattern)) {
            Error = "mkdtemp failed";
            return;
        }
        Folder = pattern;
        for (int i = 0; i < FrameCount; ++i) {
            Frames.push_back(MakeFrame(i));
            Files.push_back((Folder / ("frame" + std::to_string(i) + ".jpg")).string());
            std::ofstream(Files.back(), std::ios::binary) << Frames.back();
            Bytes += Frames.back().size();
        }
        if (SDL_Init(SDL_INIT_VIDEO) != 0) {
            Error = SDL_GetError();
            return;
        }
        Window = SDL_CreateWindow("bench", 0, 0, 640, 480, SDL_WINDOW_HIDDEN);
        if (!Window) {
            Error = SDL_GetError();
            return;
        }
        Display = std::make_unique<TDisplay>();
        if (Display->CreateFullScreenDisplay(SDL_GetWindowID(Window), 640, 480, 16) != S_OK)
            Error = "CreateFullScreenDisplay failed";
    }
    ~Setup() {
        Display.reset();
        if (Window)
            SDL_DestroyWindow(Window);
        SDL_Quit();
        std::error_code ec;
        std::filesystem::remove_all(Folder, ec);
    }
    std::filesystem::path Folder;
    std::vector<std::string> Frames;
    std::vector<std::string> Files;
    std::size_t Bytes = 0;
    SDL_Window* Window = nullptr;
    std::string Error;
};

Setup& Shared() {
    static Setup setup;
    return setup;
}

void BM_LoadJpegSurface(benchmark::State& State) {
    Setup& s = Shared();
    if (!s.Error.empty()) {
        State.SkipWithError(s.Error.c_str());
        return;
    }
    int i = 0;
    for (auto _ : State) {
        std::unique_ptr<TSurface> surface;
        LoadJpegSurface(surface, s.Files[i++ % FrameCount]);
        benchmark::DoNotOptimize(surface.get());
    }
    State.SetLabel(std::to_string(s.Bytes / FrameCount / 1024) + " KiB per file");
}
BENCHMARK(BM_LoadJpegSurface)->Unit(benchmark::kMillisecond);

void BM_PlainDecode(benchmark::State& State) {
    Setup& s = Shared();
    std::vector<std::uint8_t> rgb;
    int i = 0;
    for (auto _ : State) {
        PlainDecode(s.Frames[i++ % FrameCount], rgb);
        benchmark::DoNotOptimize(rgb.data());
    }
}
BENCHMARK(BM_PlainDecode)->Unit(benchmark::kMillisecond);

void BM_PlainDecodeAndConvert(benchmark::State& State) {
    Setup& s = Shared();
    std::vector<std::uint8_t> rgb;
    std::vector<std::uint16_t> out;
    int i = 0;
    for (auto _ : State) {
        PlainDecode(s.Frames[i++ % FrameCount], rgb);
        ToRgb565(rgb, out);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_PlainDecodeAndConvert)->Unit(benchmark::kMillisecond);

// This thread's processor time: on a shared machine it does not count the
// time other processes hold the processor.
struct ThreadClock {
    using duration = std::chrono::nanoseconds;
    using time_point = std::chrono::time_point<ThreadClock, duration>;
    static time_point now() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return time_point(duration(std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec));
    }
};

// Both paths interleaved, frame by frame, in processor time; the ratio is
// the goal's measure.
void BM_PipelineOverPlain(benchmark::State& State) {
    Setup& s = Shared();
    if (!s.Error.empty()) {
        State.SkipWithError(s.Error.c_str());
        return;
    }
    using Clock = ThreadClock;
    std::vector<std::uint8_t> rgb;
    std::vector<std::uint16_t> out;
    Clock::duration pipeline{}, plain{};
    long long frames = 0;
    int i = 0;
    for (auto _ : State) {
        const int f = i++ % FrameCount;
        const auto t0 = Clock::now();
        {
            std::unique_ptr<TSurface> surface;
            LoadJpegSurface(surface, s.Files[f]);
            benchmark::DoNotOptimize(surface.get());
        }
        const auto t1 = Clock::now();
        PlainDecode(s.Frames[f], rgb);
        ToRgb565(rgb, out);
        benchmark::DoNotOptimize(out.data());
        const auto t2 = Clock::now();
        pipeline += t1 - t0;
        plain += t2 - t1;
        ++frames;
    }
    const auto ms = [&](Clock::duration d) {
        return std::chrono::duration<double, std::milli>(d).count() / double(frames ? frames : 1);
    };
    State.counters["pipeline_ms"] = ms(pipeline);
    State.counters["plain_ms"] = ms(plain);
    State.counters["ratio"] = ms(plain) > 0 ? ms(pipeline) / ms(plain) : 0;
}
BENCHMARK(BM_PipelineOverPlain)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
