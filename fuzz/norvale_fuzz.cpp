// The Norvale reader over arbitrary bytes; what it accepts is converted into a
// document, which must save and read back to the same file, and export as
// VAMAS to a file that opens again.
#include "FuzzSupport.h"
#include "data/VeltraneDoc.h"
#include "data/formats/Norvale.h"
#include "data/formats/RecordBuilder.h"
#include "platform/Exceptions.h"
#include "platform/File.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SilenceMessages();
    CMemFile file(data, size, "fuzz.dat");
    CNorvale model;
    if (model.ReadNorvale(file) != 0)
        return 0;
    CVeltraneDoc doc;
    if (!ImportedDocument(model, doc))
        return 0;
    RequireStableSave(doc);
    RequireVamasReadsBack(doc);
    return 0;
}
