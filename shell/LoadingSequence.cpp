#include "shell/LoadingSequence.h"

#include "display/PictureLoader.h"
#include "platform/ddraw/DDraw.h"
#include "platform/win/User.h"
#include "shell/vazu.h"

#include <cmath>

namespace {

// The progress line counts this many frames as 100 %, whatever the list holds.
constexpr double ProgressFrames = 242.0;

constexpr DWORD ScreenWidth = 640;
constexpr DWORD ScreenHeight = 480;
constexpr DWORD ScreenBits = 16;
constexpr int MixRate = 44000;
constexpr int SongVolume = 200;
constexpr int SongChannel = 1;

FSOUND_SAMPLE* LoadSong(const char* FileName) {
    return FSOUND_Sample_Load(FSOUND_FREE, FileName, FSOUND_2D, 0);
}

void PlaySong(FSOUND_SAMPLE* Sample) {
    FSOUND_PlaySound(SongChannel, Sample);
    FSOUND_SetVolume(SongChannel, SongVolume);
}

} // namespace

long ProgressPercent(std::int32_t Count) {
    return std::lround(Count / ProgressFrames * 100.0);
}

void ShowProgress(std::int32_t Count) {
    const std::string text =
        "Progress: [decrunching GFX: " + std::to_string(ProgressPercent(Count)) + "%]";
    // Font 1 is no font: the device context keeps its default one.
    LoadingSurface->PaintText(1, text, 10, 455, RGB(255, 255, 255), RGB(160, 0, 0));
    Display->BlitSurface(0, 0, LoadingSurface, nullptr);
    Display->ShowBackBuffer();
}

void ShowDisplayError(HRESULT Result, const std::string& Prefix) {
    const std::string text = Prefix + ": \r" + DirectDrawErrorText(Result);
    MessageBoxA(Form1->Handle(), text.c_str(), Form1->Caption().c_str(), MB_OK | MB_ICONERROR);
}

void RunLoadingSequence(TForm1& Form) {
    Display = std::make_unique<TDisplay>();
    const HRESULT result =
        Display->CreateFullScreenDisplay(Form.Handle(), ScreenWidth, ScreenHeight, ScreenBits);
    if (result != S_OK) {
        ShowDisplayError(result, "CreateFullScreenDisplay");
        return;
    }
    ShowCursor(FALSE);
    FSOUND_Init(MixRate, 2, 0);

    LoadJpegSurface(LoadingSurface, "data\\loading.jpg");
    TitleSample = LoadSong("data\\title.mp3");
    PlaySong(TitleSample);

    ReadFrameList(ShowProgress);

    SongSample = LoadSong("data\\vazu.mp3");
    Song1Sample = LoadSong("data\\vazu1.mp3");
    Song2Sample = LoadSong("data\\vazu2.mp3");

    ReadSceneScript();

    TickCount = 0;
    Started = 1;
    Form.ThreadedTimer1->SetEnabled(true);
    PlaySong(SongSample);
}
