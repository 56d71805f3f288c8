#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"

#include <gtest/gtest.h>

namespace {

struct GoodNumber {
    const char* Text;
    std::int32_t Value;
};

TEST(StrToInt, AcceptsDecimalAndHexadecimalForms) {
    const GoodNumber cases[] = {
        {"0", 0},
        {"3", 3},
        {"+3", 3},
        {"-3", -3},
        {"$3", 3},
        {"0x3", 3},
        {"0X3", 3},
        {"x3", 3},
        {"X3", 3},
        {"   42", 42},
        {"007", 7},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"$7FFFFFFF", 2147483647},
        {"$FFFFFFFF", -1},
        {"0xffffffff", -1},
        {"$80000000", INT32_MIN},
        {"$aBc", 0xABC},
        {"$00000000000001", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(StrToInt(c.Text), c.Value);
    }
}

TEST(StrToInt, RejectsAnythingElseWithTheRuntimeMessage) {
    const char* cases[] = {
        "",       " ",          "3x",        "3.0",      "3 ",       "\t3",       "-",
        "+",      "$",          "0x",        "x",        "-$3",      "+0x3",      "$G",
        "1e3",    "2147483648", "-2147483649", "$100000000", "0x1FFFFFFFF", "3\n", "--3",
        "99999999999999999999",
    };
    for (const char* text : cases) {
        SCOPED_TRACE(std::string("'") + text + "'");
        try {
            StrToInt(text);
            ADD_FAILURE() << "no error";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), std::string("'") + text + "' ist kein gültiger Integerwert");
        }
    }
}

TEST(Trim, DropsBlanksAndControlCharactersAtBothEnds) {
    EXPECT_EQ(Trim(" \t\r\n a b \x01\x1f "), "a b");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(Trim(std::string("\0x\0", 3)), "x");
    EXPECT_EQ(Trim("\x7fx"), "\x7fx"); // 127 is no blank
}

TEST(InOutErrorMessages, FollowTheRuntimeTable) {
    const std::pair<int, const char*> cases[] = {
        {2, "Datei nicht gefunden"},
        {3, "Ungültiger Dateiname"},
        {4, "Zu viele geöffnete Dateien"},
        {5, "Dateizugriff verweigert"},
        {100, "Versuch hinter dem Dateiende zu lesen"},
        {101, "Zu wenig Speicherplatz"},
        {106, "Ungültige numerische Eingabe"},
        {103, "E/A-Fehler 103"},
        {1921, "E/A-Fehler 1921"},
    };
    for (const auto& [code, text] : cases) {
        EInOutError e(code);
        EXPECT_EQ(e.Message(), text) << code;
        EXPECT_EQ(e.ErrorCode, code);
    }
}

TEST(NativePath, TurnsBackslashesIntoFolderSeparators) {
    EXPECT_EQ(NativePath("data\\scene.dat"), "data/scene.dat");
    EXPECT_EQ(NativePath("data/f 1.jpg"), "data/f 1.jpg");
    EXPECT_EQ(NativePath("a\\\\b"), "a//b");
}

} // namespace
