#pragma once
// The X-ray satellite removal dialog: five shifted, scaled copies of each
// curve as it was at opening subtracted from it, with the ratios and offsets
// of the document's X-ray source.

#include "analysis/ui/ProcDlg.h"

class QPushButton;

class CSatellite : public CProcDlg
{
    Q_OBJECT
public:
    CSatellite();

    static QRect m_rectWnd;

private:
    void OnApply();
    void OnReset();

    QPushButton* m_btnReset;
};
