// Any file opened in an acquisition sheet as a data file: the document is
// read as the program reads it (own format, Norvale or VAMAS), then the XPS
// and AES sheets take their set-up from it. A set-up taken must save as a
// settings file that reads back to the same bytes and, once it passes the
// checks of Start, must build the document an acquisition would fill.

#include "FuzzSupport.h"
#include "acquire/core/AcqError.h"
#include "acquire/core/AesSetup.h"
#include "acquire/core/XpsSetup.h"
#include "data/Experiment.h"
#include "data/VeltraneDoc.h"
#include "data/formats/ImportReaders.h"
#include "platform/Archive.h"
#include "platform/File.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

template <class Setup, class Store> std::vector<uint8_t> Written(const Setup& setup, Store store)
{
    CMemFile out;
    {
        CArchive ar(&out, CArchive::store);
        store(setup, ar);
        ar.Close();
    }
    return out.Data();
}

template <class Setup, class Store, class Read, class Check, class Build>
void CheckTaken(const Setup& setup, Store store, Read read, Check check, Build build)
{
    const std::vector<uint8_t> first = Written(setup, store);
    CMemFile again(first, "again.saq");
    Setup reread;
    CAcqError error;
    if (read(again, "again.saq", reread, error) != SettingsFile::Kind::Settings)
        std::abort(); // the sheet cannot read the settings it saved
    if (Written(reread, store) != first)
        std::abort(); // a second save changed the file
    // Start builds the document only from a set-up that passed its checks.
    try {
        check(setup);
    } catch (const CAcqException&) {
        return;
    }
    CVeltraneDoc doc;
    build(doc, setup);
    const std::vector<uint8_t> saved = SavedBytes(doc);
    CMemFile file(saved, "built.vlt");
    CVeltraneDoc built;
    if (!built.ReadFrom(file))
        std::abort(); // the program cannot read the document it would acquire into
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SilenceMessages();
    static const bool registered = (RegisterImportReaders(), true);
    (void)registered;

    CMemFile file(data, size, "fuzz.vlt");
    CVeltraneDoc doc;
    if (!doc.ReadFrom(file))
        return 0;
    if (doc.GetTechnique() == CExperiment::XPS) {
        CXpsSetup xps;
        if (!LoadXpsFromDocument(doc, "fuzz", xps))
            CheckTaken(
                xps, &XpsSettingsFile::Store, &XpsSettingsFile::Read,
                [](const CXpsSetup& s) { s.Check(true); }, &BuildXpsDocument);
    }
    CAesSetup aes;
    if (!LoadAesFromDocument(doc, "fuzz", aes))
        CheckTaken(
            aes, &AesSettingsFile::Store, &AesSettingsFile::Read, [](const CAesSetup& s) { s.Check(); },
            &BuildAesDocument);
    return 0;
}
