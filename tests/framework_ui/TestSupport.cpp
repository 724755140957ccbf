#include "TestSupport.h"

#include "platform/Settings.h"

#include <QApplication>
#include <QElapsedTimer>

QApplication& TestApp()
{
    static int argc = 1;
    static char name[] = "ui_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

CTempSettings::CTempSettings()
{
    SetSettingsLocations(Path("user.ini").toStdString(), Path("machine.ini").toStdString());
}

CTempSettings::~CTempSettings()
{
    SetSettingsLocations("", "");
}

void Pump(int ms)
{
    QElapsedTimer t;
    t.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    } while (t.elapsed() < ms);
}
