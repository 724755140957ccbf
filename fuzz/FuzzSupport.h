#pragma once
// What the fuzz targets share: messages that nobody sees (a reader's refusal
// is an answer, not a crash), and a document as the bytes it saves.

#include "data/VeltraneDoc.h"
#include "platform/Archive.h"
#include "platform/File.h"
#include "platform/MessageSink.h"

#include <cstdint>
#include <string>
#include <vector>

class CSilentSink : public IMessageSink
{
public:
    int ShowMessage(const std::string&, unsigned) override { return IDOK; }
};

// Routes every message to a sink that answers OK; for the whole run.
inline void SilenceMessages()
{
    static CSilentSink sink;
    SetMessageSink(&sink);
}

// The document as it saves itself.
inline std::vector<uint8_t> SavedBytes(CVeltraneDoc& doc)
{
    CMemFile out;
    {
        CArchive ar(&out, CArchive::store);
        doc.Serialize(ar);
        ar.Close();
    }
    return out.Data();
}
