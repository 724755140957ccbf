#pragma once
// The quantification sheet over one spectrum view: a row per region with its
// element, transition and sensitivity factor, the intensity measure, the
// atomic percentages per level, a profile pane in place of the view, and the
// text export. The state lives in the document (its block 196); the sheet is
// the window over it while it is open, and carries the last confirmed
// settings from one opening to the next.

#include "UGrid/UGCtrl.h"
#include "analysis/core/QuantifyAESLib.h"
#include "app/Legend.h"
#include "app/ProfileViewBase.h"
#include "app/ViewTools.h"
#include "app/plot/LineCursor.h"
#include "data/Quantify.h"
#include "framework/ui/PropertySheet.h"

#include <QPen>
#include <QPointer>
#include <QRect>
#include <vector>

class CSpecView;
class CSpecRgn;
class CVeltraneDoc;
class CQuantifySheet;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QCheckBox;

enum : unsigned
{
    IDS_QUANTIFY_CAPTION = 1096,
    IDD_QUANTIFY_REGIONS = 197,
    IDD_QUANTIFY_AES = 198,
    IDD_QUANTIFY_DISPLAY = 199,
    IDC_QUANT_SAVEAS = 4799,
    IDC_QUANT_SHOWHIDE = 4800,
    IDC_QUANT_RGNSGRID = 4801,
    IDC_QUANTAES_ENERGY = 4802,
    IDC_QUANTAES_FILES = 4803,
    IDC_QUANTAES_BROWSE = 4804,
    IDC_QUANTDISP_PKHEIGHT = 4808,
    IDC_QUANTDISP_PKTOPK = 4809,
    IDC_QUANTDISP_PKAREA = 4810,
    IDC_QUANTDISP_QUANT = 4811,
    IDC_QUANTDISP_ABS = 4812,
    IDC_QUANTDISP_NORM = 4813,
};

class CQuantify_RgnsGrid : public CUGCtrl
{
    Q_OBJECT
public:
    CQuantifySheet* m_pQuantify = nullptr;

    void OnSetup() override;
    void Refresh();
    int OnCanSizeCol(int) override { return 0; }
    int OnCanSizeRow(long) override { return 0; }
    int OnCanSizeTopHdg() override { return 0; }
    int OnCanSizeSideHdg() override { return 0; }
    void OnLClicked(int col, long row, int updn, RECT* rect, POINT* point, int processed) override;
    // Enter on the current cell does what a click on it does.
    void OnKeyDown(UINT* key, int processed) override;
    int OnCellTypeNotify(long id, int col, long row, long msg, long param) override;
    int OnEditStart(int, long, CWnd**) override { return 1; }
    int OnEditVerify(int col, long row, CWnd* edit, UINT* vcKey) override;
    int OnEditFinish(int col, long row, CWnd* edit, std::string& text, int cancelFlag) override;
    int OnEditContinue(int, long, int*, long*) override { return 1; }
    COLORREF OnGetDefBackColor(int section) override;

private:
    CQuantifyRgn* Record(long row) const;
    CFont m_Font;
    CUGCell m_cellSelect, m_cellElement, m_cellTransition, m_cellRSF, m_cellValue;
    static int s_pressedCol;
    static long s_pressedRow;
};

class CQuantify_Rgns : public CPropertyPage
{
    Q_OBJECT
public:
    CQuantify_Rgns();
    bool OnInitDialog() override;
    bool OnSetActive() override;
    void OnOK() override {}
    CQuantify_RgnsGrid m_Grid;
};

class CQuantify_AES : public CPropertyPage
{
    Q_OBJECT
public:
    static constexpr int NumShipped = 3;

    CQuantify_AES();
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnKillActive() override;
    // Enter on the page: a new beam energy rescales the factors.
    void OnEnter();
    void FillFileList();
    void OnSelChangeFiles();
    void OnBrowse();
    // Picks a library as the user would (the combo box's handler).
    void SelectLibrary(int comboIndex);
    // Loads the path as Browse would after the file dialog.
    void BrowseTo(const std::string& path);
    // The remembered user libraries, newest first.
    const std::vector<std::string>& RememberedFiles() const { return m_Recent; }
    void SaveRememberedFiles() const;

    double m_dEnergy = 0.0; // kV
    int m_iFile = -1;
    std::string m_csFile;
    int m_iCurSel = -1;
    CQuantifySheet* m_pQuantify = nullptr;
    std::vector<std::string> m_csaFiles;
    QComboBox* m_pFiles = nullptr;
    QLineEdit* m_pEnergy = nullptr;

private:
    void Remember(const std::string& path);
    std::vector<std::string> m_Recent;
};

class CQuantify_Disp : public CPropertyPage
{
    Q_OBJECT
public:
    CQuantify_Disp();
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;
    void OnCalc(unsigned id);
    void OnDispMode(unsigned id);
    void OnQuantify();

    int m_iCalc = 0;
    int m_iDispMode = 0;
    int m_bQuantify = 1;
    bool m_bProfile = false;
    CQuantifySheet* m_pQuantify = nullptr;

private:
    QRadioButton* m_pCalc[3] = {};
    QRadioButton* m_pMode[2] = {};
    QCheckBox* m_pQuant = nullptr;
};

