// Any bytes as the regions section of an AES settings file. What it accepts
// must be written and read back to the same bytes; what it refuses must
// leave the model as it was.

#include "FuzzSupport.h"
#include "acquire/core/AesRegions.h"
#include "platform/Archive.h"
#include "platform/Exceptions.h"
#include "platform/File.h"

#include <cstdlib>

namespace {
std::vector<uint8_t> Stored(const CAesRgnModel& m)
{
    CMemFile out;
    {
        CArchive ar(&out, CArchive::store);
        m.Store(ar);
        ar.Close();
    }
    return out.Data();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SilenceMessages();
    CAesRgnModel model;
    model.OnExpTypeChange(1);
    const std::vector<uint8_t> before = Stored(model);
    try {
        CMemFile file(data, size, "fuzz.saq");
        CArchive ar(&file, CArchive::load);
        model.Load(ar);
    } catch (const CArchiveException&) {
        if (Stored(model) != before)
            std::abort(); // a refused section changed the model
        return 0;
    } catch (const CFileException&) {
        return 0;
    }
    const std::vector<uint8_t> bytes = Stored(model);
    CAesRgnModel again;
    CMemFile file(bytes, "again.saq");
    CArchive ar(&file, CArchive::load);
    again.Load(ar);
    if (Stored(again) != bytes)
        std::abort(); // the program cannot read what it wrote
    return 0;
}
