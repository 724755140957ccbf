#pragma once
// The charge-correction dialog: a line cursor is put on a peak of known
// binding energy (C 1s 284.0 eV, O 1s 532.0 eV or a typed value) and OK adds
// the difference between the known energy and the energy at the cursor to
// the kinetic-energy offset of the current region, or of every region of
// the current stage position. The curves are not changed: no undo copy.

#include "analysis/ui/ProcDlg.h"

#include <memory>

class CLineCursor;
class QLineEdit;

class CChargeCorrn : public CProcDlg
{
    Q_OBJECT
public:
    CChargeCorrn();
    ~CChargeCorrn() override;

    static QRect m_rectWnd;

    bool Create(unsigned nIDTemplate, CSpecViewBase* pView) override;
    void OnSpecWndChange(CSpecWnd* pNew, CSpecWnd* pOld) override;
    void OnSpecTraceChange(CSpecTrace* pNew, CSpecTrace* pOld) override;
    intptr_t OnLineCursorPos(uintptr_t wParam, intptr_t lParam) override;
    int OnUnitChange(int from, int to) override;
    HCURSOR GetCursor(const CPoint& pt, CSpecWnd* pWnd) const;
    void OnCancel() override;
    CLineCursor* GetMarker() const { return m_pCursor.get(); }

protected:
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;

private:
    int DisplayUnit() const;
    double Convert(double value, int from, int to) const;
    // The energy in display units at the cursor on the active window.
    double CursorEnergy() const;
    void OnReference(int id);
    void OnChangeNew();
    void Close();

    QLineEdit* m_edtCurrent;
    QLineEdit* m_edtNew;
    int m_iReference;
    int m_bAllRegions;
    double m_dReference;
    std::unique_ptr<CLineCursor> m_pCursor;
};
