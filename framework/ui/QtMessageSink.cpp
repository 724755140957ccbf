#include "framework/ui/QtMessageSink.h"

#include "framework/ui/CrossThread.h"
#include "framework/ui/Resources.h"
#include "platform/Strings.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

int CQtMessageSink::ShowMessage(const std::string& text, unsigned type)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread())
        return Present(text, type);
    int answer = IDCANCEL;
    RunOnThreadOf(app, [&] { answer = Present(text, type); });
    return answer;
}

int CQtMessageSink::Present(const std::string& text, unsigned type)
{
    if (m_presenter)
        return m_presenter(text, type);
    return ShowBox(text, type);
}

int CQtMessageSink::ShowBox(const std::string& text, unsigned type)
{
    using B = QMessageBox::StandardButton;
    QMessageBox::StandardButtons buttons;
    B defaultButton = B::Ok;
    switch (type & 0x0F) {
    case MB_OKCANCEL:
        buttons = B::Ok | B::Cancel;
        break;
    case MB_ABORTRETRYIGNORE:
        buttons = B::Abort | B::Retry | B::Ignore;
        defaultButton = B::Abort;
        break;
    case MB_YESNOCANCEL:
        buttons = B::Yes | B::No | B::Cancel;
        defaultButton = B::Yes;
        break;
    case MB_YESNO:
        buttons = B::Yes | B::No;
        defaultButton = B::Yes;
        break;
    case MB_RETRYCANCEL:
        buttons = B::Retry | B::Cancel;
        defaultButton = B::Retry;
        break;
    default:
        buttons = B::Ok;
        break;
    }
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (type & 0xF0) {
    case MB_ICONERROR:
        icon = QMessageBox::Critical;
        break;
    case MB_ICONQUESTION:
        icon = QMessageBox::Question;
        break;
    case MB_ICONWARNING:
        icon = QMessageBox::Warning;
        break;
    case MB_ICONINFORMATION:
        icon = QMessageBox::Information;
        break;
    default:
        // A box without an icon still needs one that tells its kind.
        icon = (type & 0x0F) == MB_OK ? QMessageBox::Warning : QMessageBox::Question;
        break;
    }
    std::string title = LoadString(AFX_IDS_APP_TITLE);
    QMessageBox box(icon, ToQString(title.empty() ? std::string("Veltrane") : title), ToQString(text),
                    buttons, QApplication::activeWindow());
    box.setDefaultButton(defaultButton);
    switch (box.exec()) {
    case B::Ok:
        return IDOK;
    case B::Cancel:
        return IDCANCEL;
    case B::Abort:
        return IDABORT;
    case B::Retry:
        return IDRETRY;
    case B::Ignore:
        return IDIGNORE;
    case B::Yes:
        return IDYES;
    case B::No:
        return IDNO;
    default:
        return (type & 0x0F) == MB_YESNO ? IDNO : IDCANCEL;
    }
}
