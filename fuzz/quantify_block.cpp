// Any content of block 196, in a data file whose other blocks are sound, goes
// through the document's reader. Whatever is accepted must fit the document
// and survive a save and a second read byte for byte.

#include "FuzzSupport.h"
#include "data/Quantify.h"
#include "data/VeltraneDoc.h"
#include "doc_file_builder.h"
#include "platform/Archive.h"
#include "platform/File.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SilenceMessages();
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
    const std::vector<uint8_t> saved = SavedBytes(doc);
    CMemFile back(saved.data(), saved.size(), "again.vlt");
    CVeltraneDoc again;
    if (!again.ReadFrom(back))
        std::abort();
    // Compared as bytes: results may be NaN, which never equals itself.
    if (SavedBytes(again) != saved)
        std::abort();
    SetMessageSink(nullptr);
    return 0;
}
