// Any bytes as the stored settings value: the records take only usable
// values, and what they write reads back to itself.

#include "data/Registry.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CRegistry::LoadValue(data, size);
    const std::vector<uint8_t> stored = CRegistry::StoreValue();
    if (stored.size() != CRegistry::ValueSize)
        std::abort();
    const int units = CRegistry::m_CVeltrane.m_DefaultXPSUnits;
    const int mode = CRegistry::m_COptions.m_iProfileMode;
    if ((units != 2 && units != 3) || mode < 0 || mode > 2)
        std::abort();
    CRegistry::LoadValue(stored.data(), stored.size());
    if (CRegistry::StoreValue() != stored)
        std::abort();
    return 0;
}
