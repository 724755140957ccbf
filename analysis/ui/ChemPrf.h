#pragma once
// Chemical-state profiling on a spectrum view: the modeless sheet with its
// Files and General pages, the reference spectra taken from other data
// files, the fit of the current level (calculating dialog) and of the whole
// profile (profiling dialog) on worker threads through the reference-fit
// library, and the overlays over the view's plot window.

#include "analysis/core/ChemPrf.h"
#include "app/ViewTools.h"
#include "framework/ui/Dialog.h"
#include "framework/ui/PropertySheet.h"

#include <QPen>
#include <QPointer>
#include <QRect>
#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class CChemPrfFileGrid;
class CChemPrfPrfGrid;
class CChemPrfView;
class CLineCursor;
class CSpecViewBase;
class CSpecRgn;
class CVeltraneDoc;
class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;
class QTabWidget;

// One reference: a curve (region, level) of a reference document.
class CChemPrfRefSpectrum
{
public:
    // Takes the region that covers most of the view's current region (the
    // first of equal ones, region 0 when none overlaps) and level 0.
    CChemPrfRefSpectrum(CVeltraneDoc* pDoc, const CSpecRgn* pTarget);
    virtual ~CChemPrfRefSpectrum() = default;

    void SetRegion(int region);
    // A level the region does not have falls back to level 0.
    void SetLevel(int level);
    const CSpecRgn* GetRegion() const;
    // The curve and its region as the fit sees them, on data whose energies
    // fall (bFalling) or rise along the points.
    SChemPrfRefCurve Curve(bool bFalling) const;

    std::string m_csLabel;
    CVeltraneDoc* m_pDoc;
    int m_iSample = 0;
    int m_iRegion = 0;
    int m_iLevel = 0;

private:
    std::vector<double> m_pdReversed; // the curve last to first, set with the level
};

class CChemPrf_Profiling;
class CChemPrf_Sheet;

// The Files page: the reference table.
class CChemPrf_Files : public CPropertyPage
{
    Q_OBJECT
public:
    explicit CChemPrf_Files(CChemPrf_Sheet* pSheet);
    ~CChemPrf_Files() override;

    bool OnInitDialog() override;
    CChemPrfFileGrid* GetGrid() const { return m_pGrid; }
    // Both do nothing until the page has been shown once.
    void Fill();
    void RefreshValues();

private:
    CChemPrfFileGrid* m_pGrid; // a child of the page
};

// The General page: display and fit options, kept in the settings record.
class CChemPrf_Calc : public CPropertyPage
{
    Q_OBJECT
public:
    CChemPrf_Calc();

    bool OnInitDialog() override;
    // Toggles the option of the control: the display ones repaint, the fit
    // ones discard every fit result.
    void OnDisplayFlag(bool* field, bool on);
    void OnFitFlag(bool* field, bool on);

private:
    CChemPrf_Sheet* Sheet() const;
    struct SCheck
    {
        QCheckBox* box;
        bool* field;
    };
    std::vector<SCheck> m_Checks;
};

class CChemPrf_Sheet : public CPropertySheet, public IViewTool
{
    Q_OBJECT
public:
    explicit CChemPrf_Sheet(CSpecViewBase* pView);
    ~CChemPrf_Sheet() override;

    static CChemPrf_Sheet* GetInstance() { return m_pInstance; }
    // Creates the window; false (the caller deletes the object) when it fails.
    bool Create();

    CSpecViewBase* GetView() const override { return m_pView; }
    CChemPrfParams* GetParams() const { return m_pParams.get(); }
    const std::vector<std::unique_ptr<CChemPrfRefSpectrum>>& GetRefList() const { return m_RefList; }
    CLineCursor* GetCursor(int i) const { return i == 1 ? m_StartCursor.get() : m_FinishCursor.get(); }

    // Reference documents: loaded without a window, shared by path name.
    CVeltraneDoc* OpenRefDocument(const std::string& path);
    void ReleaseRefDocument(CVeltraneDoc* pDoc);
    int CountRefDocuments() const { return int(m_DocMap.size()); }

    // Adds the files as references at index (inserting, or replacing the
    // entry there); returns 1 when something was added.
    int AddReferenceFiles(const std::vector<std::string>& paths, int index, bool insert);
    int AddReferences(int index, bool insert);
    void RemoveReference(int index);
    void SetRefRegion(int index, int region);
    void SetRefLevel(int index, int level);
    void SetRefLabel(int index, const std::string& label);

    void Refresh();
    void UpdateButtons();
    void CalcFittedCurve();
    // The stretch between the cursors on the current curve.
    bool GetStretch(int& lo, int& hi) const;
    // The references as the fit and the overlays see them, and the target.
    std::vector<SChemPrfRefCurve> RefCurves() const;
    SChemPrfTarget Target() const;
    // The current region's energies fall along its points.
    bool TargetFalls() const
    {
        const SChemPrfTarget t = Target();
        return t.finish < t.start;
    }

    void OnCalculate();
    void OnProfile();
    void OnShowHide();
    void OnCloseBtn() { close(); }

