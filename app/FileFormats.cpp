#include "app/FileFormats.h"

#include "app/DocCommands.h"
#include "app/ImageView.h"
#include "data/VeltraneDoc.h"
#include "data/formats/Norvale.h"
#include "data/formats/Vamas.h"
#include "framework/ui/Resources.h"
#include "platform/AtomicFileWriter.h"
#include "platform/Exceptions.h"
#include "platform/MessageSink.h"
#include "platform/Settings.h"
#include "platform/Strings.h"

namespace {

constexpr const char* kConfigSection = "Config";

void ReportError(const std::string& text)
{
    AfxMessageBox(text, MB_OK | MB_ICONERROR);
}

} // namespace

void InstallFileFormats()
{
    CVeltraneDocCommands::s_saveAsVamas = [](CVeltraneDoc& doc, const std::string& path) {
        SaveAsVamas(doc, path);
    };
    CVeltraneDocCommands::s_saveAsBitmap = [](CVeltraneDoc& doc, const std::string& path) {
        CImageView::SaveAsBitmap(doc, path);
    };
    CNorvale::SetProfileAccess(&VamasProfileEntry);
}

bool SaveAsVamas(const CVeltraneDoc& doc, const std::string& path)
{
    try {
        CVamas writer(&doc);
        if (const std::string refusal = writer.Refusal(doc.GetTitle()); !refusal.empty()) {
            ReportError(refusal);
            return false;
        }
        const std::string text = writer.Write();
        // A failed export must not cost the user the file it was to replace.
        CAtomicFileWriter file(path);
        file.File().Write(text.data(), text.size());
        file.Commit();
    } catch (const CFileException& e) {
        // The writer's error may name its temporary file; the user chose path.
        CFileException named(e.m_cause, path, e.m_osError);
        ReportError(FileExceptionMessage(named, true));
        return false;
    } catch (const CUserException&) {
        return false; // its message has been shown
    } catch (const std::exception&) {
        ReportError(FileExceptionMessage(CFileException(CFileException::genericException, path), true));
        return false;
    }
    return true;
}

std::string VamasProfileEntry(const std::string& key, const std::string& def)
{
    std::string value = GetProfileString(kConfigSection, key);
    if (value.empty()) {
        // Written so the user finds the entry to change; a profile that cannot
        // be written still gives the default.
        WriteProfileString(kConfigSection, key, def);
        return def;
    }
    return value;
}
