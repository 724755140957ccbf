#pragma once
// The width field of the smoothing and differentiation dialogs: an edit with
// its up-down arrows. Typing is free (two digits); the arrows stay within
// the current method's range and, for Savitzky-Golay from an odd width, step
// by two so that they move between odd widths.

#include <QSpinBox>

class CWidthSpin : public QSpinBox
{
    Q_OBJECT
public:
    CWidthSpin(QWidget* parent, const char* spinName, const char* editName);

    void SetRange(int nMin, int nMax, bool bOddSteps);
    // The typed width, or -1 when the field holds no number.
    int GetWidth() const;
    void SetWidth(int n);
    void stepBy(int steps) override;
    QLineEdit* Edit() const { return lineEdit(); }

private:
    int m_nMin = 0, m_nMax = 99;
    bool m_bOddSteps = false;
};
