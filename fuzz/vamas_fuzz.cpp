// The VAMAS reader over arbitrary text; what it accepts is converted into a
// document, which must save and read back, and written as VAMAS again, which
// must read back too.
#include "FuzzSupport.h"
#include "data/VeltraneDoc.h"
#include "data/formats/Norvale.h"
#include "data/formats/RecordBuilder.h"
#include "data/formats/Vamas.h"
#include "platform/Exceptions.h"
#include "platform/File.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SilenceMessages();
    CMemFile file(data, size, "fuzz.npl");
    CNorvale model;
    if (model.ReadVamas(file) != 0)
        return 0;
    CVeltraneDoc doc;
    if (!ImportedDocument(model, doc))
        return 0;
    CVeltraneDoc reread;
    SaveAndReread(doc, reread);
    // What the program writes of a file it read, it reads again.
    RequireVamasReadsBack(doc);
    return 0;
}
