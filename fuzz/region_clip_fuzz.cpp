// A clipboard block offered as a region record: any bytes, any length.
#include "acquire/core/RegionClip.h"
#include "data/Region.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CRegion region;
    if (RegionClip::Decode(data, size, region))
        (void)RegionClip::Encode(region);
    return 0;
}
