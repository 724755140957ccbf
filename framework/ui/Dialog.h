#pragma once
// Dialogs: modal (DoModal) or modeless (Create). A modeless dialog is created
// once and only hidden when closed, so its state survives until it is shown
// again. Data exchange runs through DoDataExchange; OK validates first and
// stays open when a value is refused.

#include "framework/ui/CmdTarget.h"
#include "framework/ui/DataExchange.h"

#include <QDialog>

class CDialog : public QDialog, public CCmdTarget
{
    Q_OBJECT
public:
    explicit CDialog(QWidget* parent = nullptr);

    // Runs the dialog modally; returns IDOK or IDCANCEL (or the EndDialog code).
    virtual int DoModal();
    // Makes the dialog modeless with the given parent and shows it; a second
    // call only shows it again. Returns false when initialisation refused.
    virtual bool Create(QWidget* parent = nullptr);
    bool IsModeless() const { return m_bModeless; }
    bool IsCreated() const { return m_bInitialised; }

    // Save (true): controls to members with validation; false when refused.
    bool UpdateData(bool bSaveAndValidate = true);
    void EndDialog(int result);

    // OK and Cancel of the dialog's buttons (and Enter and Escape).
    void accept() override;
    void reject() override;

protected:
    virtual bool OnInitDialog();
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual void OnOK();
    virtual void OnCancel();

    void closeEvent(QCloseEvent* e) override;

private:
    bool Initialise();
    bool m_bModeless = false;
    bool m_bInitialised = false;
    int m_nResult = 0;
};
