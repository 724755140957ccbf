// Any bytes opened as the program opens a file: classified by their first
// bytes, then read by the own, Norvale or VAMAS reader through the document.
// What opens must save, and the saved file must open to the same bytes; its
// VAMAS export must open again.

#include "FuzzSupport.h"
#include "data/VeltraneDoc.h"
#include "data/formats/ImportReaders.h"
#include "platform/Exceptions.h"
#include "platform/File.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SilenceMessages();
    static const bool registered = (RegisterImportReaders(), true);
    (void)registered;

    CMemFile file(data, size, "fuzz.vlt");
    try {
        if (CVeltraneDoc::ClassifyFile(file) == CVeltraneDoc::DocTemplate::None)
            return 0;
    } catch (const CUserException&) {
        return 0; // refused with its message
    }
    CVeltraneDoc doc;
    if (!doc.ReadFrom(file))
        return 0;
    RequireStableSave(doc);
    RequireVamasReadsBack(doc);
    return 0;
}
