// Any bytes go through the document's reader. What it accepts must also be
// written, read back and written again to the same bytes.

#include "FuzzSupport.h"
#include "data/VeltraneDoc.h"
#include "platform/Archive.h"
#include "platform/File.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SilenceMessages();

    CMemFile file(data, size, "fuzz.vlt");
    CVeltraneDoc doc;
    if (!doc.ReadFrom(file))
        return 0;
    RequireStableSave(doc);
    return 0;
}
