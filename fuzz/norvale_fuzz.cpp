// The Norvale reader over arbitrary bytes.
#include "data/formats/Norvale.h"
#include "platform/File.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CMemFile file(data, size, "fuzz.dat");
    CNorvale model;
    (void)model.ReadNorvale(file);
    return 0;
}
