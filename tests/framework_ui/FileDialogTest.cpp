// The real file dialog: "All Files (*.*)" must list files without an
// extension, and the filter the user ends on is reported by its position in
// the request.

#include "TestSupport.h"

#include "framework/ui/FileDialog.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

TEST(FileDialog, PlatformFilterMakesStarDotStarMatchEveryName)
{
    struct
    {
        const char* in;
        const char* out;
    } const cases[] = {
        {"All Files (*.*)", "All Files (*)"},
        {"Veltrane Data Files (*.vlt)", "Veltrane Data Files (*.vlt)"},
        {"Mixed (*.npl *.*)", "Mixed (*.npl *)"},
        {"No pattern", "No pattern"},
    };
    for (auto& c : cases)
        EXPECT_EQ(PlatformNameFilter(QString::fromLatin1(c.in)), QString::fromLatin1(c.out)) << c.in;
}

TEST(FileDialog, AllFilesListsNamesWithoutAnExtension)
{
    TestApp();
    QTemporaryDir dir;
    for (const char* name : {"noext", "a.vlt"}) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));

    SFileDialogRequest rq;
    rq.filters = {QStringLiteral("Veltrane Data Files (*.vlt)"), QStringLiteral("All Files (*.*)")};
    rq.iSelectedFilter = 1;
    QStringList listed;
    // The dialog lists the folder in the background: look until the file
    // shows, then answer; after three seconds answer anyway, and give up
    // after five so that a dialog that refuses the answer cannot hang the test.
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (clock.elapsed() > 5000) {
            // Whatever is open by now (the dialog, or a warning it raised over
            // itself) is closed, so the dialog's loop always ends.
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible())
                    d->reject();
            return;
        }
        auto* dlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dlg)
            return;
        auto* view = dlg->findChild<QAbstractItemView*>(QStringLiteral("listView"));
        listed.clear();
        if (view && view->model())
            for (int i = 0; i < view->model()->rowCount(view->rootIndex()); ++i)
                listed << view->model()->index(i, 0, view->rootIndex()).data().toString();
        if (!listed.contains(QStringLiteral("noext")) && clock.elapsed() < 3000)
            return;
        if (auto* edit = dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            edit->setText(QStringLiteral("noext"));
        static_cast<QDialog*>(dlg)->accept(); // the dialog's own OK, with its checks
    });
    poll.start();
    SFileDialogResult res;
    const bool ok = GetFileDialogProvider().Run(nullptr, rq, res, nullptr);
    poll.stop();
    QDir::setCurrent(cwd);

    EXPECT_TRUE(listed.contains(QStringLiteral("noext"))) << listed.join(QLatin1Char(' ')).toStdString();
    ASSERT_TRUE(ok);
    ASSERT_EQ(res.paths.size(), 1);
    EXPECT_EQ(QFileInfo(res.paths[0]).fileName(), QStringLiteral("noext"));
    EXPECT_EQ(res.iSelectedFilter, 1) << "the position in the request, whatever the dialog shows";
}

} // namespace
