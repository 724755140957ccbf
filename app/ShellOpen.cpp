#include "app/ShellOpen.h"

#include "app/ShellRequest.h"
#include "framework/ui/Guard.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSysInfo>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString g_serverName;
} // namespace

QStringList ShellOpenArguments(const QStringList& args)
{
    QStringList open;
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] != QLatin1String("--open"))
            continue;
        while (i + 1 < args.size() && !args[i + 1].startsWith(QLatin1String("--")))
            open << args[++i];
    }
    return open;
}

CShellOpenServer::CShellOpenServer(Handler handler)
    : m_pServer(new QLocalServer(this)), m_handler(std::move(handler))
{
    m_pServer->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_pServer, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = m_pServer->nextPendingConnection()) {
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            connect(s, &QLocalSocket::readyRead, this, [this, s] {
                QByteArray data = s->property("veltraneData").toByteArray() + s->readAll();
                // A request that grows past the limit is dropped.
                if (size_t(data.size()) > kShellRequestMaxBytes) {
                    s->abort();
                    return;
                }
                s->setProperty("veltraneData", data);
                std::vector<std::string> paths;
                if (!ParseShellRequest(std::string_view(data.constData(), size_t(data.size())), paths))
                    return; // not complete yet
                s->write("OK\n");
                s->flush();
                s->setProperty("veltraneData", QByteArray());
                QStringList list;
                for (const std::string& p : paths)
                    list << QString::fromStdString(p);
                // Opening may show a message box, whose event loop can see the
                // client go and delete this socket under its own signal: the
                // files open once the signal has returned.
                QMetaObject::invokeMethod(
                    this, [this, list] { SafeInvoke([&] { m_handler(list); }); }, Qt::QueuedConnection);
            });
        }
    });
}

CShellOpenServer::~CShellOpenServer() = default;

namespace {

// A folder that only this user can enter: a real folder (no link), owned by
// the user, with no access for others. Our own folder is made when missing and
// narrowed when the user widened it; any other folder with wider access, or of
// another owner, is refused.
bool IsPrivateFolder(const QString& path, bool ours)
{
    const QByteArray p = QFile::encodeName(path);
    if (ours && ::mkdir(p.constData(), 0700) < 0 && errno != EEXIST)
        return false;
    struct stat st;
    if (::lstat(p.constData(), &st) < 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return false;
    return (st.st_mode & 077) == 0 || (ours && ::chmod(p.constData(), 0700) == 0);
}

} // namespace

QString CShellOpenServer::ServerName()
{
    if (!g_serverName.isEmpty())
        return g_serverName;
    // In the user's own runtime folder when there is one; else in a private
    // folder in the user's cache. Never in the shared temporary folder, where
    // another user could take the name first or catch the requests.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && IsPrivateFolder(runtime, false))
        return runtime + QStringLiteral("/veltrane.sock");
    const QString folder = PrivateSocketFolder();
    if (folder.isEmpty())
        return QString();
    // A home folder shared by several machines gets one socket for each.
    return folder + QStringLiteral("/veltrane-%1.sock").arg(QSysInfo::machineHostName());
}

QString CShellOpenServer::PrivateSocketFolder()
{
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.isEmpty() || !QDir::isAbsolutePath(cache))
        cache = QDir::homePath() + QStringLiteral("/.cache");
    if (!QDir().mkpath(cache))
        return QString();
    const QString folder = cache + QStringLiteral("/veltrane-runtime");
    return IsPrivateFolder(folder, true) ? folder : QString();
}

void CShellOpenServer::SetServerName(const QString& name)
{
    g_serverName = name;
}

bool CShellOpenServer::Listen()
{
    if (ServerName().isEmpty())
        return false;
    if (m_pServer->listen(ServerName()))
        return true;
    // A socket left by a crashed instance answers nobody: take it over.
    QLocalSocket probe;
    probe.connectToServer(ServerName());
    if (probe.waitForConnected(200))
        return false;
    QLocalServer::removeServer(ServerName());
    return m_pServer->listen(ServerName());
}

bool CShellOpenServer::SendToRunningInstance(const QStringList& paths, int timeoutMs)
{
    if (ServerName().isEmpty())
        return false;
    std::vector<std::string> list;
    for (const QString& p : paths)
        list.push_back(QFileInfo(p).absoluteFilePath().toStdString());
    // More files than one request may carry go in several, one connection
    // each. Once the instance has taken the first, the rest are its alone: a
    // second instance would open the first ones again.
    const std::vector<std::string> requests = MakeShellRequests(list);
    bool delivered = false;
    for (const std::string& request : requests) {
        if (!SendRequest(request, timeoutMs))
            break;
        delivered = true;
    }
    return delivered;
}

bool CShellOpenServer::SendRequest(const std::string& request, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(ServerName());
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(request.data(), qint64(request.size()));
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // The instance answers once it has the whole request; only its whole
    // answer counts as delivered.
    QByteArray reply;
    QDeadlineTimer deadline(timeoutMs);
    while (!reply.contains('\n') && socket.waitForReadyRead(int(deadline.remainingTime())))
        reply += socket.readAll();
    socket.disconnectFromServer();
    return reply == "OK\n";
}
