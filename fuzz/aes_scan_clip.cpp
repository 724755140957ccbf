// Any bytes as a scan point or area clipboard record. What is accepted must
// encode back to the same bytes, and place inside every image size.

#include "acquire/core/AesScan.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace AesScan;
    if (auto p = DecodePoint(data, size)) {
        const auto out = EncodePoint(*p);
        if (out.size() != size || std::memcmp(out.data(), data, size) != 0)
            std::abort();
        for (int w : {256, 512, 1024}) {
            const Point q = ScanToImage(*p, w);
            if (q.x < 0 || q.x >= w || q.y < 0 || q.y >= w)
                std::abort();
        }
    }
    if (auto a = DecodeArea(data, size)) {
        const auto out = EncodeArea(*a);
        if (out.size() != size || std::memcmp(out.data(), data, size) != 0)
            std::abort();
        (void)SquaredDistanceToSegment({a->x0, a->y0}, {a->x1, a->y1}, {0, 0});
    }
    return 0;
}
