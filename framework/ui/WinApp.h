#pragma once
// The application object: start-up and exit, the document templates, the
// recent-file list and the commands that belong to the program as a whole
// (new, recent files, print set-up, exit). One instance per process.

#include "framework/ui/CmdTarget.h"

#include <QString>
#include <memory>
#include <string>
#include <vector>

class CDocument;
class CMDIFrameWnd;
class CMultiDocTemplate;
class CCommandBar;
class QApplication;
class QPrinter;

class CRecentFileList
{
public:
    explicit CRecentFileList(int nSize = 4) : m_nSize(nSize) {}
    // Reads and writes "Recent File List" File1..FileN of the user profile.
    void ReadList();
    void WriteList() const;
    // Moves path to the front; the oldest entry falls off the end.
    void Add(const std::string& path);
    void Remove(int i);
    void Remove(const std::string& path);
    int GetSize() const { return m_nSize; }
    const std::vector<std::string>& Entries() const { return m_entries; }

private:
    int m_nSize;
    std::vector<std::string> m_entries;
};

class CWinApp : public CCmdTarget
{
public:
    CWinApp();
    ~CWinApp() override;

    // InitInstance, the event loop when it succeeded, then ExitInstance, which
    // runs after a failed start too. Returns the exit code.
    int Run();

    virtual bool InitInstance();
    virtual int ExitInstance();
    // Opens a file into the template that takes it; null when nothing opened.
    virtual CDocument* OpenDocumentFile(const char* path);

    void AddDocTemplate(std::unique_ptr<CMultiDocTemplate> tmpl);
    const std::vector<std::unique_ptr<CMultiDocTemplate>>& GetDocTemplates() const { return m_templates; }

    // Asks to save each modified document; false when the user cancelled.
    virtual bool SaveAllModified();
    void CloseAllDocuments(bool bEndSession);
    // Number of open documents over all templates.
    int GetOpenDocumentCount() const;

    void LoadStdProfileSettings(int nMaxMRU = 4);
    void AddToRecentFileList(const std::string& path);
    CRecentFileList* GetRecentFileList() { return m_pRecentFileList.get(); }
    // Sets the texts and visibility of the recent-file commands.
    void UpdateRecentFileActions(CCommandBar* bar);

    QPrinter* GetPrinter();

    CMDIFrameWnd* m_pMainWnd = nullptr;
    int m_nExitCode = 0;

protected:
    void OnFileNew();
    void OnFileMRU(unsigned id);
    void OnAppExit();
    void OnFilePrintSetup();

private:
    std::vector<std::unique_ptr<CMultiDocTemplate>> m_templates;
    std::unique_ptr<CRecentFileList> m_pRecentFileList;
    std::unique_ptr<QPrinter> m_pPrinter;
};

CWinApp* AfxGetApp();
CMDIFrameWnd* AfxGetMainWnd();
