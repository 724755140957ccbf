// A name typed into the save dialog without an extension gets the extension of
// the filter in use: an export chosen as VAMAS must not be named as a data file.

#include "TestSupport.h"

#include "framework/ui/FileDialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

TEST(FileDialogSuffix, FilterNamesItsExtension)
{
    struct
    {
        const char* filter;
        const char* suffix;
    } const cases[] = {
        {"VAMAS files (*.npl)", "npl"},    {"Veltrane Data Files (*.vlt)", "vlt"},
        {"All Files (*.*)", ""},           {"Images (*.bmp *.png)", "bmp"},
        {"Settings (*.saq;*.vlt)", "saq"}, {"Anything (*)", ""},
        {"Odd (name).txt (*.txt)", "txt"}, {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FilterSuffix(c.filter).toStdString(), c.suffix) << c.filter;
}

// Types name into the real dialog once it shows, optionally picks filter
// first as the user would, and accepts.
QStringList SaveWith(const SFileDialogRequest& rq, const QString& name, int pickFilter = -1)
{
    TestApp();
    IFileDialogProvider* old = SetFileDialogProvider(nullptr);
    QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dlg)
            return;
        if (pickFilter >= 0) {
            dlg->selectNameFilter(rq.filters[pickFilter]);
            emit dlg->filterSelected(rq.filters[pickFilter]);
        }
        if (auto* edit = dlg->findChild<QLineEdit*>("fileNameEdit"))
            edit->setText(name);
        static_cast<QDialog*>(dlg)->accept(); // as the Save button does
    });
    SFileDialogResult result;
    const bool ok = GetFileDialogProvider().Run(nullptr, rq, result, nullptr);
    SetFileDialogProvider(old);
    return ok ? result.paths : QStringList();
}

TEST(FileDialogSuffix, ATypedNameTakesTheExtensionOfTheChosenFilter)
{
    QTemporaryDir dir;
    SFileDialogRequest rq;
    rq.bOpen = false;
    rq.filters = {"Veltrane Data Files (*.vlt)", "Text files (*.txt)", "VAMAS files (*.npl)",
                  "All Files (*.*)"};
    rq.defaultSuffix = "vlt";

    EXPECT_EQ(SaveWith(rq, dir.filePath("a")), QStringList{dir.filePath("a.vlt")});
    EXPECT_EQ(SaveWith(rq, dir.filePath("b"), 2), QStringList{dir.filePath("b.npl")})
        << "picked in the dialog";
    rq.iSelectedFilter = 2; // the filter remembered from the last time
    EXPECT_EQ(SaveWith(rq, dir.filePath("c")), QStringList{dir.filePath("c.npl")});
    EXPECT_EQ(SaveWith(rq, dir.filePath("d"), 3), QStringList{dir.filePath("d.vlt")})
        << "all files: the default";
    EXPECT_EQ(SaveWith(rq, dir.filePath("e.dat")), QStringList{dir.filePath("e.dat")})
        << "a typed extension stays";
}

} // namespace
