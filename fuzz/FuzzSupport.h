#pragma once
// What the fuzz targets share: messages that nobody sees (a reader's refusal
// is an answer, not a crash), and a document as the bytes it saves.

#include "data/Experiment.h"
#include "data/SpecRgn.h"
#include "data/StagePosn.h"
#include "data/Trace.h"
#include "data/VeltraneDoc.h"
#include "data/formats/ImportErrors.h"
#include "data/formats/Norvale.h"
#include "data/formats/RecordBuilder.h"
#include "data/formats/Vamas.h"
#include "platform/Archive.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/MessageSink.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
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

// A document the VAMAS writer accepts is written, and the file opens again.
// Only the experiment modes and techniques outside the reader's subset (maps,
// fast profiles, UPS) are refused by it, with their messages. Each position of
// one point reads back to the same regions, counts, energies, dwell, scans,
// level values and ordinates: the shortest text of each double reads back to
// that double.
inline void RequireVamasReadsBack(const CVeltraneDoc& doc)
{
    CVamas::Environment env;
    env.userName = "fuzz";
    CVamas writer(&doc, env);
    if (writer.CanWrite() != 0)
        return;
    const std::string text = writer.Write();
    CMemFile file(text.data(), text.size(), "back.npl");
    CNorvale model;
    const int result = model.ReadVamas(file);
    if (result == IDS_ERR_VAMAS_UNSUPPORTED || result == IDS_ERR_VAMAS_NOT_XPS_AES)
        return;
    if (result != 0)
        std::abort(); // the program cannot open what it exported
    // Positions whose blocks carry their numbers come back one spectrum each;
    // others are read as one position, and are left to the read above.
    if (model.GetSize() != doc.GetNumStagePosns())
        return;
    const double workFunction = doc.GetExperiment()->GetOffset();
    auto same = [](double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); };
    for (int i = 0; i < doc.GetNumStagePosns(); ++i) {
        const CStagePosn& p = *doc.GetStagePosn(i);
        const CNorvale::Spectrum& s = *model.GetSpectrum(i);
        if (p.GetNumPoints(-1) > 1)
            return;
        if (s.nRgns != p.GetNumSpecRgns() || s.nLevels != p.GetNumLevels())
            std::abort();
        // A level's value that is not its number goes into the file.
        for (int l = 0; l < s.nLevels; ++l)
            if (!same(s.m_pLevels[static_cast<size_t>(l)].dTime, p.GetLevel(l)->GetValue()))
                std::abort();
        for (int r = 0; r < s.nRgns; ++r) {
            const CSpecRgn& g = *p.GetSpecRgn(r);
            const CNorvale::SpecRgn& back = s.m_pRgns[static_cast<size_t>(r)];
            if (back.nPts != g.GetNumValues() || back.nScans != g.GetNumScans() ||
                back.dStep != g.CRegion::GetStep() ||
                back.dStart != g.CRegion::GetStart() + (g.GetOffset() - workFunction))
                std::abort();
            // The dwell goes in seconds: the same to the last bits or so.
            if (!(std::fabs(back.dDwell - g.GetDwell()) <= 1e-12 * std::fabs(g.GetDwell()) + 1e-300))
                std::abort();
            for (int l = 0; l < s.nLevels; ++l) {
                const CTrace* t = l < g.GetNumTraces() ? g.GetTrace(l) : nullptr;
                const double* y = s.GetRgnData(r, l);
                if (!y)
                    std::abort();
                for (int k = 0; k < back.nPts; ++k) {
                    const double want = t && k < t->GetNumPoints() ? t->GetData()[k] : 0.0;
                    if (!same(y[k], want))
                        std::abort();
                }
            }
        }
    }
}
