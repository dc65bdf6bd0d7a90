#include "app/SingleInstance.h"

#include "store/PgLocation.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace app {

namespace {

const QByteArray kRaise = "raise\n";

// Asks the instance listening under name to come to the front. A server that accepts the
// connection is alive even if it is too busy to answer at once (still opening its library).
bool askRunning(const QString &name)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(1000))
        return false;
    socket.write(kRaise);
    socket.waitForBytesWritten(1000);
    socket.waitForReadyRead(2000);
    return true;
}

} // namespace

SingleInstance::SingleInstance(const QString &libraryPath, QObject *parent)
    : QObject(parent)
    , m_name(serverName(libraryPath))
{ }

SingleInstance::~SingleInstance() = default;

QString SingleInstance::serverName(const QString &libraryPath)
{
    const QFileInfo info(libraryPath);
    QString canonical = info.canonicalFilePath();
    // A team library by its URI, never with the password it may carry.
    if (store::isPostgresLocation(libraryPath)) {
        try {
            canonical = store::parsePgLocation(libraryPath).display();
        } catch (const store::StoreError &) {
            canonical = libraryPath.section(QLatin1Char('@'), -1);
        }
    } else if (canonical.isEmpty()) {
        const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
        canonical = folder.isEmpty() ? info.absoluteFilePath() : QDir(folder).filePath(info.fileName());
    }
    const QByteArray hash = QCryptographicHash::hash(QFile::encodeName(canonical), QCryptographicHash::Sha1).toHex();
    return QStringLiteral("tamrisk-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash.left(20)));
}

bool SingleInstance::claim()
{
    if (askRunning(m_name))
        return false;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        // Another start got there first, or a crashed instance left its socket behind.
        if (askRunning(m_name))
            return false;
        QLocalServer::removeServer(m_name);
        if (!m_server->listen(m_name))
            return true; // no single-instance guard this time, but the program still works
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *client = m_server->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                if (!client->readAll().contains(kRaise))
                    return;
                client->write("ok\n");
                client->flush();
                emit raiseRequested();
            });
        }
    });
    return true;
}

} // namespace app
