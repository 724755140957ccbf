#pragma once
// The background-subtraction dialog. The document keeps the limits (its
// CBackground record, block 169): for each region of each stage position a
// start and a finish point index, shown as two line cursors over the current
// curve. Between them a Shirley or linear background is previewed over the
// curve while the limits move, and Apply subtracts it from the current curve
// or from every level of the current region.

#include "analysis/ui/ProcDlg.h"
#include "data/Background.h"

#include <QPen>
#include <memory>
#include <vector>

class CLineCursor;
class QPushButton;

class CBackgroundDlg : public CProcDlg
{
    Q_OBJECT
public:
    CBackgroundDlg();
    ~CBackgroundDlg() override;

    static QRect m_rectWnd;

    void OnSpecWndChange(CSpecWnd* pNew, CSpecWnd* pOld) override;
    void OnSpecTraceChange(CSpecTrace* pNew, CSpecTrace* pOld) override;
    intptr_t OnLineCursorPos(uintptr_t wParam, intptr_t lParam) override;
    intptr_t OnPaintOver(CSpecWnd* pWnd, QPainter* pDC) override;
    HCURSOR GetCursor(const CPoint& pt, CSpecWnd* pWnd) const;
    void OnCancel() override;

    CLineCursor* GetStartCursor() const { return m_pStartCursor.get(); }
    CLineCursor* GetFinishCursor() const { return m_pFinishCursor.get(); }
    // The preview of the current curve.
    const std::vector<double>& GetBackground() const { return m_pdBackground; }

protected:
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;

private:
    void SetMethod(int iMethod);
    void OnApply();
    void OnReset();
    void Close();
    // The limit pair of the active window's region and plane, or null.
    CBackground::SLimits* CurrentLimits() const;
    // Cursors put at the limits on the current curve, the preview recomputed
    // and the curve area repainted.
    void Refresh(bool bAttach);
    void Recalc();

    QPushButton* m_btnReset;
    int m_iMethod;
    int m_bAllLevels;
    QPen m_penBackground;
    std::unique_ptr<CLineCursor> m_pStartCursor, m_pFinishCursor;
    CBackground::Limits m_caSavedLimits;
    std::vector<double> m_pdBackground;
    bool m_bClosing = false;
    unsigned m_nSavesAtOpen = 0; // the document's save count at opening
    // A limit was moved while the dialog is open: a save in between may have
    // written limits that are no longer the document's.
    bool m_bLimitsMoved = false;
};

// The document's background command: the dialog on view pView.
void OpenBackgroundSubtractDlg(CSpecViewBase* pView);
