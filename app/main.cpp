// veltrane: the program. "veltrane --open FILE..." opens files, handing them
// to an instance that already runs; a file name alone opens nothing.

#include "app/FileFormats.h"
#include "app/InstrumentHooks.h"
#include "app/ShellOpen.h"
#include "app/Veltrane.h"
#include "framework/ui/QtMessageSink.h"
#ifdef VELTRANE_PROCESS_TOOLS
#include "analysis/ui/ProcDlg.h"
#endif

#include <QApplication>
#include <clocale>

int main(int argc, char* argv[])
{
    QApplication qapp(argc, argv);
    // Numbers in files and on screen never follow a decimal-comma locale.
    std::setlocale(LC_NUMERIC, "C");

    const QStringList open = ShellOpenArguments(QCoreApplication::arguments());
    if (!open.isEmpty() && CShellOpenServer::SendToRunningInstance(open))
        return 0;

    InstallInstrumentHooks();
    InstallFileFormats();
#ifdef VELTRANE_PROCESS_TOOLS
    InstallProcessTools();
#endif
    CQtMessageSink sink;
    SetMessageSink(&sink);
    int code = 0;
    {
        CVeltrane app;
        app.SetShellOpenRequest(open);
        code = app.Run();
    }
    SetMessageSink(nullptr);
    return code;
}
