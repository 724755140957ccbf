#pragma once
// What the fuzz targets share: messages that nobody sees (a reader's refusal
// is an answer, not a crash), and a document as the bytes it saves.

#include "data/VeltraneDoc.h"
#include "data/formats/Norvale.h"
#include "data/formats/RecordBuilder.h"
#include "platform/Archive.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/MessageSink.h"

#include <cstdint>
#include <cstdlib>
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

// A model with a Store(CArchive&) member, as the bytes it stores.
template <class T> std::vector<uint8_t> StoredBytes(const T& model)
{
    CMemFile out;
    {
        CArchive ar(&out, CArchive::store);
        model.Store(ar);
        ar.Close();
    }
    return out.Data();
}

// The document saved and read back into reread; the saved bytes. A file the
// program cannot open again is a fault.
inline std::vector<uint8_t> SaveAndReread(CVeltraneDoc& doc, CVeltraneDoc& reread)
{
    std::vector<uint8_t> saved = SavedBytes(doc);
    CMemFile again(saved, "again.vlt");
    if (!reread.ReadFrom(again))
        std::abort(); // the program cannot open what it saved
    return saved;
}

// The document the program makes of an imported file's model; false when the
// model holds what a document cannot (an answer, not a fault).
inline bool ImportedDocument(CNorvale& model, CVeltraneDoc& doc)
{
    try {
        CRecordBuilder::Convert(doc, model, nullptr);
    } catch (const CUserException&) {
        return false; // an analyser mode the document cannot hold
    }
    return true;
}

// A model stored, loaded into a fresh one and stored again gives the same
// bytes: anything else means the program cannot read what it wrote.
template <class T> void RequireStoreRoundTrip(const T& model)
{
    const std::vector<uint8_t> bytes = StoredBytes(model);
    T again;
    CMemFile file(bytes, "again.saq");
    CArchive ar(&file, CArchive::load);
    again.Load(ar);
    if (StoredBytes(again) != bytes)
        std::abort();
}

// The document saved, read back and saved again gives the same file.
inline void RequireStableSave(CVeltraneDoc& doc)
{
    CVeltraneDoc reread;
    const std::vector<uint8_t> first = SaveAndReread(doc, reread);
    if (SavedBytes(reread) != first)
        std::abort(); // a second save changed the file
}
