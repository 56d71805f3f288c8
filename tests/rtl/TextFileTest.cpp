#include "platform/rtl/Exceptions.h"
#include "platform/rtl/TextFile.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

std::vector<std::string> ReadAllLines(const std::string& Name) {
    TTextFile file(Name);
    std::vector<std::string> lines;
    file.Reset();
    while (!file.Eof()) lines.push_back(file.ReadLn());
    file.Close();
    return lines;
}

struct LineCase {
    const char* Name;
    std::string Bytes;
    std::vector<std::string> Lines;
};

TEST(TextFile, LineRules) {
    const std::string eof(1, '\x1a');
    const LineCase cases[] = {
        {"empty file", "", {}},
        {"CR LF ends", "a\r\nb\r\n", {"a", "b"}},
        {"no final line end", "a\r\nb", {"a", "b"}},
        {"CR alone ends", "a\rb\r", {"a", "b"}},
        {"LF alone is ordinary", "0 1\n2 4\n", {"0 1\n2 4\n"}},
        {"LF CR", "a\n\rb", {"a\n", "b"}},
        {"empty lines count", "\r\n\r\nx\r\n\r\n", {"", "", "x", ""}},
        {"single line end", "\r\n", {""}},
        {"CR CR LF", "a\r\r\nb", {"a", "", "b"}},
        {"byte 26 ends the file", "a\r\nb" + eof + "c\r\nd\r\n", {"a", "b"}},
        {"byte 26 right after a line end", "a\r\n" + eof + "b", {"a"}},
        {"byte 26 first", eof + "a", {}},
        {"NUL is ordinary", std::string("a\0b", 3), {std::string("a\0b", 3)}},
        {"high bytes", "\xe4\xf6\xfc", {"\xe4\xf6\xfc"}},
    };
    TempFolder dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        auto path = dir.Write("t.txt", c.Bytes);
        EXPECT_EQ(ReadAllLines(path.string()), c.Lines);
    }
}

TEST(TextFile, LinesLongerThanTheBufferAndLineEndsAcrossIt) {
    TempFolder dir;
    // A CR LF pair split by the reader's 64 KiB buffer boundary, and a line of 1 MiB.
    std::string first(64 * 1024 - 1, 'a');
    std::string longLine(1 << 20, 'b');
    auto path = dir.Write("long.txt", first + "\r\n" + longLine + "\r\nend");
    EXPECT_EQ(ReadAllLines(path.string()), (std::vector<std::string>{first, longLine, "end"}));
}

TEST(TextFile, BackslashSeparatesFoldersAndMessagesKeepTheName) {
    TempFolder dir;
    dir.Write("data/list.dat", "x\r\n");
    CurrentFolder here(dir.Path());
    EXPECT_EQ(ReadAllLines("data\\list.dat"), std::vector<std::string>{"x"});
}

struct OpenError {
    const char* Name;
    const char* File;
    int Code;
    const char* Message;
};

TEST(TextFile, OpenErrorsCarryWindowsCodes) {
    TempFolder dir;
    dir.Write("data/present.dat", "x");
    std::filesystem::create_directories(dir.Path() / "data" / "folder.dat");
    std::filesystem::create_symlink("loop", dir.Path() / "data" / "loop");
    CurrentFolder here(dir.Path());
    const OpenError cases[] = {
        {"missing file", "data\\missing.dat", 2, "Datei nicht gefunden"},
        {"missing folder", "nodata\\scene.dat", 3, "Ungültiger Dateiname"},
        {"file used as folder", "data\\present.dat\\x", 3, "Ungültiger Dateiname"},
        {"folder opened as file", "data\\folder.dat", 5, "Dateizugriff verweigert"},
        {"link loop", "data\\loop", 1921, "E/A-Fehler 1921"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TTextFile file(c.File);
        try {
            file.Reset();
            ADD_FAILURE() << "opened";
        } catch (const EInOutError& e) {
            EXPECT_EQ(e.ErrorCode, c.Code);
            EXPECT_EQ(e.Message(), c.Message);
        }
    }
}

TEST(TextFile, AccessDeniedIsCode5) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
    TempFolder dir;
    auto path = dir.Write("secret.dat", "x");
    std::filesystem::permissions(path, std::filesystem::perms::none);
    TTextFile file(path.string());
    try {
        file.Reset();
        ADD_FAILURE() << "opened";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode, 5);
    }
}

TEST(TextFile, TooManyOpenFilesIsCode4) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizers' runtime needs descriptors of its own while we hold none";
#endif
    TempFolder dir;
    auto path = dir.Write("a.dat", "x");
    rlimit old{};
    getrlimit(RLIMIT_NOFILE, &old);
    // Leave no descriptor free: the current highest plus one.
    int probe = dup(0);
    ASSERT_GE(probe, 0);
    close(probe);
    rlimit tight = old;
    tight.rlim_cur = static_cast<rlim_t>(probe);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    int code = 0;
    try {
        TTextFile file(path.string());
        file.Reset();
    } catch (const EInOutError& e) {
        code = e.ErrorCode;
    }
    setrlimit(RLIMIT_NOFILE, &old);
    EXPECT_EQ(code, 4);
}

TEST(TextFile, OperationsOnAClosedFileFailWithCode103) {
    TempFolder dir;
    auto path = dir.Write("a.dat", "x\r\n");
    TTextFile file(path.string());
    EXPECT_THROW(file.Eof(), EInOutError);
    file.Reset();
    file.Close();
    for (int step = 0; step < 3; ++step) {
        try {
            if (step == 0) file.Eof();
            if (step == 1) file.ReadLn();
            if (step == 2) file.Close();
            ADD_FAILURE() << "step " << step << " did not fail";
        } catch (const EInOutError& e) {
            EXPECT_EQ(e.ErrorCode, 103) << step;
        }
    }
}

} // namespace
