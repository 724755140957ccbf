// Any bytes as an Auger sensitivity-factor library: the reader never reads
// past its input, every entry it keeps has a symbol and finite numbers, and a
// factor it gives is finite.

#include "analysis/core/QuantifyAESLib.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CQuantifyAESLib lib;
    const bool loaded = lib.LoadText(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!loaded && !lib.GetPeaks().empty())
        std::abort();
    for (const CQuantifyAESLibPk& pk : lib.GetPeaks()) {
        if (pk.m_csSymbol.empty() || !std::isfinite(pk.m_dRSF) || !std::isfinite(pk.m_dEnergy))
            std::abort();
        for (double beam : {1000.0, 5000.0, 1e6})
            if (!std::isfinite(lib.GetRSF(pk.m_csSymbol, pk.m_csTransition, beam)))
                std::abort();
    }
    std::string list;
    lib.GetElementList(list, "\n");
    return 0;
}