// The composition against level of the selected regions of the shown position.
class CQuantifyPrfView : public CProfileViewBase
{
    Q_OBJECT
public:
    CQuantifyPrfView(CQuantifySheet* pQuantify, int nLevels);
    void OnInitialUpdate() override;
    bool Refresh(bool bRebuild);
    void SetLimits();
    void OnDraw(QPainter* painter) override;
    bool OnCmdMsg(unsigned id, CCmdUI* pUI) override;
    double GetYMin() const { return m_dYMin; }
    double GetYMax() const { return m_dYMax; }
    int GetNumCurves() const { return m_nTraces; }
    // Curve t's plotted values.
    std::vector<double> CurveValues(int t) const;
    // The legend naming the curves by their regions' labels; null without curves.
    CLegend* GetLegend() const { return m_pLegend; }
    // How many of the curves' points the legend covers, wholly or in part.
    int PointsUnderLegend() const;

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    // The selected regions' labels on the legend, which goes to the corner
    // of the plot.
    void UpdateLegend();

    CQuantifySheet* m_pQuantify;
    QPointer<CLegend> m_pLegend; // a child of the plot window
    bool m_bInitialised = false;
    std::vector<double> m_pdX;
    double m_dYMin = 0, m_dYMax = 0, m_dXMin = 0, m_dXMax = 0;
    int m_nLevels;
    int m_nTraces = 0;
    std::vector<QPen*> m_Pens; // owned by the curves
};

class CQuantifySheet : public CPropertySheet, public IViewTool
{
    Q_OBJECT
public:
    CQuantifySheet(CSpecViewBase* pView, CVeltraneDoc* pDoc);
    ~CQuantifySheet() override;

    // The document's sheet over this view: made, set up and shown; false when
    // it could not be shown.
    static bool Open(CSpecViewBase* pView);
    static CQuantifySheet* GetInstance() { return m_pInstance; }
    // The last confirmed settings back to their start (tests).
    static void ResetCarriedSettings();

    CSpecViewBase* GetView() const override { return m_pView; }
    void OnSampleChange(int iNew, int iOld) override;
    void OnSpecWndChange(CSpecWnd* pNew, CSpecWnd* pOld) override;
    void OnSpecTraceChange(CSpecTrace* pNew, CSpecTrace* pOld) override;
    intptr_t OnLineCursorPos(uintptr_t wParam, intptr_t lParam) override;
    void OnCancel() override;
    void DestroyWindow() override;

    CQuantify& State() const;
    CQuantify::RgnList* GetCurrentList() const;
    // Spectrum region i of the position the view shows.
    const CSpecRgn* RegionOf(int i) const;
    bool IsAES() const { return m_bAES; }
    CQuantifyAESLib& GetAESLib() { return m_AESLib; }
    CVeltraneDoc* GetDocument() const { return m_pDoc; }
    bool IsProfileShown() const { return m_pPrfView != nullptr; }
    CQuantifyPrfView* GetProfileView() const { return m_pPrfView; }
    int GetDispMode() const { return m_DispPage.m_iDispMode; }
    int GetCalc() const { return m_DispPage.m_iCalc; }
    double BeamEnergyEv() const { return m_AESPage.m_dEnergy * 1000.0; }

    void Calculate();
    bool Recalculate(bool bRebuild);
    void RecalcRSF();
    void SetRSF(CQuantifyRgn& rec);
    bool LoadAESLib(const std::string& path);

    void OnShowHide();
    void OnSaveAs();
    // The export of the current position to path (the atomic writer).
    void SaveTo(const std::string& path);
    void OnOKButton();
    void OnClose();

    CQuantify_Rgns* GetRgnsPage() { return &m_RgnsPage; }
    CQuantify_AES* GetAESPage() { return &m_AESPage; }
    CQuantify_Disp* GetDispPage() { return &m_DispPage; }
    QPushButton* GetShowHideButton() const { return m_pShowHide; }
    CLineCursor* GetLowerCursor() { return &m_LowerCursor; }
    CLineCursor* GetUpperCursor() { return &m_UpperCursor; }

protected:
    bool OnInitDialog() override;
    void closeEvent(QCloseEvent* e) override;
    void reject() override { OnClose(); }
    void accept() override { OnOKButton(); }

private:
    void Start();
    void Layout();
    void LoadChosenLibrary();
    void UpdateShowHide();
    void CursorsDown(CSpecWnd* pWnd);
    void CursorsUp(CSpecWnd* pWnd);
    void Finish();
    // Whether the document's state may differ from its file: another state
    // than at opening, or a save since then.
    bool StateChangedSinceOpening();
    // The spectrum view back in its frame and the pane gone.
    void HideProfileView();

    CVeltraneDoc* m_pDoc;
    CSpecViewBase* m_pView;
    bool m_bAES = false;
    CQuantifyAESLib m_AESLib;
    CLineCursor m_LowerCursor{0};
    CLineCursor m_UpperCursor{0};
    CQuantify_Rgns m_RgnsPage;
    CQuantify_AES m_AESPage;
    CQuantify_Disp m_DispPage;
    QPointer<CQuantifyPrfView> m_pPrfView; // the frame may take it down first
    QPushButton* m_pShowHide = nullptr;
    QPushButton* m_pSaveAs = nullptr;
    CQuantify m_Saved;
    bool m_bModifiedAtOpen = false;
    unsigned m_nSavesAtOpen = 0; // the document's save count at opening
    bool m_bValidAtOpen = false;
    bool m_bDestroying = false;

    static CQuantifySheet* m_pInstance;
    static QRect m_rectWnd;
};
