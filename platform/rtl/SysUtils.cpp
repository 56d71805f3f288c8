#include "platform/rtl/SysUtils.h"

#include "platform/rtl/Exceptions.h"

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

} // namespace

bool TryStrToInt(std::string_view Text, std::int32_t& Value) {
    std::size_t i = 0;
    while (i < Text.size() && Text[i] == ' ') ++i;
    std::string_view rest = Text.substr(i);

    std::size_t hexStart = 0;
    if (rest.starts_with('$') || rest.starts_with('x') || rest.starts_with('X')) {
        hexStart = 1;
    } else if (rest.starts_with("0x") || rest.starts_with("0X")) {
        hexStart = 2;
    }
    if (hexStart > 0) {
        std::string_view digits = rest.substr(hexStart);
        if (digits.empty()) return false;
        std::uint64_t v = 0;
        for (char c : digits) {
            int d = HexDigit(c);
            if (d < 0) return false;
            v = v * 16 + static_cast<unsigned>(d);
            if (v > 0xFFFFFFFFull) return false;
        }
        Value = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
        return true;
    }

    bool negative = false;
    if (rest.starts_with('+') || rest.starts_with('-')) {
        negative = rest[0] == '-';
        rest.remove_prefix(1);
    }
    if (rest.empty()) return false;
    const std::uint64_t limit = negative ? 2147483648ull : 2147483647ull;
    std::uint64_t v = 0;
    for (char c : rest) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<unsigned>(c - '0');
        if (v > limit) return false;
    }
    Value = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(v))
                     : static_cast<std::int32_t>(v);
    return true;
}

std::int32_t StrToInt(std::string_view Text) {
    std::int32_t value = 0;
    if (!TryStrToInt(Text, value))
        throw EConvertError("'" + std::string(Text) + "' ist kein gültiger Integerwert");
    return value;
}

std::string Trim(std::string_view Text) {
    std::size_t first = 0;
    std::size_t last = Text.size();
    while (first < last && IsBlank(Text[first])) ++first;
    while (last > first && IsBlank(Text[last - 1])) --last;
    return std::string(Text.substr(first, last - first));
}
