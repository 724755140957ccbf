// Any bytes as the regions section of an AES settings file. What it accepts
// must be written and read back to the same bytes; what it refuses must
// leave the model as it was.

#include "FuzzSupport.h"
#include "acquire/core/AesRegions.h"
#include "platform/Archive.h"
#include "platform/Exceptions.h"
#include "platform/File.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SilenceMessages();
    CAesRgnModel model;
    model.OnExpTypeChange(1);
    const std::vector<uint8_t> before = StoredBytes(model);
    try {
        CMemFile file(data, size, "fuzz.saq");
        CArchive ar(&file, CArchive::load);
        model.Load(ar);
    } catch (const CArchiveException&) {
        if (StoredBytes(model) != before)
            std::abort(); // a refused section changed the model
        return 0;
    } catch (const CFileException&) {
        return 0;
    }
    RequireStoreRoundTrip(model);
    return 0;
}
