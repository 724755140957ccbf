#include "analysis/ui/WidthSpin.h"

#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <algorithm>

CWidthSpin::CWidthSpin(QWidget* parent, const char* spinName, const char* editName) : QSpinBox(parent)
{
    setObjectName(QString::fromLatin1(spinName));
    lineEdit()->setObjectName(QString::fromLatin1(editName));
    QSpinBox::setRange(0, 99);
    lineEdit()->setMaxLength(2);
    setKeyboardTracking(true);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
}

void CWidthSpin::SetRange(int nMin, int nMax, bool bOddSteps)
{
    m_nMin = nMin;
    m_nMax = nMax;
    m_bOddSteps = bOddSteps;
}

int CWidthSpin::GetWidth() const
{
    bool ok = false;
    const int n = lineEdit()->text().trimmed().toInt(&ok);
    return ok ? n : -1;
}

void CWidthSpin::SetWidth(int n)
{
    setValue(n);
    lineEdit()->setText(QString::number(n));
}

void CWidthSpin::stepBy(int steps)
{
    int n = GetWidth();
    if (n < 0)
        n = m_nMin;
    if (m_bOddSteps && n % 2)
        steps *= 2;
    SetWidth(std::clamp(n + steps, m_nMin, m_nMax));
}
