#pragma once
// What the AES and XPS acquisition sheets share: a modeless property sheet
// with a column of command buttons beside its tabs (Start, Abort, Pause,
// Open, Save, Close) that hides itself on Close, and the page base whose
// grid notifications have permissive defaults.

#include "UGrid/model/UGCell.h"
#include "acquire/core/AcqError.h"
#include "acquire/ui/AcquireGrid.h"
#include "framework/ui/PropertySheet.h"

#include <QRect>
#include <QSize>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QPushButton;
class CAcquire_Sheet;
class CMultiDocTemplate;
class CVeltraneDoc;

class CAcquire_Page : public CPropertyPage
{
    Q_OBJECT
public:
    explicit CAcquire_Page(const QString& caption);

    virtual void SetParentSheet(CAcquire_Sheet* pAcqSheet) { m_pAcqSheet = pAcqSheet; }
    virtual int OnCellTypeNotify(long, int, long, long, long) { return 1; }
    virtual int OnEditFinish(int, long, CWnd*, std::string&, int) { return 1; }
    virtual int OnEditStart(int, long, CWnd**) { return 1; }
    virtual int OnEditVerify(int, long, CWnd*, UINT*) { return 1; }
    virtual int OnEditContinue(int, long, int*, long*) { return 1; }
    virtual int OnMenuStart(int, long, int) { return 0; }
    // A button-down on a cell that nothing processed starts editing it.
    virtual void OnLClicked(int col, long row, int pressed, RECT* rect, POINT* point, int processed);
    virtual void OnMenuCommand(int, long, int, int) {}
    virtual void OnRClicked(int, long, int, RECT*, POINT*, int) {}
    virtual void OnSH_LClicked(int, long, int, RECT*, POINT*, int) {}

    CAcquireGrid& Grid() { return m_Grid; }

    // The room the sheet keeps for every page. A fixed minimum size would
    // override what the page's own layout needs and squeeze its texts; this
    // is a floor under it instead.
    void SetMinimumRoom(const QSize& room);
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    CAcquireGrid m_Grid;
    CUGCell m_cell;
    CAcquire_Sheet* m_pAcqSheet = nullptr;

private:
    QSize m_room;
};

class CAcquire_Sheet : public CPropertySheet
{
    Q_OBJECT
public:
    enum Btns
    {
        StartBtn,
        AbortBtn,
        PauseBtn,
        OpenBtn,
        SaveBtn,
        CloseBtn,
    };
    static constexpr int IDC_ACQ_STARTBTN = 4000;

    explicit CAcquire_Sheet(unsigned nIDCaption, QWidget* pParentWnd = nullptr, int iSelectPage = 0);
    ~CAcquire_Sheet() override;

    QPushButton* Button(Btns b) const { return m_Buttons.at(size_t(b)); }
    // Idle: Start, Open, Save, Close enabled; running: Abort, Pause, Close.
    void SetRunning(bool running);

    virtual void OnClose();
    virtual void OnAbort();
    virtual void OnStop();
    // The temporary data file of the last Start without a file name; empty
    // when the last Start used the typed name.
    const std::string& TempFile() const { return m_csTempFile; }

protected:
    // Replaces the sheet's own buttons by the command column; the derived
    // sheet calls it at the end of its initialisation.
    void AddButtons();
    void closeEvent(QCloseEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    // The framework's OK and Cancel (Enter, Escape) do not close the sheet.
    void OnOK() override {}
    void OnCancel() override { OnClose(); }
    // The derived sheets' commands.
    virtual void OnStart() {}
    // Open... and Save...: the settings-file dialog, then OpenFile or SaveFile.
    virtual void OnOpen();
    virtual void OnSave();
    virtual void OpenFile(const std::string&) {}
    virtual void SaveFile(const std::string&) {}
    // Runs write, which writes path; a file that cannot be written is
    // reported by its name and cause, not thrown.
    static void WriteReported(const std::string& path, const std::function<void()>& write);

    // What is being typed into a table cell is taken as a click elsewhere
    // would take it, also when a key gave the command and the focus stayed
    // in the cell.
    void EndTyping();
    // Start's first steps: refused with a message while any run goes on; the
    // typing ended and the active page's values taken; then check, whose
    // CAcqException is shown.
    // False when Start goes no further.
    bool PrepareStart(const std::function<void()>& check);
    // A new, empty document of the spectrum (0), profile (1) or image (2)
    // template; null, the reason shown, when none can be made.
    CVeltraneDoc* NewDocument(int which, CMultiDocTemplate*& tmpl);
    static void Report(const CAcqError& error);
    // Start's part common to the sheets: saves the new document under the
    // typed name (the extension added) or, without one, under the temporary
    // file; asks before replacing a file (No: the Save As prompt). When it is
    // not saved the document is closed and false returned.
    bool SaveNewDocument(CMultiDocTemplate& tmpl, CVeltraneDoc& doc, const std::string& typed);
    // Start from the new document on: made from template which, filled by
    // build, saved (as SaveNewDocument), its views laid out, and given to the
    // engine; busy(true) just before the engine is asked and busy(false) when
    // it refuses (it has said why). True when the run started.
    bool StartRun(int which, const std::function<void(CVeltraneDoc&)>& build, const std::string& typed,
                  const std::function<void(bool)>& busy);
    // At the end of this sheet's run: its document, acquired into the
    // temporary file, becomes "Untitled<n>" and modified, so that closing it
    // asks where to keep it.
    void RetitleTempDocument();
    // A data record sent by the acquisition worker goes to its document's views.
    static void DeliverUpdate(intptr_t lParam);

    std::vector<QPushButton*> m_Buttons;
    QRect m_rcWindow;
    std::string m_csTempFile;
    // The document of this sheet's run, from its start to its end.
    CVeltraneDoc* m_pRunDoc = nullptr;
};
