#include "platform/rtl/TextFile.h"

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Paths.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t BufferSize = 64 * 1024;
constexpr char EndOfFileMark = 26;
constexpr int ErrorFileNotOpen = 103;

bool FolderExists(const std::string& path) {
    std::string::size_type slash = path.find_last_of('/');
    if (slash == std::string::npos) return true; // current folder
    std::string folder = slash == 0 ? "/" : path.substr(0, slash);
    struct stat st {};
    return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

int WindowsErrorFromErrno(int Errno, const std::string& Path) {
    switch (Errno) {
    case ENOENT: return FolderExists(Path) ? 2 : 3;
    case ENOTDIR: return 3;
    case ENAMETOOLONG: return 206;
    case EMFILE:
    case ENFILE: return 4;
    case EACCES:
    case EPERM:
    case EISDIR: return 5;
    case ENOMEM: return 8;
    case EIO: return 30;    // read fault
    case ELOOP: return 1921; // the name cannot be resolved
    default: return Errno > 5 ? Errno : 1000 + Errno;
    }
}

TTextFile::TTextFile(std::string Name) : FName(std::move(Name)) {}

TTextFile::~TTextFile() {
    if (FHandle >= 0) ::close(FHandle);
}

void TTextFile::Reset() {
    if (FHandle >= 0) {
        ::close(FHandle);
        FHandle = -1;
    }
    std::string path = NativePath(FName);
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw EInOutError(WindowsErrorFromErrno(errno, path));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        int code = S_ISDIR(st.st_mode) ? 5 : WindowsErrorFromErrno(errno, path);
        ::close(fd);
        throw EInOutError(code);
    }
    FHandle = fd;
    FBuffer.resize(BufferSize);
    FPos = FEnd = 0;
    FEndSeen = false;
}

bool TTextFile::Fill() {
    if (FHandle < 0) throw EInOutError(ErrorFileNotOpen);
    if (FEndSeen) return false;
    for (;;) {
        ssize_t got = ::read(FHandle, FBuffer.data(), FBuffer.size());
        if (got < 0) {
            if (errno == EINTR) continue;
            throw EInOutError(WindowsErrorFromErrno(errno, NativePath(FName)));
        }
        FPos = 0;
        FEnd = static_cast<std::size_t>(got);
        if (got == 0) FEndSeen = true;
        return got > 0;
    }
}

int TTextFile::NextByte() {
    if (FPos == FEnd && !Fill()) return -1;
    return static_cast<unsigned char>(FBuffer[FPos]);
}

bool TTextFile::Eof() {
    int c = NextByte();
    return c < 0 || c == EndOfFileMark;
}

std::string TTextFile::ReadLn() {
    std::string line;
    for (;;) {
        if (FPos == FEnd && !Fill()) return line;
        // Take the run of ordinary bytes in one piece.
        std::size_t start = FPos;
        while (FPos < FEnd && FBuffer[FPos] != '\r' && FBuffer[FPos] != EndOfFileMark) ++FPos;
        line.append(FBuffer.data() + start, FPos - start);
        if (FPos == FEnd) continue;
        if (FBuffer[FPos] == EndOfFileMark) return line; // the mark stays: Eof sees it
        ++FPos; // the CR
        if (NextByte() == '\n') ++FPos;
        return line;
    }
}

void TTextFile::Close() {
    if (FHandle < 0) throw EInOutError(ErrorFileNotOpen);
    int fd = FHandle;
    FHandle = -1;
    if (::close(fd) != 0) throw EInOutError(WindowsErrorFromErrno(errno, NativePath(FName)));
}
