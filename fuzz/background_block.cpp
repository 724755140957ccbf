// Any content of block 169, in a data file whose other blocks are sound, goes
// through the document's reader. Whatever is accepted must match the
// document, index only its regions, and survive a save and a second read.

#include "FuzzSupport.h"
#include "data/Background.h"
#include "data/SpecRgn.h"
#include "data/StagePosn.h"
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
    b.Opaque(169, 1, std::vector<uint8_t>(data, data + size));
    CDataFileBuilder::SPosnHead head;
    head.levels = {0.0};
    size_t at = b.BeginPosn(head, 2);
    b.SpecRgn(7, 1).SpecRgn(3, 1).Count(0);
    b.EndPosn(at);
    at = b.BeginPosn(head, 0);
    b.Count(0);
    b.EndPosn(at);
    b.End();

    CMemFile file(b.m_bytes.data(), b.m_bytes.size(), "fuzz.vlt");
    CVeltraneDoc doc;
    if (!doc.ReadFrom(file))
        std::abort(); // the block's content alone must never refuse the file
    CBackground* bkg = doc.GetBackgroundSubtract();
    bkg->SetUp(doc);
    for (int p = 0; p < doc.GetNumStagePosns(); ++p)
        for (int r = 0; r < doc.GetStagePosn(p)->GetNumSpecRgns(); ++r)
            if (!bkg->GetLimits(p, r))
                std::abort();
    const std::vector<uint8_t> saved = SavedBytes(doc);
    CMemFile back(saved.data(), saved.size(), "again.vlt");
    CVeltraneDoc again;
    if (!again.ReadFrom(back) || again.GetBackgroundSubtract()->GetAll() != bkg->GetAll())
        std::abort();
    SetMessageSink(nullptr);
    return 0;
}
