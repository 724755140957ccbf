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
    const std::vector<uint8_t> first = SavedBytes(doc);
    CMemFile again(first, "again.vlt");
    CVeltraneDoc reread;
    if (!reread.ReadFrom(again))
        std::abort(); // the program cannot read what it wrote
    if (SavedBytes(reread) != first)
        std::abort(); // a second save changed the file
    return 0;
}
