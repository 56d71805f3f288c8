#pragma once
// Helpers shared by the fuzz targets: a scratch file per process, and
// reference versions of the runtime's text and number rules, written
// independently of platform/rtl so a target can compare the two.
//
// Every target runs its input on one thread; the helpers keep no locks.
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace fuzz {

// Stops the run loudly: the fuzzer (or the replay) records the input.
[[noreturn]] inline void Fail(const char* What) {
    std::fprintf(stderr, "fuzz check failed: %s\n", What);
    std::abort();
}

inline void Check(bool Condition, const char* What) {
    if (!Condition)
        Fail(What);
}

// A folder of this process under the temporary folder, removed at exit.
// Fuzzers and replays may run side by side, so the name is unique.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vazu-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            Fail("mkdtemp");
        FPath = pattern;
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(FPath, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Replaces the file Name in the folder with Bytes; returns its path.
    std::string Write(const std::string& Name, const std::uint8_t* Bytes, std::size_t Size) const {
        std::string path = (FPath / Name).string();
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0)
            Fail("cannot create the scratch file");
        std::size_t done = 0;
        while (done < Size) {
            ssize_t n = ::write(fd, Bytes + done, Size - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                Fail("cannot write the scratch file");
            done += static_cast<std::size_t>(n);
        }
        if (::close(fd) != 0)
            Fail("cannot close the scratch file");
        return path;
    }

private:
    std::filesystem::path FPath;
};

inline ScratchFolder& Scratch() {
    static ScratchFolder folder;
    return folder;
}

// The lines of a text file by the runtime's rules: byte 26 ends the file;
// CR or CR LF ends a line; a lone LF is an ordinary byte; a line end at the
// very end starts no further line.
inline std::vector<std::string> ReferenceLines(std::string_view Bytes) {
    std::size_t mark = Bytes.find('\x1a');
    if (mark != std::string_view::npos)
        Bytes = Bytes.substr(0, mark);
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < Bytes.size()) {
        std::size_t cr = Bytes.find('\r', pos);
        if (cr == std::string_view::npos) {
            lines.emplace_back(Bytes.substr(pos));
            break;
        }
        lines.emplace_back(Bytes.substr(pos, cr - pos));
        pos = cr + 1;
        if (pos < Bytes.size() && Bytes[pos] == '\n')
            ++pos;
    }
    return lines;
}

// The runtime's integer conversion, from its rules: optional spaces, then an
// optional sign and decimal digits in the signed 32-bit range, or "$", "x",
// "X", "0x", "0X" and hexadecimal digits whose value fits in 32 bits, taken
// as a signed bit pattern. Nothing may follow. Empty when the text is invalid.
inline std::optional<std::int32_t> ReferenceStrToInt(std::string_view Text) {
    std::size_t first = Text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return std::nullopt;
    std::string_view rest = Text.substr(first);

    std::size_t prefix = 0;
    if (rest[0] == '$' || rest[0] == 'x' || rest[0] == 'X')
        prefix = 1;
    else if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X'))
        prefix = 2;
    if (prefix > 0) {
        std::string_view digits = rest.substr(prefix);
        if (digits.empty() ||
            digits.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos)
            return std::nullopt;
        std::uint64_t value = 0;
        auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
        if (ec != std::errc() || end != digits.data() + digits.size() || value > 0xFFFFFFFFu)
            return std::nullopt;
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    }

    bool negative = false;
    if (rest[0] == '+' || rest[0] == '-') {
        negative = rest[0] == '-';
        rest.remove_prefix(1);
    }
    if (rest.empty() || rest.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    std::int64_t value = 0;
    auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), value, 10);
    if (ec != std::errc() || end != rest.data() + rest.size())
        return std::nullopt;
    if (negative)
        value = -value;
    if (value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

inline bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

inline std::string TrimBlanks(std::string_view s) {
    std::size_t a = 0, b = s.size();
    while (a < b && IsBlank(s[a]))
        ++a;
    while (b > a && IsBlank(s[b - 1]))
        --b;
    return std::string(s.substr(a, b - a));
}

// Cutting a scene line into words, step by step as the reading rules give
// it: T is the trimmed rest, p the 1-based place of its first space. Places
// from MaxWords on are dropped. Words holds what earlier lines left.
inline void ReferenceSplitWords(std::string R, std::vector<std::string>& Words,
                                std::size_t MaxWords) {
    std::size_t i = 0;
    std::string T = TrimBlanks(R);
    std::size_t p = T.find(' ') == std::string::npos ? 0 : T.find(' ') + 1;
    // Past the last place nothing more is stored, so the cutting may stop.
    while (p > 1 && i < MaxWords) {
        Words[i] = T.substr(0, p - 1);
        R = TrimBlanks(std::string_view(T).substr(p));
        T = R;
        ++i;
        p = R.find(' ') == std::string::npos ? 0 : R.find(' ') + 1;
    }
    if (i < MaxWords)
        Words[i] = R;
}

} // namespace fuzz
