// Reads a VAMAS file into the import model and prints its shape: the program
// bench_vamas times against xyconv.
#include "data/formats/Norvale.h"
#include "platform/Exceptions.h"
#include "platform/File.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: vamas_read FILE\n");
        return 2;
    }
    try {
        CFile file(argv[1], CFile::modeRead);
        CNorvale model;
        const int result = model.ReadVamas(file);
        if (result != 0) {
            std::fprintf(stderr, "message %d\n", result);
            return 1;
        }
        const CNorvale::Spectrum* s = model.GetSpectrum(0);
        std::printf("%d regions, %d levels, %zu values\n", s->nRgns, s->nLevels, s->m_pdData.size());
    } catch (const CFileException&) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    return 0;
}
