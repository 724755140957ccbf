#pragma once
// Save, Save As and Close of a Veltrane document: an older-format document
// (Norvale) or an imported VAMAS file is saved in this program's format only
// after a question, under a name with the data-file extension, so the file it
// came from is never overwritten.

#include "framework/ui/DocTemplate.h"

#include <functional>
#include <string>

class CVeltraneDoc;

class CVeltraneDocCommands : public CDocCommands
{
public:
    CVeltraneDocCommands(CDocument* doc, CMultiDocTemplate* tmpl);

    // Refused while an acquisition still has the document.
    bool DoSave(const std::string& path, bool bReplace = true) override;
    // A document being acquired: asks whether to abort the run, and waits for
    // its worker before the usual question; false when the user keeps it.
    bool SaveModified() override;
    // The document's save: the conversion question for older-format documents,
    // then the atomic write. savedPath receives the path written. False when
    // nothing was saved (answer No, or a reported failure); Cancel abandons
    // the command (CUserException).
    bool SaveDocument(const std::string& path, std::string& savedPath);

    // True when the document came from a file of another format.
    static bool IsForeignFormat(const CVeltraneDoc& doc);
    // path with the data-file extension, as the conversion gives it.
    static std::string WithDataExtension(const std::string& path);

    // The writers of the other Save As formats, installed as they are built.
    static std::function<void(CVeltraneDoc&, const std::string&)> s_saveAsVamas;
    static std::function<void(CVeltraneDoc&, const std::string&)> s_saveAsBitmap;

protected:
    void OnFileSaveAs() override;

private:
    CVeltraneDoc* Doc() const;
    // Shows why and returns true while an acquisition has the document.
    bool RefuseWhileAcquiring() const;
    // Refuses, with its message, a save of this document over the file that
    // a run is writing into another document.
    bool RefuseRunsFile(const std::string& path) const;
};
