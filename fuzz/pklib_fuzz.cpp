// The peak-library loader over arbitrary text.
#include "data/formats/PkLib.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    CPkLib lib;
    (void)lib.Load(in);
    for (const CPkLibElement& e : lib.m_Elements)
        for (int i = -1; i <= e.GetNumPhotoPeaks() + e.GetNumAugerPeaks(); ++i)
            (void)lib.CalculateRSF(&e, i, 18, 1486.6);
    return 0;
}
