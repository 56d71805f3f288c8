// LoadJpegSurface: JPEG files made at test time become surfaces of their own
// size, checked through the pixels that reach the surface, first behind
// recording fakes of DirectDraw, then on the real SDL stand-in.
#include "display/PictureLoader.h"
#include "display/DisplayInstance.h"
#include "platform/graphics/GraphicsErrors.h"
#include "tests/display/Fakes.h"
#include "tests/graphics/JpegFixtures.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <SDL.h>
#include <jerror.h>

#include <cstring>
#include <filesystem>
#include <functional>

namespace {

using fixtures::Ink;
using fixtures::JpegRecipe;

// Keeps a copy of every description it is given (the caller's is gone
// once the loader returns).
class CopyingDirectDraw : public FakeDirectDraw {
public:
    using FakeDirectDraw::FakeDirectDraw;
    HRESULT CreateSurface(DDSURFACEDESC2* Desc, IDirectDrawSurface7** Surface,
                          IUnknown* Outer) override {
        Copies.push_back(*Desc);
        return FakeDirectDraw::CreateSurface(Desc, Surface, Outer);
    }
    std::vector<DDSURFACEDESC2> Copies;
};

// Display made on fakes; its DirectDraw object then makes the fake surface
// "Picture" for the loader.
struct FakeDisplay {
    FakeDisplay() {
        DD.Made = &Front;
        Front.Attached = &Back;
        Factory.Next(&DD);
        Display = std::make_unique<TDisplay>();
        EXPECT_EQ(Display->CreateFullScreenDisplay(7, 640, 480, 16), S_OK);
        DD.Made = &Picture;
        DD.Copies.clear();
        Log.clear();
    }
    ~FakeDisplay() { Display.reset(); }

    CallLog Log;
    CopyingDirectDraw DD{Log, "DD"};
    FakeSurface Front{Log, "Front"};
    FakeSurface Back{Log, "Back"};
    FakeSurface Picture{Log, "Picture"};
    FactoryScope Factory{Log};
};

std::uint16_t Rgb565(int R, int G, int B) {
    return static_cast<std::uint16_t>(((R >> 3) << 11) | ((G >> 2) << 5) | (B >> 3));
}

bool Called(const CallLog& Log, const std::string& Prefix) {
    for (const std::string& Call : Log)
        if (Call.rfind(Prefix, 0) == 0)
            return true;
    return false;
}

// The expected surface pixel of a fixture at (x, y): the library's own decode
// in RGB565. Grey pictures are quantised to 236 levels on the way, so they
// may be one step off; four-ink fixtures are one flat colour.
struct Expectation {
    fixtures::Decoded Reference;
    int Tolerance = 0;
    std::uint16_t At(int x, int y) const {
        if (Reference.Components == 1) {
            const int v = Reference.Channel(x, y, 0);
            return Rgb565(v, v, v);
        }
        return Rgb565(Reference.Channel(x, y, 0), Reference.Channel(x, y, 1),
                      Reference.Channel(x, y, 2));
    }
};

// Differences per field (red, green, blue) of two RGB565 pixels.
int FieldDistance(std::uint16_t A, std::uint16_t B) {
    const int r = std::abs((A >> 11) - (B >> 11));
    const int g = std::abs(((A >> 5) & 63) - ((B >> 5) & 63));
    const int b = std::abs((A & 31) - (B & 31));
    return std::max({r, g, b});
}

TEST(LoadJpegSurface, PicturesBecomeSurfacesOfTheirOwnSize) {
    struct Case {
        const char* Name;
        JpegRecipe Recipe;
        int Tolerance; // RGB565 steps
    };
    const std::vector<Case> cases = {
        {"1x1", {1, 1}, 0},
        {"3x5", {3, 5}, 0},
        {"641x479", {641, 479}, 0},
        {"640x480 progressive", {640, 480, Ink::Colour, true}, 0},
        {"grey 33x17", {33, 17, Ink::Grey}, 1},
        {"grey progressive 8x8", {8, 8, Ink::Grey, true}, 1},
    };
    TempFolder folder;
    CurrentFolder here(folder.Path());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string bytes = fixtures::EncodeJpeg(c.Recipe);
        folder.Write("data/pic.jpg", bytes);
        FakeDisplay Show;
        Show.Picture.UsePixels(c.Recipe.Width, c.Recipe.Height, 0x1234);
        std::unique_ptr<TSurface> Surface;

        LoadJpegSurface(Surface, "data\\pic.jpg");

        ASSERT_TRUE(Surface);
        EXPECT_EQ(Surface->DDSurface().Get(), &Show.Picture);
        // The description: zero-filled, then exactly these fields.
        ASSERT_EQ(Show.DD.Copies.size(), 1u);
        DDSURFACEDESC2 want{}; // all zero: DWORD fields only, no padding
        want.dwSize = 124;
        want.dwFlags = 7;
        want.dwHeight = static_cast<DWORD>(c.Recipe.Height);
        want.dwWidth = static_cast<DWORD>(c.Recipe.Width);
        want.ddsCaps.dwCaps = 0x40;
        EXPECT_EQ(std::memcmp(&Show.DD.Copies[0], &want, sizeof want), 0) << Joined(Show.Log);
        // Made first, then painted.
        ASSERT_FALSE(Show.Log.empty());
        EXPECT_EQ(Show.Log.front().rfind("DD.CreateSurface(", 0), 0u) << Joined(Show.Log);
        EXPECT_TRUE(Called(Show.Log, "Picture.ReleaseDC")) << Joined(Show.Log);

        const Expectation expect{fixtures::DecodeReference(bytes), c.Tolerance};
        int mismatches = 0;
        for (int y = 0; y < c.Recipe.Height; ++y)
            for (int x = 0; x < c.Recipe.Width; ++x)
                if (FieldDistance(Show.Picture.At(x, y), expect.At(x, y)) > c.Tolerance &&
                    ++mismatches <= 3)
                    ADD_FAILURE() << "at " << x << "," << y << ": " << Hex(Show.Picture.At(x, y))
                                  << " instead of " << Hex(expect.At(x, y));
        EXPECT_EQ(mismatches, 0);
        Surface.reset();
    }
}

