#pragma once
// The differentiation dialog: every curve of the view replaced by its first
// to fourth derivative per point index, by window differences ("Simple") or
// by Savitzky-Golay derivative filters.

#include "analysis/ui/ProcDlg.h"

#include <memory>
#include <vector>

class CSavGol;
class CWidthSpin;
class QComboBox;
class QLabel;
class QPushButton;

class CDifferentiate : public CProcDlg
{
    Q_OBJECT
public:
    // Throws CFileException when the coefficient file cannot be used.
    CDifferentiate();
    ~CDifferentiate() override;

    static QRect m_rectWnd;

protected:
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;

private:
    void SetMethod(int iMethod);
    void SetRange();
    void OnChangeWidth();
    void OnApply();
    void OnReset();

    QComboBox* m_cmbOrder;
    QPushButton* m_btnApply;
    QPushButton* m_btnReset;
    CWidthSpin* m_spnWidth;
    QLabel* m_lblReason;
    int m_iMethod;
    std::unique_ptr<CSavGol> m_pSavGol;
    std::vector<double> m_pdBuf;
    int m_nOrder;
    int m_nWidth;
    int m_nMaxWidth = 35, m_nMinWidth = 2;
};
