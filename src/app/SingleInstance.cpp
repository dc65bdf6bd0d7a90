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

const QByteArray kRaise = "raise";
const QByteArray kPackage = "package ";
const QByteArray kPalette = "palette";

// One request a line; a path in base64, so no byte of it can end the line.
QByteArray request(const QString &package)
{
    if (package.isEmpty())
        return kRaise + '\n';
    return kPackage + QFile::encodeName(package).toBase64() + '\n';
}

// Asks the instance listening under name to come to the front (with the request's package). A
// server that accepts the connection is alive even if it is too busy to answer at once (still
// opening its library).
bool askRunning(const QString &name, const QByteArray &message)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(1000))
        return false;
    socket.write(message);
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
        canonical = store::locationForDisplay(libraryPath);
    } else if (canonical.isEmpty()) {
        const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
        canonical = folder.isEmpty() ? info.absoluteFilePath() : QDir(folder).filePath(info.fileName());
    }
    const QByteArray hash = QCryptographicHash::hash(QFile::encodeName(canonical), QCryptographicHash::Sha1).toHex();
    return QStringLiteral("tamrisk-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash.left(20)));
}

bool SingleInstance::askForPalette()
{
    return askRunning(m_name, kPalette + '\n');
}

bool SingleInstance::claim(const QString &package)
{
    const QByteArray message = request(package);
    if (askRunning(m_name, message))
        return false;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        // Another start got there first, or a crashed instance left its socket behind.
        if (askRunning(m_name, message))
            return false;
        QLocalServer::removeServer(m_name);
        if (!m_server->listen(m_name))
            return true; // no single-instance guard this time, but the program still works
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *client = m_server->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                while (client->canReadLine()) {
                    const QByteArray line = client->readLine().trimmed();
                    if (line == kPalette) {
                        client->write("ok\n");
                        client->flush();
                        emit paletteRequested();
                        continue;
                    }
                    QString package;
                    if (line.startsWith(kPackage))
                        package = QFile::decodeName(QByteArray::fromBase64(line.mid(kPackage.size())));
                    else if (line != kRaise)
                        continue;
                    client->write("ok\n");
                    client->flush();
                    if (package.isEmpty())
                        emit raiseRequested();
                    else
                        emit packageRequested(package);
                }
            });
        }
    });
    return true;
}

} // namespace app
