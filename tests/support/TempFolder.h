#pragma once
// A fresh folder under the system's temporary folder, removed with its
// contents when the test ends. Tests run in parallel: every folder is unique.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vazu-test-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        FPath = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(FPath, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return FPath; }

    // Writes Bytes to the relative Name (folders made as needed); returns the full path.
    std::filesystem::path Write(const std::string& Name, const std::string& Bytes) const {
        std::filesystem::path file = FPath / Name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream out(file, std::ios::binary);
        out.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
        return file;
    }

private:
    std::filesystem::path FPath;
};

// Runs the test body with the current folder set to Folder, and back after.
class CurrentFolder {
public:
    explicit CurrentFolder(const std::filesystem::path& Folder)
        : FOld(std::filesystem::current_path()) {
        std::filesystem::current_path(Folder);
    }
    ~CurrentFolder() { std::filesystem::current_path(FOld); }

private:
    std::filesystem::path FOld;
};
