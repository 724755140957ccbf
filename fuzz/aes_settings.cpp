// Any bytes through the AES settings-file reader. What it accepts is written
// and read back, and the second writing equals the first.

#include "FuzzSupport.h"
#include "acquire/core/AesSetup.h"
#include "platform/Archive.h"
#include "platform/File.h"

#include <cstdlib>

namespace {
std::vector<uint8_t> Written(const CAesSetup& setup)
{
    CMemFile out;
    {
        CArchive ar(&out, CArchive::store);
        AesSettingsFile::Store(setup, ar);
        ar.Close();
    }
    return out.Data();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SilenceMessages();
    CMemFile file(data, size, "fuzz.saq");
    CAesSetup setup;
    CAcqError error;
    if (AesSettingsFile::Read(file, "fuzz.saq", setup, error) != AesSettingsFile::Kind::Settings)
        return 0;
    const std::vector<uint8_t> first = Written(setup);
    CMemFile again(first, "again.saq");
    CAesSetup reread;
    if (AesSettingsFile::Read(again, "again.saq", reread, error) != AesSettingsFile::Kind::Settings)
        std::abort(); // the program cannot read what it wrote
    if (Written(reread) != first)
        std::abort();
    return 0;
}
