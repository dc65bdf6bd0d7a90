#include "store/LibraryWatcher.h"

#include "store/LibraryConnection.h"
#include "store/PgReconnect.h"

#include <QSqlDriver>
#include <QSqlQuery>
#include <QTimer>

namespace store {

namespace {

bool isPostgres(const QSqlDatabase &db) { return db.driverName() == QLatin1String("QPSQL"); }

qint64 dataVersion()
{
    QSqlQuery q(LibraryConnection::database());
    if (!q.exec(QStringLiteral("PRAGMA data_version")) || !q.next())
        return -1;
    return q.value(0).toLongLong();
}

} // namespace

LibraryWatcher::LibraryWatcher(QObject *parent)
    : QObject(parent)
    , m_timer(new QTimer(this))
    , m_coalesce(new QTimer(this))
{
    // A burst of writes (a package applied by someone else) is read once, after it.
    m_coalesce->setSingleShot(true);
    m_coalesce->setInterval(100);
    connect(m_coalesce, &QTimer::timeout, this, &LibraryWatcher::changed);
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &LibraryWatcher::poll);
    m_reconnects = libraryReconnects();
    rebase();
    m_timer->start();
}

LibraryWatcher::~LibraryWatcher()
{
    if (m_listening && LibraryConnection::isOpen() && LibraryConnection::openCount() == m_connection)
        LibraryConnection::database().driver()->unsubscribeFromNotification(QLatin1String(ChangeChannel));
}

void LibraryWatcher::setInterval(int milliseconds) { m_timer->setInterval(milliseconds); }

void LibraryWatcher::rebase()
{
    m_connection = -1;
    follow();
    m_coalesce->stop();
}

void LibraryWatcher::follow()
{
    if (!LibraryConnection::isOpen()) {
        m_connection = -1;
        m_listening = false;
        return;
    }
    if (m_connection == LibraryConnection::openCount())
        return;
    m_connection = LibraryConnection::openCount();
    m_listening = false;
    const QSqlDatabase db = LibraryConnection::database();
    if (isPostgres(db)) {
        QSqlDriver *driver = db.driver();
        // A reopened connection is a new session: it listens anew.
        disconnect(driver, &QSqlDriver::notification, this, nullptr);
        connect(driver, &QSqlDriver::notification, this,
                [this](const QString &name, QSqlDriver::NotificationSource source, const QVariant &) {
                    notified(name, int(source));
                });
        if (driver->subscribedToNotifications().contains(QLatin1String(ChangeChannel)))
            driver->unsubscribeFromNotification(QLatin1String(ChangeChannel)); // kept by a reconnected driver
        m_listening = driver->subscribeToNotification(QLatin1String(ChangeChannel));
    } else {
        m_version = dataVersion();
    }
}

void LibraryWatcher::poll()
{
    if (LibraryConnection::connection() && LibraryConnection::engine() == Engine::Postgres) {
        try {
            ensureLibraryConnected();
        } catch (const StoreError &) {
            return; // the server is still away
        }
        if (m_reconnects != libraryReconnects()) {
            // A new session: it listens anew, and what others wrote meanwhile was never told.
            m_reconnects = libraryReconnects();
            m_connection = -1;
            follow();
            m_coalesce->start();
            return;
        }
    }
    const qint64 connection = m_connection;
    follow();
    if (m_connection < 0 || m_connection != connection)
        return; // a reopened library is read afresh by whoever reopened it
    if (isPostgres(LibraryConnection::database()))
        return;
    const qint64 version = dataVersion();
    if (version >= 0 && version != m_version) {
        m_version = version;
        m_coalesce->start();
    }
}

void LibraryWatcher::notified(const QString &name, int source)
{
    // The server tells this session of its own commits too; those the window has shown already.
    if (name == QLatin1String(ChangeChannel) && source == QSqlDriver::OtherSource)
        m_coalesce->start();
}

} // namespace store
