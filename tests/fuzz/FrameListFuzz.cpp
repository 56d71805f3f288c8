// Fuzz target: the bytes are a frame list, read through the text-file reader
// with a picture loader that records names instead of decoding. The names
// must be "data/" + each line by the reference line rules, Frames must grow
// by one just before each load, and the progress step must count 2, 3, 4...
// A line ending in '!' makes the loader fail, as a bad picture would: the
// error must arrive unchanged and Frames keep what it got, the failed
// element empty.
#include "platform/rtl/Exceptions.h"
#include "playback/FrameList.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

class ELoadFailed : public Exception {
public:
    using Exception::Exception;
};

bool LoadFails(const std::string& Name) {
    return !Name.empty() && Name.back() == '!';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string path = fuzz::Scratch().Write("frames.dat", Data, Size);
    const std::vector<std::string> lines =
        fuzz::ReferenceLines(std::string_view(reinterpret_cast<const char*>(Data), Size));

    // What the reader should do: load lines up to and including the first
    // one whose load fails.
    std::size_t expectedLoads = lines.size();
    bool expectFailure = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (LoadFails("data/" + lines[i])) {
            expectedLoads = i + 1;
            expectFailure = true;
            break;
        }
    }

    Frames.clear();
    std::vector<std::string> names;
    std::vector<std::int32_t> counts;
    auto load = [&](std::unique_ptr<TSurface>& surface, const std::string& name) {
        fuzz::Check(Frames.size() == names.size() + 1, "Frames did not grow before the load");
        fuzz::Check(&surface == &Frames.back(), "the loader got another element than the new one");
        fuzz::Check(surface == nullptr, "the new element is not empty");
        names.push_back(name);
        if (LoadFails(name))
            throw ELoadFailed(name);
        surface = std::make_unique<TSurface>();
    };
    auto progress = [&](std::int32_t n) { counts.push_back(n); };

    bool failed = false;
    try {
        ReadFrameListFrom(path, load, progress);
    } catch (const ELoadFailed& e) {
        failed = true;
        fuzz::Check(!names.empty() && e.Message() == names.back(), "the load error changed");
    } catch (const Exception&) {
        fuzz::Fail("a file error on a readable list");
    }

    fuzz::Check(failed == expectFailure, "a load error was lost or made up");
    fuzz::Check(names.size() == expectedLoads, "another number of loads than lines");
    for (std::size_t i = 0; i < names.size(); ++i)
        fuzz::Check(names[i] == "data/" + lines[i], "a name is not data/ + the line");
    fuzz::Check(Frames.size() == expectedLoads, "Frames has another length than the loads");
    const std::size_t loaded = expectFailure ? expectedLoads - 1 : expectedLoads;
    for (std::size_t i = 0; i < Frames.size(); ++i)
        fuzz::Check((Frames[i] != nullptr) == (i < loaded), "an element lost or kept wrongly");
    fuzz::Check(counts.size() == loaded, "another number of progress steps than pictures");
    for (std::size_t i = 0; i < counts.size(); ++i)
        fuzz::Check(counts[i] == static_cast<std::int32_t>(i + 2),
                    "progress does not count 2, 3, ...");

    Frames.clear();
    return 0;
}
