#include "analysis/ui/SheetLayout.h"

#include "framework/ui/FileDialog.h"
#include "framework/ui/PropertySheet.h"
#include "framework/ui/Resources.h"
#include "platform/MessageSink.h"

#include <QBoxLayout>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>

#include <algorithm>

void PutButtonColumnBesideTabs(CPropertySheet* sheet, QVBoxLayout* column)
{
    if (QPushButton* apply = sheet->GetApplyButton())
        if (QWidget* box = apply->parentWidget(); box && box != sheet)
            box->hide();
    column->addStretch();
    auto* outer = qobject_cast<QBoxLayout*>(sheet->layout());
    QTabWidget* tabs = sheet->findChild<QTabWidget*>();
    if (outer && tabs) {
        outer->removeWidget(tabs);
        auto* row = new QHBoxLayout;
        row->addWidget(tabs, 1);
        row->addLayout(column);
        outer->insertLayout(0, row);
    }
}

void PlaceToolSheet(QWidget* sheet, const QWidget* near, const QRect& remembered)
{
    sheet->adjustSize();
    if (!remembered.isEmpty()) {
        sheet->setGeometry(remembered);
        return;
    }
    QScreen* screen = near && near->screen() ? near->screen() : QGuiApplication::primaryScreen();
    const QRect work = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    // A sheet larger than the work area (a large desktop font on a small
    // screen) gives up what its layout can spare, and keeps its title bar and
    // left edge on the screen, where the user can take hold of it.
    const QSize frame = sheet->frameGeometry().size() - sheet->size();
    sheet->resize(sheet->size().boundedTo(work.size() - frame.expandedTo(QSize(0, 0))));
    const QSize s = sheet->frameGeometry().size().expandedTo(sheet->size());
    sheet->move(std::max(work.left(), work.left() + (work.width() - s.width()) / 2),
                std::max(work.top(), work.bottom() - 4 - s.height()));
}

bool AskTextExportPath(QWidget* parent, std::string& path)
{
    constexpr unsigned kFileDialogError = 2064;
    SFileDialogRequest req;
    req.bOpen = false;
    req.defaultSuffix = QStringLiteral("txt");
    req.filters = {QStringLiteral("Text Files (*.txt)"), QStringLiteral("All Files (*.*)")};
    req.bFileMustExist = false;
    req.bOverwritePrompt = true;
    SFileDialogResult res;
    int error = 0;
    if (!GetFileDialogProvider().Run(parent, req, res, &error)) {
        if (error)
            AfxMessageBox(kFileDialogError, MB_OK);
        return false;
    }
    if (res.paths.isEmpty())
        return false;
    path = PathFromQString(res.paths.front());
    return true;
}
