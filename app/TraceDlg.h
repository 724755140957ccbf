#pragma once
// The small dialog that drops down under the Level button: the first shown
// level, the step between shown levels and their number, each changed with
// its spin buttons, plus Next (on to the last level now shown) and Reset
// (all levels). Its edits cannot be typed into.

#include <QDialog>

class CSpecViewBase;
class QPushButton;
class QSpinBox;

class CTraceDlg : public QDialog
{
    Q_OBJECT
public:
    enum : int
    {
        IDD = 186,
        IDC_START = 4767,
        IDC_NUMBER = 4768,
        IDC_STEP = 4769,
        IDC_START_SPIN = 4770,
        IDC_NUMBER_SPIN = 4771,
        IDC_STEP_SPIN = 4772,
        IDC_RESET = 4773,
        IDC_NEXT = 4774,
    };

    // button: the Level button the dialog drops down under (may be null).
    explicit CTraceDlg(QWidget* pParent = nullptr, QWidget* button = nullptr);
    ~CTraceDlg() override;

    // Stores the view, then runs modally.
    virtual int DoModal(CSpecViewBase* pView);
    // Initialisation: placement under the button and the first refresh.
    bool OnInitDialog();
    void Refresh();

    QSpinBox* GetStartSpin() const { return m_pStartSpin; }
    QSpinBox* GetStepSpin() const { return m_pStepSpin; }
    QSpinBox* GetNumberSpin() const { return m_pNumberSpin; }
    QPushButton* GetNextButton() const { return m_pNext; }
    QPushButton* GetResetButton() const { return m_pReset; }

    void OnSpin(int id, int value);
    void OnReset();
    void OnNext();

private:
    QPushButton* m_pNext;
    QSpinBox* m_pNumberSpin;
    QSpinBox* m_pStartSpin;
    QSpinBox* m_pStepSpin;
    QPushButton* m_pReset;
    QWidget* m_pButton;
    CSpecViewBase* m_pView = nullptr;
    int m_iFirst = 0;
    int m_iStep = 1;
    int m_nDisp = 1;
    int m_nLevels = 0;
};
