// Any bytes go through the document's reader. What it accepts must also be
// written, read back and written again to the same bytes.

#include "data/VeltraneDoc.h"
#include "platform/Archive.h"
#include "platform/File.h"
#include "platform/MessageSink.h"

#include <cstdint>
#include <cstdlib>

namespace {

class CSilentSink : public IMessageSink
{
public:
    int ShowMessage(const std::string&, unsigned) override { return IDOK; }
};

std::vector<uint8_t> Write(CVeltraneDoc& doc)
{
    CMemFile out;
    CArchive ar(&out, CArchive::store);
    doc.Serialize(ar);
    ar.Close();
    return out.Data();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CSilentSink sink;
    SetMessageSink(&sink);

    CMemFile file(data, size, "fuzz.vlt");
    CVeltraneDoc doc;
    if (!doc.ReadFrom(file))
        return 0;
    const std::vector<uint8_t> first = Write(doc);
    CMemFile again(first, "again.vlt");
    CVeltraneDoc reread;
    if (!reread.ReadFrom(again))
        std::abort(); // the program cannot read what it wrote
    if (Write(reread) != first)
        std::abort(); // a second save changed the file
    return 0;
}
