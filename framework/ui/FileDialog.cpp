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
        dlg.setNameFilters(rq.filters);
        if (rq.iSelectedFilter >= 0 && rq.iSelectedFilter < rq.filters.size())
            dlg.selectNameFilter(rq.filters[rq.iSelectedFilter]);
        if (!rq.defaultSuffix.isEmpty() && rq.defaultSuffix != QLatin1String("*"))
            dlg.setDefaultSuffix(rq.defaultSuffix);
        if (dlg.exec() != QDialog::Accepted)
            return false;
        result.paths = dlg.selectedFiles();
        result.iSelectedFilter = int(rq.filters.indexOf(dlg.selectedNameFilter()));
        if (result.iSelectedFilter < 0)
            result.iSelectedFilter = 0;
        return !result.paths.isEmpty();
    }
};

CQtFileDialogProvider g_qtProvider;
IFileDialogProvider* g_provider = nullptr;

} // namespace

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
