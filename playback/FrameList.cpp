#include "playback/FrameList.h"

#include "display/PictureLoader.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/TextFile.h"

#include <new>

std::vector<std::unique_ptr<TSurface>> Frames;

void ReadFrameListFrom(const std::string& ListName, const TPictureLoader& Load,
                       const TProgressStep& ProgressStep) {
    TTextFile file(ListName);
    file.Reset();
    std::int32_t n = 1;
    while (!file.Eof()) {
        const std::string line = file.ReadLn();
        try {
            Frames.resize(static_cast<std::size_t>(n));
        } catch (const std::bad_alloc&) {
            throw EOutOfMemory();
        }
        Load(Frames[static_cast<std::size_t>(n - 1)], "data/" + line);
        ++n;
        if (ProgressStep) ProgressStep(n);
    }
    file.Close();
}

void ReadFrameList(const TProgressStep& ProgressStep) {
    ReadFrameListFrom("data\\frames.dat", LoadJpegSurface, ProgressStep);
}