TEST(LoadJpegSurface, FourInkPicturesAreShownInTheirColours) {
    // Adobe-style inverted inks for c 0.2, m 0.6, y 0.1, k 0.3: RGB 143, 71, 161.
    JpegRecipe recipe{20, 10, Ink::Cmyk};
    recipe.Quality = 100;
    const std::uint8_t inks[4] = {255 - 51, 255 - 153, 255 - 26, 255 - 77};
    std::copy(inks, inks + 4, recipe.Inks);
    TempFolder folder;
    const auto file = folder.Write("cmyk.jpg", fixtures::EncodeJpeg(recipe));
    FakeDisplay Show;
    Show.Picture.UsePixels(20, 10, 0x1234);
    std::unique_ptr<TSurface> Surface;
    LoadJpegSurface(Surface, file.string());
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_LE(FieldDistance(Show.Picture.At(x, y), Rgb565(143, 71, 161)), 1)
                << "at " << x << "," << y << ": " << Hex(Show.Picture.At(x, y));
    Surface.reset();
}

TEST(LoadJpegSurface, ErrorsLeaveTheVariableAsItWasAndMakeNoSurface) {
    TempFolder folder;
    const std::string good = fixtures::EncodeJpeg({8, 8});
    folder.Write("data/empty.jpg", "");
    folder.Write("data/text.jpg", "GIF89a, not a JPEG");
    folder.Write("data/header-cut.jpg", good.substr(0, 20));
    folder.Write("data/huge.jpg", fixtures::WithFrameHeader(good, 8, 8, 20000));
    std::filesystem::create_directories(folder.Path() / "data/dir.jpg");
    CurrentFolder here(folder.Path());

    enum class Raises { Open, Jpeg };
    struct Case {
        std::string Name;
        Raises What;
        int Code;
    };
    const std::vector<Case> cases = {
        {"data\\missing.jpg", Raises::Open, 0},
        {"data\\dir.jpg", Raises::Open, 0},
        {"nowhere\\frame.jpg", Raises::Open, 0},
        {"data\\empty.jpg", Raises::Jpeg, JERR_INPUT_EMPTY},
        {"data\\text.jpg", Raises::Jpeg, JERR_NO_SOI},
        {"data\\huge.jpg", Raises::Jpeg, JERR_IMAGE_TOO_BIG},
    };
    for (const Case& c : cases) {
        for (bool holding : {false, true}) {
            SCOPED_TRACE(c.Name + (holding ? ", variable holding a surface" : ", empty variable"));
            FakeDisplay Show;
            std::unique_ptr<TSurface> Surface;
            TSurface* before = nullptr;
            if (holding) {
                Surface = std::make_unique<TSurface>();
                before = Surface.get();
            }
            try {
                LoadJpegSurface(Surface, c.Name);
                ADD_FAILURE() << "nothing raised";
            } catch (const EFOpenError& e) {
                EXPECT_EQ(c.What, Raises::Open);
                EXPECT_EQ(e.Message(), "Datei " + c.Name +
                                           " kann nicht ge\xC3\xB6"
                                           "ffnet werden");
            } catch (const EJPEG& e) {
                EXPECT_EQ(c.What, Raises::Jpeg);
                EXPECT_EQ(e.Code, c.Code);
                EXPECT_EQ(e.Message(), "JPEG-Fehler #" + std::to_string(c.Code));
            }
            EXPECT_EQ(Surface.get(), before);
            EXPECT_FALSE(Called(Show.Log, "DD.CreateSurface")) << Joined(Show.Log);
        }
    }
    // A header cut short is the library's error as well, whatever its code.
    FakeDisplay Show;
    std::unique_ptr<TSurface> Surface;
    EXPECT_THROW(LoadJpegSurface(Surface, "data\\header-cut.jpg"), EJPEG);
    EXPECT_FALSE(Surface);
}

