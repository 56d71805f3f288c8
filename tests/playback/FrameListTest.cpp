#include "platform/rtl/Exceptions.h"
#include "playback/FrameList.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

namespace {

// Reads a frame list with a loader that records the names it is asked for
// and fails, like the real one, on names it was told are bad.
struct ListRun {
    std::vector<std::string> Names;
    std::vector<std::int32_t> Counts;
    std::vector<std::size_t> LengthAtLoad;
    std::string Error;
};

ListRun ReadList(const std::string& Bytes, const std::string& BadName = "") {
    Frames.clear();
    TempFolder dir;
    auto list = dir.Write("frames.dat", Bytes);
    ListRun run;
    auto load = [&](std::unique_ptr<TSurface>& surface, const std::string& name) {
        run.Names.push_back(name);
        run.LengthAtLoad.push_back(Frames.size());
        if (name == BadName) throw Exception("cannot load " + name);
        surface = std::make_unique<TSurface>();
    };
    try {
        ReadFrameListFrom(list.string(), load, [&](std::int32_t n) { run.Counts.push_back(n); });
    } catch (const Exception& e) {
        run.Error = e.Message();
    }
    return run;
}

struct ListCase {
    const char* Name;
    std::string Bytes;
    std::vector<std::string> Names;
};

TEST(FrameList, NamesAsRead) {
    const ListCase cases[] = {
        {"final line end", "a.jpg\r\nb.jpg\r\nc.jpg\r\n", {"data/a.jpg", "data/b.jpg", "data/c.jpg"}},
        {"no final line end", "a.jpg\r\nb.jpg\r\nc.jpg", {"data/a.jpg", "data/b.jpg", "data/c.jpg"}},
        {"CR alone", "a.jpg\rb.jpg", {"data/a.jpg", "data/b.jpg"}},
        {"LF alone is part of the name", "a.jpg\nb.jpg\n", {"data/a.jpg\nb.jpg\n"}},
        {"trailing and leading spaces kept", " a.jpg  \r\n", {"data/ a.jpg  "}},
        {"empty line", "a.jpg\r\n\r\nb.jpg", {"data/a.jpg", "data/", "data/b.jpg"}},
        {"byte 26 ends the list", "a.jpg\r\nb.jpg\x1a\r\nc.jpg\r\n", {"data/a.jpg", "data/b.jpg"}},
        {"sub folder kept", "sub\\x.jpg", {"data/sub\\x.jpg"}},
        {"empty file", "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        ListRun run = ReadList(c.Bytes);
        EXPECT_EQ(run.Error, "");
        EXPECT_EQ(run.Names, c.Names);
        EXPECT_EQ(Frames.size(), c.Names.size());
        // One progress call per picture: 2, 3, 4, ...; none for an empty list.
        std::vector<std::int32_t> counts;
        for (std::size_t i = 0; i < c.Names.size(); ++i) counts.push_back(static_cast<std::int32_t>(i + 2));
        EXPECT_EQ(run.Counts, counts);
    }
    Frames.clear();
}

TEST(FrameList, GrowsBeforeEachPictureAndKeepsWhatItGotOnFailure) {
    ListRun run = ReadList("a.jpg\r\nbad.jpg\r\nc.jpg\r\n", "data/bad.jpg");
    EXPECT_EQ(run.Error, "cannot load data/bad.jpg");
    EXPECT_EQ(run.LengthAtLoad, (std::vector<std::size_t>{1, 2}));
    EXPECT_EQ(run.Counts, std::vector<std::int32_t>{2});
    ASSERT_EQ(Frames.size(), 2u);
    EXPECT_NE(Frames[0], nullptr);
    EXPECT_EQ(Frames[1], nullptr); // the failed picture leaves its element empty
    Frames.clear();
}

TEST(FrameList, MissingListIsAnInOutError) {
    TempFolder dir;
    std::filesystem::create_directory(dir.Path() / "data");
    CurrentFolder here(dir.Path());
    Frames.clear();
    try {
        ReadFrameList([](std::int32_t) {});
        ADD_FAILURE() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.Message(), "Datei nicht gefunden");
    }
    EXPECT_TRUE(Frames.empty());
}

} // namespace
