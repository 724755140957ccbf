#pragma once
// The integration dialog: every curve of the view replaced by its running
// integral over the point index (Simpson's rules), with an optional linear
// offset correction. Each Apply integrates the curves as they were at
// opening, so a second Apply replaces the first.

#include "analysis/ui/ProcDlg.h"

class QLineEdit;
class QPushButton;

class CIntegrate : public CProcDlg
{
    Q_OBJECT
public:
    CIntegrate();
    ~CIntegrate() override;

    static QRect m_rectWnd;

protected:
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;

private:
    void OnOffset(int id);
    void OnChangeWidth();
    void OnApply();
    void OnReset();

    QPushButton* m_btnReset;
    QPushButton* m_btnApply;
    QLineEdit* m_edtWidth;
    int m_iOffset;
    unsigned m_nWidth;
};
