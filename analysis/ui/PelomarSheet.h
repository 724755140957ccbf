#pragma once
// The curve-fitting sheet over one spectrum view: clicks on the plot add
// synthetic peaks sized from the curve over a background between two limits,
// and the sheet draws the peaks, their sum, the background, the residue and
// markers over the plot. It has no optimiser (its Calculate, Profile and Show
// buttons stay greyed), and the view keeps its command greyed, so users do
// not reach it; the settings record of its Method page is kept all the same.

#include "UGrid/UGCtrl.h"
#include "analysis/core/PeakSynth.h"
#include "app/ViewTools.h"
#include "app/plot/LineCursor.h"
#include "framework/ui/PropertySheet.h"

#include <QPen>
#include <QRect>
#include <memory>
#include <vector>

class CSpecView;
class CSpecViewBase;
class CSpecTrace;
class CSpecWnd;
class CPelomar_Sheet;
class QPushButton;

enum : unsigned
{
    IDS_PELOMAR_CAPTION = 1095,
    IDD_PELOMAR_METHOD = 188,
    IDD_PELOMAR_COMPONENTS = 189,
    IDD_PELOMAR_CONSTRAINTS = 190,
    IDR_PELOMAR_MENU = 183,
    IDC_PELOMAR_CLOSE = 4716,
    IDC_PELOMAR_SHOW = 4717,
    IDC_PELOMAR_PROFILE = 4718,
    IDC_PELOMAR_CALC = 4719,
    IDC_PELOMARMTH_GAUSS = 4720,
    IDC_PELOMARMTH_SHERWOOD = 4721,
    IDC_PELOMARMTH_BTN_MIX = 4722,
    IDC_PELOMARMTH_EDIT_MIX = 4723,
    IDC_PELOMARMTH_START = 4727,
    IDC_PELOMARMTH_FINISH = 4728,
    IDC_PELOMARMTH_SUBBCK = 4729,
    IDC_PELOMARMTH_SUM = 4730,
    IDC_PELOMARMTH_RESIDUE = 4731,
    IDC_PELOMARMTH_SHOWBCK = 4732,
    IDC_PELOMARMTH_MARKERS = 4733,
    IDC_PELOMARMTH_PEAKS = 4734,
    IDC_PELOMARCMP_GRID = 4740,
    ID_PELOMAR_FIX = 32840,
    ID_PELOMAR_FIX_RELATIVE = 32841,
};

class CPelomar_MethodPage : public CPropertyPage
{
    Q_OBJECT
public:
    CPelomar_MethodPage();

    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;

    double m_dRatio = 0; // Gauss-Lorentz ratio, 0 ... 1
    double m_dStart = 0; // limits as point indices
    double m_dFinish = 0;
    CPelomar_Sheet* m_pSheet = nullptr;

private:
    void OnShape(unsigned id);
    void OnDisplay(unsigned id);
    void OnSubtract();
    // The settings record's flags, which the page reads and writes directly.
    bool* m_pbFlags[8];
};

class CPelomar_ComponGrid : public CUGCtrl
{
    Q_OBJECT
public:
    void OnSetup() override;
    int OnCanSizeCol(int) override { return 0; }
    int OnCanSizeRow(long) override { return 0; }
    int OnCanSizeTopHdg() override { return 0; }
    int OnCanSizeSideHdg() override { return 0; }
    int OnMenuStart(int col, long row, int section) override;
    void OnMenuCommand(int col, long row, int section, int item) override;
    COLORREF OnGetDefBackColor(int section) override;
    void OnDrawFocusRect(CDC*, RECT*) override {}

private:
    CFont m_font;
};

class CPelomar_ComponPage : public CPropertyPage
{
    Q_OBJECT
public:
    CPelomar_ComponPage();
    bool OnInitDialog() override;
    CPelomar_ComponGrid* GetGrid() { return &m_Grid; }

private:
    CPelomar_ComponGrid m_Grid;
};

// Built with the sheet, never added to it.
class CPelomar_ConstrPage : public CPropertyPage
{
    Q_OBJECT
public:
    CPelomar_ConstrPage();
};

class CPelomar_Sheet : public CPropertySheet, public IViewTool
{
    Q_OBJECT
public:
    CPelomar_Sheet(unsigned nIDCaption, CSpecView* pView, unsigned iSelectPage);
    ~CPelomar_Sheet() override;

    static CPelomar_Sheet* GetInstance() { return m_pInstance; }
    CSpecViewBase* GetView() const override;

    // Adds a peak at window x of the active plot window when markers are shown.
    void OnViewClick(int x) override;
    intptr_t OnPaintOver(CSpecWnd* pWnd, QPainter* pDC) override;
    void OnCloseBtn();
    void CloseWindow() override { OnCloseBtn(); }
    void DestroyWindow() override;
    void OnCancel() override { OnCloseBtn(); }

    // The peak under window x of the active plot window, sized from the curve.
    int AddComponentAt(int x);
    // Recalculates peak k (all of them when k is 0) and the sum and residue.
    void CalcEnvelope(int k);
    void DrawMarkers(CSpecTrace* pTrace, QPainter* pDC);

    const std::vector<std::unique_ptr<CPelomar_Component>>& Components() const { return m_Components; }
    const std::vector<double>& Background() const { return m_pdBackground; }
    const std::vector<double>& Sum() const { return m_pdSum; }
    const std::vector<double>& Residual() const { return m_pdResidual; }
    CPelomar_MethodPage* GetMethodPage() { return &m_MethodPage; }
    CPelomar_ComponPage* GetComponPage() { return &m_ComponPage; }
    CLineCursor* GetStartCursor() { return &m_StartCursor; }
    CLineCursor* GetFinishCursor() { return &m_FinishCursor; }
    static QRect& WindowRect() { return m_rectWnd; }

protected:
    bool OnInitDialog() override;
    void closeEvent(QCloseEvent* e) override;

private:
    void Layout();
    void CalcBackground();
    // The view's current curve and its point count, or null.
    CSpecTrace* Trace(int* n = nullptr) const;
    void RepaintTraceArea();
    double Step() const;

    std::vector<QPushButton*> m_caButtons;
    std::vector<std::unique_ptr<CPelomar_Component>> m_Components;
    static QRect m_rectWnd;
    CSpecView* m_pView;
    CPelomar_MethodPage m_MethodPage;
    CPelomar_ComponPage m_ComponPage;
    CPelomar_ConstrPage m_ConstrPage;
    CLineCursor m_StartCursor{0};
    CLineCursor m_FinishCursor{0};
    QPen m_penBackground, m_penComponents, m_penResidual, m_penSum;
    std::vector<double> m_pdBackground, m_pdSum, m_pdResidual;
    bool m_bDestroying = false;
    static CPelomar_Sheet* m_pInstance;
};
