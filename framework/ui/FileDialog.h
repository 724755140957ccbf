#pragma once
// The common file dialog behind one small interface, so tests can answer it.

#include <QString>
#include <QStringList>
#include <memory>

class QWidget;

struct SFileDialogRequest
{
    bool bOpen = true;
    QString title;
    QStringList filters;     // "Description (*.ext)" each
    int iSelectedFilter = 0; // preselected filter (index into filters)
    QString defaultSuffix;   // appended to a typed name without one
    bool bMultiSelect = false;
    bool bFileMustExist = true;
    bool bOverwritePrompt = true;
    bool bHideReadOnly = true;
};

struct SFileDialogResult
{
    QStringList paths;       // one path, or several with bMultiSelect
    int iSelectedFilter = 0; // the filter the user ended on
};

class IFileDialogProvider
{
public:
    virtual ~IFileDialogProvider() = default;
    // False when the user cancelled; errorCode (if not null) non-zero when the dialog failed.
    virtual bool Run(QWidget* owner, const SFileDialogRequest& request, SFileDialogResult& result,
                     int* errorCode) = 0;
};

// The extension that a name filter "Description (*.ext)" stands for ("ext"),
// or empty when it names no single extension ("All Files (*.*)").
QString FilterSuffix(const QString& filter);

// The filter as the file dialog of this system takes it: "*.*" matches only
// names with a dot here, so the filter that stands for every file gets "*".
QString PlatformNameFilter(const QString& filter);

// The provider in use (a QFileDialog unless a test installed another).
IFileDialogProvider& GetFileDialogProvider();
// Installs a provider (nullptr restores the QFileDialog); returns the previous one.
IFileDialogProvider* SetFileDialogProvider(IFileDialogProvider* provider);
