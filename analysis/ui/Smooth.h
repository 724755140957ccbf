#pragma once
// The smoothing dialog: every curve of the view smoothed in place by a
// moving average ("Simple") or a Savitzky-Golay filter of the chosen width.

#include "analysis/ui/ProcDlg.h"

#include <memory>
#include <vector>

class CSavGol;
class CWidthSpin;
class QLabel;
class QPushButton;

class CSmooth : public CProcDlg
{
    Q_OBJECT
public:
    // Throws CFileException when the coefficient file cannot be used.
    CSmooth();
    ~CSmooth() override;

    static QRect m_rectWnd;

protected:
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;

private:
    void SetSimple();
    void SetSavGol();
    void OnChangeWidth();
    void OnApply();
    void OnReset();

    QPushButton* m_btnApply;
    QPushButton* m_btnReset;
    CWidthSpin* m_spnWidth;
    QLabel* m_lblReason;
    int m_iMethod;
    std::unique_ptr<CSavGol> m_pSavGol;
    std::vector<double> m_pdBuf;
    int m_nWidth;
    int m_nMaxWidth = 35, m_nMinWidth = 2;
};
