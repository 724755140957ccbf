// Any content of block 196, in a data file whose other blocks are sound, goes
// through the document's reader. Whatever is accepted must fit the document
// and survive a save and a second read byte for byte.

#include "data/Quantify.h"
#include "data/VeltraneDoc.h"
#include "doc_file_builder.h"
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CSilentSink sink;
    SetMessageSink(&sink);
    CDataFileBuilder b;
    b.Header().Experiment().Source().IonGun();
    CDataFileBuilder::SPosnHead head;
    head.levels = {0.0, 1.0};
    size_t at = b.BeginPosn(head, 2);
    b.SpecRgn(7, 2).SpecRgn(3, 2).Count(0);
    b.EndPosn(at);
    at = b.BeginPosn(head, 0);
    b.Count(0);
    b.EndPosn(at);
    b.Opaque(196, 1, std::vector<uint8_t>(data, data + size));
    b.End();

    CMemFile file(b.m_bytes.data(), b.m_bytes.size(), "fuzz.vlt");
    CVeltraneDoc doc;
    if (!doc.ReadFrom(file))
        std::abort(); // the block's content alone must never refuse the file
    const CQuantify& q = *doc.GetQuantify();
    if (q.m_bValid && !q.Matches(doc))
        std::abort();
    CMemFile out;
    {
        CArchive ar(&out, CArchive::store);
        doc.Serialize(ar);
        ar.Close();
    }
    CMemFile back(out.Data().data(), out.Data().size(), "again.vlt");
    CVeltraneDoc again;
    if (!again.ReadFrom(back))
        std::abort();
    // Compared as bytes: results may be NaN, which never equals itself.
    CMemFile twice;
    {
        CArchive ar(&twice, CArchive::store);
        again.Serialize(ar);
        ar.Close();
    }
    if (twice.Data() != out.Data())
        std::abort();
    SetMessageSink(nullptr);
    return 0;
}
