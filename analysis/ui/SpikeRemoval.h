#pragma once
// The spike-removal dialog: the point of the current curve under a line
// cursor is replaced by the mean of the other points of a window around it.

#include "analysis/ui/ProcDlg.h"

#include <memory>

class CLineCursor;
class QPushButton;

class CSpikeRemoval : public CProcDlg
{
    Q_OBJECT
public:
    CSpikeRemoval();
    ~CSpikeRemoval() override;

    static QRect m_rectWnd;

    void OnSpecWndChange(CSpecWnd* pNew, CSpecWnd* pOld) override;
    void OnSpecTraceChange(CSpecTrace* pNew, CSpecTrace* pOld) override;
    HCURSOR GetCursor(const CPoint& pt, CSpecWnd* pWnd) const;
    CLineCursor* GetMarker() const { return m_pCursor.get(); }
    void OnCancel() override;

protected:
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;

private:
    void OnApply();
    void OnReset();
    void Close(bool bOK);

    QPushButton* m_btnReset;
    int m_nWidth;
    std::unique_ptr<CLineCursor> m_pCursor;
};
