// The Savitzky-Golay file's parser over arbitrary bytes, both sets; what it
// accepts is filtered once so that the matrices are read where they lie.
#include "analysis/core/SavGol.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    for (int bSmooth : {1, 0}) {
        std::vector<double> coeff;
        if (CSavGol::Parse(bSmooth, data, size, coeff)) {
            double s = 0;
            for (double v : coeff)
                s += v;
            (void)s;
        }
    }
    return 0;
}
