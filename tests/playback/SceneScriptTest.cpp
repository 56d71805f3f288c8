#include "platform/rtl/Exceptions.h"
#include "playback/SceneScript.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>

namespace {

// Slot -> StartFrame of every entry that has one.
using Entries = std::map<std::size_t, std::int32_t>;

Entries SetEntries() {
    Entries set;
    for (std::size_t s = 0; s < SceneTable.size(); ++s) {
        if (SceneTable[s].HasEntry) {
            set[s] = SceneTable[s].StartFrame;
        } else {
            EXPECT_EQ(SceneTable[s].StartFrame, 0) << "slot " << s << " without entry";
        }
    }
    return set;
}

class SceneScript : public ::testing::Test {
protected:
    void SetUp() override { SceneTable.clear(); }
    void TearDown() override { SceneTable.clear(); }

    // Reads Bytes as data\scene.dat from a show folder of its own.
    void Read(const std::string& Bytes) {
        dir.Write("data/scene.dat", Bytes);
        CurrentFolder here(dir.Path());
        ReadSceneScript();
    }

    TempFolder dir;
};

TEST_F(SceneScript, WorkedExample) {
    Read("0 1\r\n2 4\r\n  6   10   first chorus\r\n4 7\r\n9 12\r\n");
    EXPECT_EQ(SceneTable.size(), 10u);
    EXPECT_EQ(SetEntries(), (Entries{{0, 0}, {2, 3}, {4, 6}, {9, 11}}));
}

struct ScriptCase {
    const char* Name;
    std::string Bytes;
    std::size_t Length;
    Entries Set;
};

TEST_F(SceneScript, Cases) {
    const ScriptCase cases[] = {
        {"spaces around and between", "   12     40    \r\n", 13, {{12, 39}}},
        {"second word forms", "0 3\r\n1 +3\r\n2 $3\r\n3 0x3\r\n", 4, {{0, 2}, {1, 2}, {2, 2}, {3, 2}}},
        {"one word takes the earlier second word", "4 9\r\n7\r\n", 8, {{4, 8}, {7, 8}}},
        {"a lower slot cuts the table back", "3 1\r\n8 2\r\n5 3\r\n", 6, {{3, 0}, {5, 2}}},
        {"regrown entries are empty again", "3 1\r\n8 2\r\n2 3\r\n9 4\r\n", 10, {{2, 2}, {9, 3}}},
        {"slot 0 last", "5 1\r\n0 2\r\n", 1, {{0, 1}}},
        {"slot named twice keeps the later frame", "2 1\r\n2 7\r\n", 3, {{2, 6}}},
        {"byte 26 ends the file", "1 1\r\n2 2\x1a\r\nnonsense\r\n", 3, {{1, 0}, {2, 1}}},
        {"further words ignored", "1 2 3 4 5\r\n", 2, {{1, 1}}},
        {"more than 61 words", "1 2" + std::string(200, ' ') + [] {
             std::string s;
             for (int i = 0; i < 100; ++i) s += " w" + std::to_string(i);
             return s;
         }(), 2, {{1, 1}}},
        {"tab and blanks after a space are dropped", "1 \t2\r\n", 2, {{1, 1}}},
        {"frame 0 gives index -1", "1 0\r\n", 2, {{1, -1}}},
        {"lowest frame wraps", "1 -2147483648\r\n", 2, {{1, 2147483647}}},
        {"CR alone ends lines", "1 1\r2 2\r", 3, {{1, 0}, {2, 1}}},
        {"empty file", "", 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        SceneTable.clear();
        Read(c.Bytes);
        EXPECT_EQ(SceneTable.size(), c.Length);
        EXPECT_EQ(SetEntries(), c.Set);
    }
}

struct ErrorCase {
    const char* Name;
    std::string Bytes;
    const char* Message;
    std::size_t LengthAfter; // the table keeps what earlier lines made
};

TEST_F(SceneScript, Errors) {
    const ErrorCase cases[] = {
        {"second word 3x", "1 3x\r\n", "'3x' ist kein gültiger Integerwert", 2},
        {"second word 3.0", "1 3.0\r\n", "'3.0' ist kein gültiger Integerwert", 2},
        {"tab alone separates nothing", "1\t3\r\n", "'1\t3' ist kein gültiger Integerwert", 0},
        {"one word before any two", "7\r\n", "'' ist kein gültiger Integerwert", 8},
        {"empty line", "1 1\r\n\r\n2 2\r\n", "'' ist kein gültiger Integerwert", 2},
        {"LF-only lines are one line", "0 1\n2 4\n", "'1\n2' ist kein gültiger Integerwert", 1},
        {"first bad word reported first", "a b\r\n", "'a' ist kein gültiger Integerwert", 0},
        {"negative slot", "1 1\r\n-1 5\r\n", "Fehler bei Bereichsprüfung", 2},
        {"slot too large to hold", "1 1\r\n2147483647 1\r\n", "Zu wenig Arbeitsspeicher", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        SceneTable.clear();
        try {
            Read(c.Bytes);
            ADD_FAILURE() << "no error";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), c.Message);
        }
        EXPECT_EQ(SceneTable.size(), c.LengthAfter);
    }
}

TEST_F(SceneScript, MissingFileIsAnInOutError) {
    CurrentFolder here(dir.Path());
    try {
        ReadSceneScript();
        ADD_FAILURE() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode, 3); // no data folder at all
    }
    std::filesystem::create_directory(dir.Path() / "data");
    try {
        ReadSceneScript();
        ADD_FAILURE() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.Message(), "Datei nicht gefunden");
    }
}

TEST_F(SceneScript, JumpingBetweenFarSlotsStaysCheap) {
    // Each high line would otherwise clear a quarter million entries again.
    std::string script;
    for (int i = 0; i < 20000; ++i) script += "262143 1\r0 2\r";
    Read(script);
    EXPECT_EQ(SceneTable.size(), 1u);
    EXPECT_EQ(SetEntries(), (Entries{{0, 1}}));
}

struct SplitCase {
    const char* Name;
    std::string Line;
    std::vector<std::string> Words; // places 0.. that must hold these
};

TEST(SplitWords, Cases) {
    const SplitCase cases[] = {
        {"plain", "12 40", {"12", "40"}},
        {"runs of spaces", "  12    40  ", {"12", "40"}},
        {"one word keeps its blanks", " 7\t", {" 7\t", "old1", "old2"}},
        {"blank before a space stays with the word", "1\t 2", {"1\t", "2", "old2"}},
        {"control chars after a space are dropped", "1 \x01\x02 2", {"1", "2", "old2"}},
        {"empty line", "", {"", "old1", "old2"}},
        {"line of blanks", " \t ", {" \t ", "old1", "old2"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TSceneWords words;
        words.fill("");
        words[0] = "old0";
        words[1] = "old1";
        words[2] = "old2";
        SplitWords(c.Line, words);
        for (std::size_t i = 0; i < c.Words.size(); ++i) EXPECT_EQ(words[i], c.Words[i]) << i;
    }
}

TEST(SplitWords, DropsWordsPastTheLastPlace) {
    std::string line;
    for (int i = 0; i < 70; ++i) line += std::to_string(i) + " ";
    TSceneWords words;
    SplitWords(line, words);
    EXPECT_EQ(words[0], "0");
    EXPECT_EQ(words[60], "60");
}

} // namespace
