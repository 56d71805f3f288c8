#include "tools/DemoShow.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "tools/Canvas.h"
#include "tools/JpegWriter.h"
#include "tools/Mp3Writer.h"
#include "tools/ShowPictures.h"
#include "tools/ShowScript.h"
#include "tools/Songs.h"
#include "tools/Synth.h"

namespace {

void WriteFile(const std::filesystem::path& Path, const void* Bytes, std::size_t Size) {
    std::ofstream File(Path, std::ios::binary | std::ios::trunc);
    if (File)
        File.write(static_cast<const char*>(Bytes), static_cast<std::streamsize>(Size));
    if (File)
        File.close();
    if (!File)
        throw std::runtime_error("cannot write " + Path.string());
}

void WriteText(const std::filesystem::path& Path, const std::string& Text) {
    WriteFile(Path, Text.data(), Text.size());
}

void WriteJpeg(const std::filesystem::path& Path, const Canvas& Picture, int Quality) {
    auto Bytes = EncodeJpeg(Picture.ToRgb8(), Picture.Width(), Picture.Height(), Quality);
    WriteFile(Path, Bytes.data(), Bytes.size());
}

int WorkerCount(int Asked) {
    if (Asked > 0)
        return Asked;
    int Cores = static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(Cores, 1, 8);
}

} // namespace

std::vector<std::string> DemoFileNames() {
    std::vector<std::string> Names{"loading.jpg", "frames.dat", "scene.dat"};
    for (const SongFile& S : ShowSongs)
        Names.push_back(S.FileName);
    for (int I = 0; I < ShowFrameCount; ++I)
        Names.push_back(FrameFileName(I));
    return Names;
}

void WriteDemoShow(const std::filesystem::path& ShowFolder, const DemoOptions& Options) {
    const std::filesystem::path Data = ShowFolder / "data";
    std::filesystem::create_directories(Data);
    if (!std::filesystem::is_directory(Data))
        throw std::runtime_error(Data.string() + " is not a folder");

    const std::vector<SceneLook> Looks = MakeSceneLooks(Options.Seed);
    const Mp3Settings Mp3{SongSampleRate, SongChannels, Options.Mp3BitrateKbps, 7};

    // Songs first: they are the longest tasks, so the pictures fill in around them.
    constexpr int SongCount = static_cast<int>(std::size(ShowSongs));
    const int TaskCount = SongCount + 1 + ShowFrameCount;
    auto RunTask = [&](int Task) {
        if (Task < SongCount) {
            const SongFile& Song = ShowSongs[Task];
            auto Bytes = EncodeMp3(ComposeSong(Song.Id, Options.Seed), Mp3);
            WriteFile(Data / Song.FileName, Bytes.data(), Bytes.size());
            return;
        }
        Canvas Picture(ShowWidth, ShowHeight);
        if (Task == SongCount) {
            DrawLoadingPicture(Options.Seed, Picture);
            WriteJpeg(Data / "loading.jpg", Picture, Options.JpegQuality);
            return;
        }
        int Frame = Task - SongCount - 1;
        DrawShowFrame(Frame, Looks, Picture);
        WriteJpeg(Data / FrameFileName(Frame), Picture, Options.JpegQuality);
    };

    std::atomic<int> Next{0};
    std::atomic<bool> Failed{false};
    std::vector<std::exception_ptr> Errors(TaskCount);
    auto Worker = [&] {
        for (int Task; !Failed && (Task = Next++) < TaskCount;) {
            try {
                RunTask(Task);
            } catch (...) {
                Errors[Task] = std::current_exception();
                Failed = true;
            }
        }
    };
    std::vector<std::jthread> Workers;
    for (int I = 0; I < WorkerCount(Options.Threads); ++I)
        Workers.emplace_back(Worker);
    Workers.clear(); // joins
    for (const auto& E : Errors)
        if (E)
            std::rethrow_exception(E);

    WriteText(Data / "frames.dat", FrameListText());
    WriteText(Data / "scene.dat", SceneScriptText(MakeSceneLines()));
}
