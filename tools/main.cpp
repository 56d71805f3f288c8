// vazu-demo <show-folder>: writes the built-in demo show into <show-folder>/data.
#include <cstdio>
#include <exception>
#include <string>

#include "tools/DemoShow.h"

int main(int Argc, char** Argv) {
    if (Argc == 2 && (std::string(Argv[1]) == "-h" || std::string(Argv[1]) == "--help")) {
        std::printf("usage: vazu-demo <show-folder>\n"
                    "Writes the built-in demo show (pictures, songs, frame list, scene script)\n"
                    "into <show-folder>/data, making the folders when missing.\n");
        return 0;
    }
    if (Argc != 2 || Argv[1][0] == '\0') {
        std::fprintf(stderr, "usage: vazu-demo <show-folder>\n");
        return 2;
    }
    try {
        WriteDemoShow(Argv[1]);
    } catch (const std::exception& E) {
        std::fprintf(stderr, "vazu-demo: %s\n", E.what());
        return 1;
    }
    std::printf("vazu-demo: wrote the demo show into %s/data\n", Argv[1]);
    return 0;
}
