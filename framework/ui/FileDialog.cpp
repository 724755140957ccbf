#include "framework/ui/FileDialog.h"

#include <QFileDialog>

namespace {

class CQtFileDialogProvider : public IFileDialogProvider
{
public:
    bool Run(QWidget* owner, const SFileDialogRequest& rq, SFileDialogResult& result, int* errorCode) override
    {
        if (errorCode)
            *errorCode = 0;
        QFileDialog dlg(owner, rq.title);
        dlg.setAcceptMode(rq.bOpen ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
        if (rq.bOpen)
            dlg.setFileMode(rq.bMultiSelect     ? QFileDialog::ExistingFiles
                            : rq.bFileMustExist ? QFileDialog::ExistingFile
                                                : QFileDialog::AnyFile);
        else
            dlg.setFileMode(QFileDialog::AnyFile);
        dlg.setOption(QFileDialog::DontConfirmOverwrite, !rq.bOverwritePrompt);
        dlg.setOption(QFileDialog::ReadOnly, false);
        QStringList shown;
        for (const QString& f : rq.filters)
            shown << PlatformNameFilter(f);
        dlg.setNameFilters(shown);
        if (rq.iSelectedFilter >= 0 && rq.iSelectedFilter < shown.size())
            dlg.selectNameFilter(shown[rq.iSelectedFilter]);
        if (!rq.defaultSuffix.isEmpty() && rq.defaultSuffix != QLatin1String("*")) {
            // A typed name gets the extension of the filter in use, so a file
            // saved with the VAMAS filter is not named as a data file.
            const QString fallback = rq.defaultSuffix;
            auto follow = [&dlg, fallback](const QString& filter) {
                const QString suffix = FilterSuffix(filter);
                dlg.setDefaultSuffix(suffix.isEmpty() ? fallback : suffix);
            };
            follow(dlg.selectedNameFilter());
            QObject::connect(&dlg, &QFileDialog::filterSelected, &dlg, follow);
        }
        if (dlg.exec() != QDialog::Accepted)
            return false;
        result.paths = dlg.selectedFiles();
        result.iSelectedFilter = int(shown.indexOf(dlg.selectedNameFilter()));
        if (result.iSelectedFilter < 0)
            result.iSelectedFilter = 0;
        return !result.paths.isEmpty();
    }
};

CQtFileDialogProvider g_qtProvider;
IFileDialogProvider* g_provider = nullptr;

} // namespace

QString FilterSuffix(const QString& filter)
{
    const qsizetype open = filter.lastIndexOf(QLatin1Char('('));
    const qsizetype close = filter.lastIndexOf(QLatin1Char(')'));
    const QString patterns = open >= 0 && close > open ? filter.mid(open + 1, close - open - 1) : filter;
    QString list = patterns;
    list.replace(QLatin1Char(';'), QLatin1Char(' '));
    const QString first = list.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
    if (!first.startsWith(QLatin1String("*.")))
        return {};
    const QString ext = first.mid(2);
    if (ext.isEmpty() || ext.contains(QLatin1Char('*')) || ext.contains(QLatin1Char('?')))
        return {};
    return ext;
}

QString PlatformNameFilter(const QString& filter)
{
    const qsizetype open = filter.lastIndexOf(QLatin1Char('('));
    const qsizetype close = filter.lastIndexOf(QLatin1Char(')'));
    if (open < 0 || close < open)
        return filter;
    QStringList patterns = filter.mid(open + 1, close - open - 1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (!patterns.contains(QLatin1String("*.*")))
        return filter;
    for (QString& p : patterns)
        if (p == QLatin1String("*.*"))
            p = QStringLiteral("*");
    patterns.removeDuplicates();
    return filter.left(open + 1) + patterns.join(QLatin1Char(' ')) + filter.mid(close);
}

IFileDialogProvider& GetFileDialogProvider()
{
    return g_provider ? *g_provider : g_qtProvider;
}

IFileDialogProvider* SetFileDialogProvider(IFileDialogProvider* provider)
{
    IFileDialogProvider* old = g_provider;
    g_provider = provider;
    return old;
}
