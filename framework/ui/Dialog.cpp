#include "framework/ui/Dialog.h"

#include "framework/ui/Guard.h"
#include "platform/MessageSink.h"

#include <QCloseEvent>

CDialog::CDialog(QWidget* parent) : QDialog(parent) {}

bool CDialog::Initialise()
{
    if (m_bInitialised)
        return true;
    bool ok = false;
    SafeInvoke([&] { ok = OnInitDialog(); });
    m_bInitialised = ok;
    return ok;
}

int CDialog::DoModal()
{
    m_bModeless = false;
    m_bInitialised = false;
    m_nResult = IDCANCEL;
    if (!Initialise())
        return IDCANCEL;
    int code = exec();
    return code == QDialog::Accepted ? IDOK : m_nResult;
}

bool CDialog::Create(QWidget* parent)
{
    if (!m_bInitialised) {
        m_bModeless = true;
        if (parent && parent != parentWidget())
            setParent(parent, windowFlags() | Qt::Dialog);
        setModal(false);
        if (!Initialise())
            return false;
    }
    show();
    raise();
    activateWindow();
    return true;
}

bool CDialog::OnInitDialog()
{
    return UpdateData(false);
}

void CDialog::DoDataExchange(CDataExchange*) {}

bool CDialog::UpdateData(bool bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    return SafeInvoke([&] { DoDataExchange(&dx); });
}

void CDialog::EndDialog(int result)
{
    m_nResult = result;
    if (m_bModeless)
        hide();
    else
        done(result == IDOK ? QDialog::Accepted : QDialog::Rejected);
}

void CDialog::OnOK()
{
    if (UpdateData(true))
        EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::accept()
{
    SafeInvoke([&] { OnOK(); });
}

void CDialog::reject()
{
    SafeInvoke([&] { OnCancel(); });
}

void CDialog::closeEvent(QCloseEvent* e)
{
    // The title-bar close is a cancel; a modeless dialog is only hidden.
    e->ignore();
    SafeInvoke([&] { OnCancel(); });
}
