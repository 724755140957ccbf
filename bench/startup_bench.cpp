// Start-up to the main window shown: the program against a bare Qt main
// window, measured the way a user meets it (a new process until its window
// has been shown and painted) and, for detail, inside one process (the
// application object's start-up against constructing and showing a bare
// QMainWindow). Settings live in a temporary folder; without a display the
// offscreen platform is used.

#include "app/MainFrm.h"
#include "app/ShellOpen.h"
#include "app/Veltrane.h"
#include "platform/MessageSink.h"
#include "platform/Settings.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <clocale>
#include <cstdlib>
#include <map>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

std::string g_self;

class CSilentSink : public IMessageSink
{
public:
    int ShowMessage(const std::string&, unsigned) override { return IDOK; }
};

// Until the window has been exposed and painted once.
void WaitShown(QWidget* w)
{
    for (int i = 0; i < 100 && !w->isVisible(); ++i)
        QCoreApplication::processEvents();
    w->repaint();
    QCoreApplication::processEvents();
}

void ShowBare()
{
    auto w = std::make_unique<QMainWindow>();
    w->menuBar()->addMenu(QStringLiteral("&File"));
    w->statusBar();
    w->show();
    WaitShown(w.get());
}

// The child processes: start, show, leave at once (exit is not start-up).
int RunChild(const std::string& mode, int argc, char** argv)
{
    QApplication qapp(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    if (mode == "bare") {
        ShowBare();
        _exit(0);
    }
    CSilentSink sink;
    SetMessageSink(&sink);
    CShellOpenServer::SetServerName(
        QStringLiteral("veltrane-bench-%1").arg(QCoreApplication::applicationPid()));
    auto* app = new CVeltrane; // left to the process exit, like the window
    if (!app->InitInstance())
        _exit(1);
    WaitShown(app->GetMainFrame());
    _exit(0);
}

void SpawnChild(benchmark::State& state, const char* mode)
{
    for (auto _ : state) {
        std::string arg = std::string("--child=") + mode;
        char* argv[] = {g_self.data(), arg.data(), nullptr};
        pid_t pid = 0;
        if (posix_spawn(&pid, g_self.c_str(), nullptr, nullptr, argv, environ) != 0) {
            state.SkipWithError("cannot start a child");
            return;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("child failed");
            return;
        }
    }
}

void BM_ProcessBareMainWindow(benchmark::State& state)
{
    SpawnChild(state, "bare");
}

void BM_ProcessVeltrane(benchmark::State& state)
{
    SpawnChild(state, "veltrane");
}

void BM_InProcessBareMainWindow(benchmark::State& state)
{
    for (auto _ : state) {
        ShowBare();
        state.PauseTiming();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

void BM_InProcessVeltrane(benchmark::State& state)
{
    for (auto _ : state) {
        auto app = std::make_unique<CVeltrane>();
        if (!app->InitInstance()) {
            state.SkipWithError("start-up failed");
            return;
        }
        WaitShown(app->GetMainFrame());
        state.PauseTiming();
        app->GetMainFrame()->DestroyWindow();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        app->ExitInstance();
        app.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

BENCHMARK(BM_ProcessBareMainWindow)->Unit(benchmark::kMillisecond)->Iterations(30)->UseRealTime();
BENCHMARK(BM_ProcessVeltrane)->Unit(benchmark::kMillisecond)->Iterations(30)->UseRealTime();
BENCHMARK(BM_InProcessBareMainWindow)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_InProcessVeltrane)->Unit(benchmark::kMillisecond)->MinTime(0.5);

// Keeps each benchmark's time per iteration for the ratios.
class CRatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs) {
            std::string name = r.benchmark_name();
            m_times[name.substr(0, name.find('/'))] = r.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double Ratio(const char* a, const char* b) { return m_times[b] > 0 ? m_times[a] / m_times[b] : 0; }
    std::map<std::string, double> m_times;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]).rfind("--child=", 0) == 0)
            return RunChild(std::string(argv[i]).substr(8), argc, argv);

    g_self = argv[0];
    QTemporaryDir dir;
    // The children find their settings here too.
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    qputenv("VELTRANE_MACHINE_CONFIG", dir.filePath("machine.ini").toUtf8());
    QApplication qapp(argc, argv);
    SetSettingsLocations(dir.filePath("user.ini").toStdString(), dir.filePath("machine.ini").toStdString());
    CShellOpenServer::SetServerName(
        QStringLiteral("veltrane-bench-%1").arg(QCoreApplication::applicationPid()));
    CSilentSink sink;
    SetMessageSink(&sink);

    benchmark::Initialize(&argc, argv);
    CRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("startup ratio, new process to window shown (Veltrane / bare main window): %.2f (target at "
                "most 1.5)\n",
                reporter.Ratio("BM_ProcessVeltrane", "BM_ProcessBareMainWindow"));
    std::printf("startup ratio, in one process (application start-up / bare main window): %.2f\n",
                reporter.Ratio("BM_InProcessVeltrane", "BM_InProcessBareMainWindow"));
    SetMessageSink(nullptr);
    benchmark::Shutdown();
    return 0;
}
