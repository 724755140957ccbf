// mkdemo FILE [LEVELS]: writes the demonstration depth profile to FILE.
// mkdemo --aes|--fastprofile|--map|--se|--linescan FILE: the Auger depth
// profile, the fast profile, the 256 x 256 elemental map, the
// secondary-electron image or the line scan.

#include "tools/mkdemo/DemoFile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(
            stderr,
            "usage: mkdemo FILE.vlt [LEVELS]\n       mkdemo --aes|--fastprofile|--map|--se|--linescan FILE.vlt\n");
        return 2;
    }
    std::vector<uint8_t> bytes;
    const char* path = argv[1];
    if (argv[1][0] == '-') {
        if (argc < 3) {
            std::fprintf(stderr, "mkdemo: %s needs a file name\n", argv[1]);
            return 2;
        }
        path = argv[2];
        if (!std::strcmp(argv[1], "--aes"))
            bytes = MakeAesDemoFile();
        else if (!std::strcmp(argv[1], "--fastprofile"))
            bytes = MakeFastProfileFile();
        else if (!std::strcmp(argv[1], "--map"))
            bytes = MakeMapFile();
        else if (!std::strcmp(argv[1], "--se"))
            bytes = MakeSEImageFile();
        else if (!std::strcmp(argv[1], "--linescan"))
            bytes = MakeLineScanFile();
        else {
            std::fprintf(stderr, "mkdemo: unknown kind %s\n", argv[1]);
            return 2;
        }
    } else {
        const int levels = argc > 2 ? std::atoi(argv[2]) : 5;
        if (levels < 1 || levels > 100) {
            std::fprintf(stderr, "mkdemo: LEVELS must be 1 to 100\n");
            return 2;
        }
        bytes = MakeDemoFile(levels);
    }
    FILE* f = std::fopen(path, "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) {
        std::perror(path);
        return 1;
    }
    return 0;
}
