#pragma once
// A document template ties a document class to its child frame and view
// class: it creates documents, opens files into them, and owns the
// documents it created. Document-level commands (save, save as, close) go
// to a CDocCommands object that the template makes for each document.

#include "framework/doc/DocTemplate.h"
#include "framework/doc/Document.h"
#include "framework/ui/CmdTarget.h"
#include "framework/ui/MDIChildWnd.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CView;
class CMultiDocTemplate;

// Save, Save As and Close of one document, with the framework's prompts.
class CDocCommands : public CCmdTarget
{
public:
    CDocCommands(CDocument* doc, CMultiDocTemplate* tmpl);

    CDocument* GetDocument() const { return m_pDoc; }
    CMultiDocTemplate* GetDocTemplate() const { return m_pTemplate; }

    // Saves under path, or asks for a name when path is empty; with bReplace
    // the document takes the new name. False when nothing was saved.
    virtual bool DoSave(const std::string& path, bool bReplace = true);
    virtual bool DoFileSave();
    // Asks "Save changes to ...?" for a modified document; false on Cancel.
    virtual bool SaveModified();

protected:
    virtual void OnFileSaveAs();
    virtual void OnFileClose();
    CDocument* m_pDoc;
    CMultiDocTemplate* m_pTemplate;
};

class CMultiDocTemplate : public CDocTemplate, public IChildFrameOwner
{
public:
    // Fields of the template's string: "\n"-separated, in this order.
    enum DocStringIndex
    {
        windowTitle,
        docName,
        fileNewName,
        filterName,
        filterExt,
        regFileTypeId,
        regFileTypeName,
    };
    using DocFactory = std::function<std::unique_ptr<CDocument>()>;
    using FrameFactory = std::function<CMDIChildWnd*()>;
    using ViewFactory = std::function<CView*()>;
    using CommandsFactory = std::function<std::unique_ptr<CDocCommands>(CDocument*, CMultiDocTemplate*)>;

    CMultiDocTemplate(unsigned nIDResource, DocFactory doc, FrameFactory frame, ViewFactory view);
    ~CMultiDocTemplate() override;

    void SetCommandsFactory(CommandsFactory f) { m_commandsFactory = std::move(f); }
    std::string GetDocString(DocStringIndex index) const;
    unsigned GetResourceId() const { return m_nIDResource; }

    // Opens path into a new document (a new empty one for null); with
    // bMakeVisible false the frame stays hidden. Null after a failure, which
    // has been reported; the document and its frame are gone then.
    CDocument* OpenDocumentFile(const char* path, bool bMakeVisible = true) override;
    // A new frame and view on an existing document.
    CMDIChildWnd* CreateNewFrame(CDocument* doc);
    void InitialUpdateFrame(CMDIChildWnd* frame, CDocument* doc, bool bMakeVisible = true);

    std::vector<CDocument*> GetDocuments() const override;
    std::vector<CMDIChildWnd*> GetFrames(const CDocument* doc) const;
    CDocCommands* GetCommands(const CDocument* doc) const;
    bool OwnsDocument(const CDocument* doc) const;

    bool SaveAllModified();
    void CloseAllDocuments(bool bEndSession);
    // Destroys the document's frames and the document.
    void CloseDocument(CDocument* doc);
    // Sets the captions of the document's frames from its title.
    void UpdateFrameTitles(CDocument* doc);

    // IChildFrameOwner
    CCmdTarget* GetDocCmdTarget(CMDIChildWnd* frame) override;
    bool CanCloseFrame(CMDIChildWnd* frame) override;
    void OnFrameDestroyed(CMDIChildWnd* frame) override;

private:
    struct SEntry
    {
        std::unique_ptr<CDocument> doc;
        std::unique_ptr<CDocCommands> commands;
        std::vector<CMDIChildWnd*> frames;
        bool closing = false;
    };
    SEntry* Find(const CDocument* doc) const;
    SEntry* FindFrame(const CMDIChildWnd* frame) const;
    void RemoveEntry(const CDocument* doc);

    unsigned m_nIDResource;
    std::vector<std::string> m_docStrings;
    DocFactory m_docFactory;
    FrameFactory m_frameFactory;
    ViewFactory m_viewFactory;
    CommandsFactory m_commandsFactory;
    std::vector<std::unique_ptr<SEntry>> m_entries;
    int m_nUntitledCount = 0;
};
