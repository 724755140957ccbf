// The VAMAS reader over arbitrary text.
#include "data/formats/Norvale.h"
#include "platform/File.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CMemFile file(data, size, "fuzz.npl");
    CNorvale model;
    (void)model.ReadVamas(file);
    return 0;
}
