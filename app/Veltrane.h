#pragma once
// The application object: starts the program in its fixed order, owns what
// lives for the whole run (peak library, instrument links, options sheet,
// traffic list), keeps the three document templates and offers the file
// dialog, document opening, error reporting and the energy unit to the rest
// of the program. At exit the user settings are written back.

#include "app/MonitorTimer.h"
#include "data/formats/PkLib.h"
#include "framework/ui/WinApp.h"
#include "instrument/Config.h"
#include "instrument/TrafficLog.h"

#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CAcquire;
class CASCU;
class IAcqHost;
class CDAU;
class CDocument;
class CEndSignals;
class CInstrumentStartup;
class CMainFrame;
class CMultiDocTemplate;
class COptions;
class CVeltraneDoc;
class CView;
class CShellOpenServer;

class CVeltrane : public CWinApp
{
public:
    enum Unit
    {
        None = 0,
        Points = 1,
        KE = 2,
        BE = 3,
    };
    static constexpr size_t BufferLen = 65536;

    CVeltrane();
    ~CVeltrane() override;

    static CVeltrane* GetApp();

    bool InitInstance() override;
    int ExitInstance() override;
    // Refuses an empty file (2065), then opens with bMakeVisible true.
    CDocument* OpenDocumentFile(const char* path) override;
    // As the framework's, but the document being acquired comes last.
    bool SaveAllModified() override;
    // The document being acquired into the file at path, if any.
    CDocument* FindAcquiringDocument(const char* path) const;
    // Chooses the template by the file's first bytes and opens the file in it.
    // The remembered maximised state of document windows is kept aside while
    // a hidden document opens and put back on every way out.
    static CDocument* OpenDocument(const char* path, bool bMakeVisible);

    // The program's file dialog. filterIds: zero-terminated string ids of
    // extensions (null: {1041, 1042}); flags 0: the default for open or save.
    bool OnFileName(std::string& path, bool bOpen, const unsigned* filterIds = nullptr,
                    int* pFilterIndex = nullptr, unsigned flags = 0);
    void OnFileOpen();
    // With a path pointer only stores the chosen path there; with null opens it.
    bool OnFileOpen(std::string* path);

    // Shows the message and abandons the command; no id and no text does nothing.
    static void ThrowError(int id, const char* text = nullptr);
    // The text alone, as the message (id 0).
    static void ThrowError(const char* text) { ThrowError(0, text); }
    std::string GetUserNameA() const;
    void OnViewConfig();
    void OnAppAbout();

    int GetVersion() const { return m_iVersion; }
    char* GetBuffer() { return m_buffer.data(); }
    size_t GetBufferLen() const { return m_buffer.size(); }

    static CMultiDocTemplate* GetSpectrumTemplate() { return m_pSpecViewTemplate; }
    static CMultiDocTemplate* GetProfileTemplate() { return m_pProfileViewTemplate; }
    static CMultiDocTemplate* GetImageTemplate() { return m_pImageViewTemplate; }

    Unit GetCurrentXPSUnit() const;
    Unit GetDefaultXPSUnit() const;
    void SetXPSUnit(Unit unit);
    Unit GetCurrentUnit(const CVeltraneDoc* doc) const;

    CMainFrame* GetMainFrame() const;
    CAcquire* GetAcq() const { return m_pAcq.get(); }
    // Whether an acquisition still has the document (it must not be closed,
    // saved or processed until the run has ended).
    static bool IsAcquiring(const CDocument* pDoc);

    // The files of a "--open" request given at start; opened once the main
    // window is up (a file that fails is reported and does not end the start).
    void SetShellOpenRequest(const QStringList& paths) { m_shellOpen = paths; }
    void OpenShellRequest(const QStringList& paths);

    // The views of the three templates; the displays replace these.
    static std::function<CView*()> s_makeSpecView;
    static std::function<CView*()> s_makeProfileView;
    static std::function<CView*()> s_makeImageView;

    CPkLib m_PkLib;
    CConfig m_Config; // the instrument configuration, started at the end of the start-up
    std::unique_ptr<CASCU> m_pASCU;
    std::unique_ptr<CDAU> m_pDAU;
    std::unique_ptr<CAcquire> m_pAcq;     // the acquisition engine, made by its hook
    std::unique_ptr<IAcqHost> m_pAcqHost; // its user-interface side
    std::unique_ptr<COptions> m_pOptions;
    CTrafficMonitor m_TrafficMonitor;
    CQtMonitorTimer m_MonitorTimer; // the DAU link's poll timer
    // The records' view of the instrument, made by the configuration's start-up.
    std::unique_ptr<CInstrumentStartup> m_pInstruments;
    int m_iVersion = 1;
    int32_t& m_CurXPSUnits; // the stored XPS unit, persisted at exit
    Unit m_CurAESUnits = KE;

private:
    static CMultiDocTemplate* m_pSpecViewTemplate;
    static CMultiDocTemplate* m_pProfileViewTemplate;
    static CMultiDocTemplate* m_pImageViewTemplate;
    std::vector<char> m_buffer;
    QStringList m_shellOpen;
    std::unique_ptr<CShellOpenServer> m_pShellServer;
    std::unique_ptr<CEndSignals> m_pEndSignals;
};
