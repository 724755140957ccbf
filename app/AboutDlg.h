#pragma once
#include "framework/ui/Dialog.h"

// The About box: caption, icon, version text and OK.
class CAboutDlg : public CDialog
{
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
