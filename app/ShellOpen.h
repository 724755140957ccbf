#pragma once
// The shell's open request: "veltrane --open FILE..." hands its files to a
// running instance over a local socket, or opens them itself when none runs.

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <string>

class QLocalServer;

// The files of "--open FILE..." in a command line (the program name first).
// A file name without "--open" opens nothing.
QStringList ShellOpenArguments(const QStringList& args);

class CShellOpenServer : public QObject
{
    Q_OBJECT
public:
    using Handler = std::function<void(const QStringList& paths)>;

    explicit CShellOpenServer(Handler handler);
    ~CShellOpenServer() override;

    // Starts listening; false when another instance already listens.
    bool Listen();

    // The socket name: per user, unless a test set another; empty when no
    // folder private to the user can be had.
    static QString ServerName();
    // Without a runtime folder, the socket's folder in the user's cache,
    // made and checked private; empty when it cannot be.
    static QString PrivateSocketFolder();
    static void SetServerName(const QString& name);

    // Sends the files to a running instance; false when none answered.
    static bool SendToRunningInstance(const QStringList& paths, int timeoutMs = 2000);

private:
    static bool SendRequest(const std::string& request, int timeoutMs);

    QLocalServer* m_pServer;
    Handler m_handler;
};
