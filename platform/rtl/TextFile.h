#pragma once
// Reading the show's text files (the scene script and the frame list), line
// by line, with the runtime's rules:
//  - a line ends at CR or at CR LF; a lone LF is an ordinary character;
//  - byte 26 ends the file, wherever it stands;
//  - the last line needs no line end, and a line end at the very end of the
//    file starts no further line;
//  - lines may be of any length; empty lines are lines like any other.
// The file is opened read-only; nothing is ever written.
//
// Every operation raises EInOutError when it fails, with a Windows error code:
// 2 file not found, 3 folder not found, 4 too many open files, 5 access
// denied (also a folder opened as a file), 103 file not open; other system
// errors keep a code of their own. Main thread only; not copyable.
#include <cstddef>
#include <string>
#include <vector>

class TTextFile {
public:
    // Name as the data gives it; a backslash separates folders.
    explicit TTextFile(std::string Name);
    ~TTextFile(); // closes quietly if still open
    TTextFile(const TTextFile&) = delete;
    TTextFile& operator=(const TTextFile&) = delete;

    void Reset();         // opens the file for reading
    bool Eof();           // true at the end of the file or at byte 26
    std::string ReadLn(); // the next line, without its line end
    void Close();

    const std::string& Name() const { return FName; }

private:
    bool Fill(); // false at the physical end of the file
    int NextByte(); // -1 at the end of the file

    std::string FName;
    int FHandle = -1;
    std::vector<char> FBuffer;
    std::size_t FPos = 0;
    std::size_t FEnd = 0;
    bool FEndSeen = false;
};

// The Windows error code for a POSIX errno of a failed open of Path.
int WindowsErrorFromErrno(int Errno, const std::string& Path);