    // View notifications.
    void OnSpecWndChange(CSpecWnd* pNew, CSpecWnd* pOld) override;
    void OnSpecTraceChange(CSpecTrace* pNew, CSpecTrace* pOld) override;
    void OnSampleChange(int iNew, int iOld) override;
    intptr_t OnPaintOver(CSpecWnd* pWnd, QPainter* pDC) override;
    intptr_t OnLineCursorPos(uintptr_t wParam, intptr_t lParam) override;
    // The view goes: a running profile fit is stopped and waited for first.
    void DestroyWindow() override;
    void CloseWindow() override { close(); }

    // The chemical profile view while it is shown, else null.
    CChemPrfView* GetPrfView() const;
    CChemPrfFileGrid* GetFileGrid() const { return m_FilesPage.GetGrid(); }

    // The open profiling dialog, while it runs.
    CChemPrf_Profiling* m_pProfiling = nullptr;
    // The values of the current level's fitted curve and residual.
    const std::vector<double>& GetResult() const { return m_pdResult; }
    const std::vector<double>& GetResidual() const { return m_pdResidual; }

protected:
    bool OnInitDialog() override;
    // A modeless sheet: Enter does nothing, Escape closes it as Close does.
    void OnOK() override {}
    void OnCancel() override { close(); }
    void closeEvent(QCloseEvent* e) override;

private:
    void HideProfileView();
    void ReferencesChanged();
    void FillFiles();
    void RefreshValues();
    void AttachCursors();
    // A fresh parameter table of nLevels unfitted levels, the options kept.
    void ForgetFits(int nLevels);
    void PlaceButtons();
    void Teardown();

    static CChemPrf_Sheet* m_pInstance;
    static QRect m_rectWnd;

    QPushButton* m_Buttons[4] = {};
    QPointer<CChemPrfView> m_pPrfView; // its frame holds it
    std::unique_ptr<CChemPrfParams> m_pParams;
    CChemPrf_Calc m_CalcPage;
    CChemPrf_Files m_FilesPage;
    std::unique_ptr<CLineCursor> m_StartCursor, m_FinishCursor;
    QPen m_penResult, m_penResidual, m_penSpectra;
    std::vector<std::unique_ptr<CChemPrfRefSpectrum>> m_RefList;
    std::map<CVeltraneDoc*, uint16_t> m_DocMap;
    CSpecViewBase* m_pView;
    std::vector<double> m_pdResult, m_pdResidual, m_pdOverlay;
    int m_iStop = 0;
    bool m_bTornDown = false;
};

// Shown while one level is fitted; it cannot be closed until the fit ends,
// and stays at least 500 ms.
class CChemPrf_Calculating : public CDialog
{
    Q_OBJECT
public:
    // Solves row (NPARM values, a private copy) on a worker thread.
    CChemPrf_Calculating(CChemPrfFitSetup& setup, std::vector<double>& row, int mode, QWidget* parent);
    ~CChemPrf_Calculating() override;
    int Outcome() const { return m_outcome; }

protected:
    bool OnInitDialog() override;
    void OnCancel() override {}
    void closeEvent(QCloseEvent* e) override;

private:
    CChemPrfFitSetup& m_setup;
    std::vector<double>& m_row;
    int m_mode;
    int m_outcome = 0;
    std::thread m_thread;
};

// Fits every level of the current region on a worker thread, level by level
// into its table; Stop, Start again, Save As; not closable while it runs.
class CChemPrf_Profiling : public CDialog
{
    Q_OBJECT
public:
    explicit CChemPrf_Profiling(CChemPrf_Sheet* pSheet);
    ~CChemPrf_Profiling() override;

    void OnStartStop();
    void OnSaveAs();
    // Writes the export to path; false after a failure (reported).
    bool SaveTo(const std::string& path);
    bool IsRunning() const { return m_bRunning; }
    // Stops a run and waits for its worker.
    void StopAndWait();
    CChemPrfPrfGrid* Grid() const { return m_pGrid; }
    // Levels the worker of the current run has finished so far (any thread).
    int LevelsSolved() const { return m_nSolved.load(); }
    QPushButton* StartStopButton() const { return m_btnStartStop; }
    // Called by the table when it is set up with its full size: sizes the
    // dialog around it within the work area and centres it; the table gets
    // its cut size and the scroll bars it keeps (0: none).
    void LayoutControls(int& gridW, int& gridH, int& hScrollHeight, int& vScrollWidth);

protected:
    bool OnInitDialog() override;
    void OnCancel() override {}
    void closeEvent(QCloseEvent* e) override;

private:
    void Start();
    void OnTrace(SChemPrfLevelResult res);
    void OnEndThread(unsigned message, int nLevels);

    QPushButton* m_btnSaveAs;
    QPushButton* m_btnStartStop;
    QPushButton* m_btnClose;
    CChemPrfPrfGrid* m_pGrid;
    CChemPrf_Sheet* m_pSheet;
    CChemPrfParams* m_pParams;
    bool m_bRunning = false;
    int m_iStop = 0;
    std::atomic<int> m_nSolved{0};
    int m_nNotSolved = 0; // levels of the run the library could not solve (UI thread)
    std::thread m_thread;
};

// Registers the Chemical Profiling command of the spectrum view.
void InstallChemPrfTool();
