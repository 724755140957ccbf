// mkdemo [--aes] FILE [LEVELS]: writes the demonstration depth profile (XPS,
// or Auger with --aes) to FILE.

#include "tools/mkdemo/DemoFile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    const bool aes = argc > 1 && std::strcmp(argv[1], "--aes") == 0;
    if (aes) {
        --argc;
        ++argv;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: mkdemo [--aes] FILE.vlt [LEVELS]\n");
        return 2;
    }
    const int levels = argc > 2 ? std::atoi(argv[2]) : 5;
    if (levels < 1 || levels > 100) {
        std::fprintf(stderr, "mkdemo: LEVELS must be 1 to 100\n");
        return 2;
    }
    const std::vector<uint8_t> bytes = aes ? MakeAesDemoFile(levels) : MakeDemoFile(levels);
    FILE* f = std::fopen(argv[1], "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
