#include "framework/ui/SnapToStep.h"

#include "framework/doc/SnapToStep.h"

#include <QLineEdit>

void SnapToStep(QLineEdit* edit, double* value, double step, double factor, unsigned formatId)
{
    if (!value)
        return;
    const std::optional<std::string> text = SnapToStepText(*value, step, factor, formatId);
    if (!text || !edit)
        return;
    const QString shown = QString::fromStdString(*text);
    // Rewriting an equal text would still move the cursor and mark the edit.
    if (edit->text() != shown)
        edit->setText(shown);
}

void DDX_TextSnap(CDataExchange* pDX, const char* ctrl, double& value, double minVal, double maxVal,
                  double step, double factor, unsigned formatId)
{
    DDX_Text(pDX, ctrl, value);
    DDV_MinMaxDouble(pDX, value, minVal, maxVal);
    SnapToStep(qobject_cast<QLineEdit*>(pDX->m_pCurCtrl), &value, step, factor, formatId);
}
