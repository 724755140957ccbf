#pragma once
// The document of the document/view framework, toolkit-free: it keeps its views
// through IDocView and tells them of changes synchronously, carries the modified
// flag, the path and the title, and has the open, save and new hooks that the
// templates call. The default open and save read and write the document
// through Serialize; the save is atomic (temporary file, flush, rename), so a
// failed save leaves the old file untouched. Both report their failures
// through the message sink and return false; a CUserException from Serialize
// means its message was already shown, and nothing more is said.

#include "framework/doc/DocView.h"

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

class CArchive;
class CDocTemplate;

class CDocument
{
public:
    CDocument() = default;
    virtual ~CDocument() = default;
    CDocument(const CDocument&) = delete;
    CDocument& operator=(const CDocument&) = delete;

    // Set (the default): the template that opened the document destroys it
    // when it closes. Cleared by a caller that keeps a document of its own
    // (a hidden reference document): closing then only destroys the frames
    // and hands the document over, and the caller deletes it.
    bool m_bAutoDelete = true;

    // Views; a view is added once and must be removed before it is destroyed.
    void AddView(IDocView* pView);
    void RemoveView(IDocView* pView);
    const std::vector<IDocView*>& GetViews() const { return m_views; }
    // Calls OnUpdate of every view but the sender, in the order they were added.
    // A view removed by an earlier view's update is not called.
    void UpdateAllViews(IDocView* pSender, intptr_t lHint = 0, void* pHint = nullptr);

    bool IsModified() const { return m_bModified; }
    void SetModifiedFlag(bool bModified = true) { m_bModified = bModified; }
    // Successful saves so far: a tool that changes the data in place and can
    // take the change back tells by it whether the change reached the file.
    unsigned GetSaveCount() const { return m_nSaves; }

    const std::string& GetPathName() const { return m_strPathName; }
    // Also makes the title the path's file name.
    virtual void SetPathName(const std::string& path);
    const std::string& GetTitle() const { return m_strTitle; }
    virtual void SetTitle(const std::string& title) { m_strTitle = title; }

    CDocTemplate* GetDocTemplate() const { return m_pDocTemplate; }
    void SetDocTemplate(CDocTemplate* pTemplate) { m_pDocTemplate = pTemplate; }

    // Hooks, called by the templates. Each returns false after a failure that
    // has been reported.
    // Default: DeleteContents, not modified.
    virtual bool OnNewDocument();
    // Default: DeleteContents, then Serialize from the file; not modified after.
    virtual bool OnOpenDocument(const std::string& path);
    // Default: Serialize into a temporary file beside path, flush it to the disk
    // and rename it over path; not modified after.
    virtual bool OnSaveDocument(const std::string& path);
    // Empties the document (before a new or an opened document is filled).
    virtual void DeleteContents() {}
    virtual void Serialize(CArchive& ar);
    // The message for a failed open or save: a file error by its cause, an
    // archive error on loading as "Unexpected file format.", else
    // nIDPDefault. A CUserException shows nothing.
    virtual void ReportSaveLoadException(const std::string& path, std::exception_ptr e, bool bSaving,
                                         unsigned nIDPDefault);

private:
    std::vector<IDocView*> m_views;
    std::string m_strPathName;
    std::string m_strTitle;
    CDocTemplate* m_pDocTemplate = nullptr;
    bool m_bModified = false;
    unsigned m_nSaves = 0;
};

// The text ReportSaveLoadException shows (empty for a CUserException), for
// those that write a document outside OnSaveDocument.
std::string SaveLoadErrorText(const std::string& path, std::exception_ptr e, bool bSaving,
                              unsigned nIDPDefault);