TEST(LoadJpegSurface, ASurfaceTheDisplayRefusesIsNotReported) {
    TempFolder folder;
    const auto file = folder.Write("p.jpg", fixtures::EncodeJpeg({4, 4}));
    struct Case {
        const char* Name;
        std::function<void(FakeDisplay&)> Arrange;
    };
    const std::vector<Case> cases = {
        {"CreateSurface fails", [](FakeDisplay& s) { s.DD.SurfaceResult = DDERR_OUTOFMEMORY; }},
        {"painting fails", [](FakeDisplay& s) { s.Picture.GetDCResult = DDERR_SURFACELOST; }},
        {"no display", [](FakeDisplay&) { Display.reset(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        FakeDisplay Show;
        Show.Picture.UsePixels(4, 4, 0x1234);
        c.Arrange(Show);
        std::unique_ptr<TSurface> Surface;
        ASSERT_NO_THROW(LoadJpegSurface(Surface, file.string()));
        ASSERT_TRUE(Surface);
        EXPECT_EQ(Show.Picture.At(0, 0), 0x1234) << "nothing painted";
        // A refused surface stays empty for good; painting it is refused.
        if (!Surface->DDSurface()) {
            EXPECT_EQ(Surface->PaintText(0, "x", 0, 0, 0, 0), E_INVALIDARG);
        }
        Surface.reset();
    }
}

TEST(LoadJpegSurface, ASurfaceHeldBeforeIsReplacedAndReleased) {
    TempFolder folder;
    const auto file = folder.Write("p.jpg", fixtures::EncodeJpeg({4, 4}));
    FakeDisplay Show;
    FakeSurface Old(Show.Log, "Old");
    std::unique_ptr<TSurface> Surface = std::make_unique<TSurface>();
    Show.DD.Made = &Old;
    DDSURFACEDESC2 desc{};
    desc.dwSize = 124;
    ASSERT_EQ(Surface->CreateSurface(&Show.DD, &desc), S_OK);
    Show.DD.Made = &Show.Picture;
    Show.Picture.UsePixels(4, 4, 0x1234);
    LoadJpegSurface(Surface, file.string());
    EXPECT_EQ(Old.Refs, 0u);
    EXPECT_EQ(Surface->DDSurface().Get(), &Show.Picture);
    Surface.reset();
}

// ---------------------------------------------------------------- real SDL

struct SdlWindow {
    SdlWindow() {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
            return;
        Window = SDL_CreateWindow("picture loader test", 0, 0, 320, 240, SDL_WINDOW_HIDDEN);
    }
    ~SdlWindow() {
        if (Window)
            SDL_DestroyWindow(Window);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    SDL_Window* Window = nullptr;
};

TEST(LoadJpegSurfaceOnSdl, PixelsReachTheDisplaysSurfaces) {
    SdlWindow sdl;
    ASSERT_NE(sdl.Window, nullptr) << SDL_GetError();
    Display = std::make_unique<TDisplay>();
    ASSERT_EQ(Display->CreateFullScreenDisplay(SDL_GetWindowID(sdl.Window), 640, 480, 16), S_OK);
    struct Case {
        const char* Name;
        JpegRecipe Recipe;
        int Tolerance;
    };
    const std::vector<Case> cases = {
        {"641x479", {641, 479}, 0},
        {"grey 17x9", {17, 9, Ink::Grey}, 1},
    };
    TempFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string bytes = fixtures::EncodeJpeg(c.Recipe);
        const auto file = folder.Write("p.jpg", bytes);
        std::unique_ptr<TSurface> Surface;
        LoadJpegSurface(Surface, file.string());
        ASSERT_TRUE(Surface);
        ComPtr<IDirectDrawSurface7> dd = Surface->DDSurface();
        PixelBuffer pixels;
        ASSERT_TRUE(DirectDrawSurfacePixels(dd.Get(), &pixels));
        ASSERT_EQ(pixels.Width, c.Recipe.Width);
        ASSERT_EQ(pixels.Height, c.Recipe.Height);
        ASSERT_EQ(pixels.BitsPerPixel, 16);
        const Expectation expect{fixtures::DecodeReference(bytes), c.Tolerance};
        int mismatches = 0;
        for (int y = 0; y < c.Recipe.Height; ++y)
            for (int x = 0; x < c.Recipe.Width; ++x) {
                std::uint16_t got;
                std::memcpy(&got, pixels.Pixels + y * pixels.Pitch + x * 2, 2);
                if (FieldDistance(got, expect.At(x, y)) > c.Tolerance && ++mismatches <= 3)
                    ADD_FAILURE() << "at " << x << "," << y << ": " << Hex(got);
            }
        EXPECT_EQ(mismatches, 0);
    }
    Display.reset();
}

} // namespace
