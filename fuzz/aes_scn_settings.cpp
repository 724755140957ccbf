// Any bytes as the scan-control section of an AES settings file. A short or
// corrupt section must change nothing; an accepted one must store back to the
// bytes it was read from.

#include "FuzzSupport.h"
#include "acquire/core/AesScnModel.h"
#include "platform/Archive.h"
#include "platform/Exceptions.h"
#include "platform/File.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SilenceMessages();
    CMemFile file(data, size, "fuzz.saq");
    CAesScnModel model;
    model.m_Points = {{1, 2}};
    size_t used = 0;
    try {
        CArchive ar(&file, CArchive::load);
        model.Load(ar);
        used = size_t(ar.GetPosition());
    } catch (const CArchiveException&) {
        if (model.m_Points.size() != 1 || model.m_Points[0].x != 1 || !model.m_Areas.empty())
            std::abort(); // a refused section changed the model
        return 0;
    }
    CMemFile out;
    {
        CArchive ar(&out, CArchive::store);
        model.Store(ar);
        ar.Close();
    }
    if (out.Data().size() != used || std::memcmp(out.Data().data(), data, used) != 0)
        std::abort();
    return 0;
}
