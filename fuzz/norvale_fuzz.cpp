// The Norvale reader over arbitrary bytes; what it accepts is converted into a
// document, which must save and read back.
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
    try {
        CRecordBuilder::Convert(doc, model, nullptr);
    } catch (const CUserException&) {
        return 0; // an analyser mode the document cannot hold
    }
    const std::vector<uint8_t> saved = SavedBytes(doc);
    CMemFile again(saved, "again.vlt");
    CVeltraneDoc reread;
    if (!reread.ReadFrom(again))
        __builtin_trap(); // the program cannot read what it made of the file
    return 0;
}
