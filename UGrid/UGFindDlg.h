#pragma once
// The modeless find and find-and-replace dialog of the grid control. Each button
// becomes a request that the control runs through its default data source.

#include "UGrid/model/UGCtrlCore.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QRadioButton;

class CUGFindDlg : public QDialog
{
    Q_OBJECT
public:
    CUGFindDlg(CUGCtrlCore* ctrl, bool replace, QWidget* parent);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Send(CUGCtrlCore::FindRequest::Kind kind);

    CUGCtrlCore* m_ctrl;
    QLineEdit* m_find = nullptr;
    QLineEdit* m_replace = nullptr;
    QCheckBox* m_whole = nullptr;
    QCheckBox* m_case = nullptr;
    QRadioButton* m_down = nullptr;
    bool m_closed = false;
};
