// The VAMAS reader over arbitrary text; what it accepts is converted into a
// document and written as VAMAS again.
#include "data/VeltraneDoc.h"
#include "data/formats/Norvale.h"
#include "data/formats/RecordBuilder.h"
#include "data/formats/Vamas.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/MessageSink.h"

#include <cstddef>
#include <cstdint>

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
    CMemFile file(data, size, "fuzz.npl");
    CNorvale model;
    if (model.ReadVamas(file) != 0)
        return 0;
    CVeltraneDoc doc;
    try {
        CRecordBuilder::Convert(doc, model, nullptr);
    } catch (const CUserException&) {
        return 0; // an analyser mode the document cannot hold
    }
    CVamas::Environment env;
    env.userName = "fuzz";
    CVamas writer(&doc, env);
    if (writer.CanWrite() == 0)
        (void)writer.Write();
    return 0;
}
