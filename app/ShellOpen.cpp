#include "app/ShellOpen.h"

#include "app/ShellRequest.h"
#include "framework/ui/Guard.h"
#include "platform/System.h"

#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

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
                SafeInvoke([&] { m_handler(list); });
            });
        }
    });
}

CShellOpenServer::~CShellOpenServer() = default;

QString CShellOpenServer::ServerName()
{
    if (!g_serverName.isEmpty())
        return g_serverName;
    // In the user's own runtime folder when there is one: a name in the
    // shared temporary folder could be taken first by another user.
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return runtime + QStringLiteral("/veltrane.sock");
    return QStringLiteral("veltrane-%1").arg(QString::fromStdString(GetUserName()));
}

void CShellOpenServer::SetServerName(const QString& name)
{
    g_serverName = name;
}

bool CShellOpenServer::Listen()
{
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
    QLocalSocket socket;
    socket.connectToServer(ServerName());
    if (!socket.waitForConnected(timeoutMs))
        return false;
    std::vector<std::string> list;
    for (const QString& p : paths)
        list.push_back(QFileInfo(p).absoluteFilePath().toStdString());
    std::string request = MakeShellRequest(list);
    socket.write(request.data(), qint64(request.size()));
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // The instance answers once it has the whole request.
    bool answered = socket.waitForReadyRead(timeoutMs) && socket.readAll().startsWith("OK");
    socket.disconnectFromServer();
    return answered;
}
