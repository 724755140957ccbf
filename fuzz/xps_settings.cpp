// Any bytes through the XPS settings-file reader. What it accepts must be
// written and read back to the same bytes.

#include "FuzzSupport.h"
#include "acquire/core/XpsSetup.h"
#include "platform/File.h"

#include "platform/Archive.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SilenceMessages();
    CMemFile file(data, size, "fuzz.saq");
    CXpsSetup setup;
    CAcqError error;
    if (XpsSettingsFile::Read(file, "fuzz.saq", setup, error) != XpsSettingsFile::Kind::Settings)
        return 0;
    CMemFile out;
    {
        CArchive ar(&out, CArchive::store);
        XpsSettingsFile::Store(setup, ar);
        ar.Close();
    }
    CMemFile again(out.Data(), "again.saq");
    CXpsSetup reread;
    if (XpsSettingsFile::Read(again, "again.saq", reread, error) != XpsSettingsFile::Kind::Settings)
        std::abort(); // the program cannot read what it wrote
    return 0;
}
