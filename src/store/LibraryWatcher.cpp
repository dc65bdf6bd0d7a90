#include "store/LibraryWatcher.h"

#include "store/LibraryConnection.h"

#include <QSqlDriver>
#include <QSqlQuery>
#include <QTimer>

namespace store {

namespace {

bool isPostgres(const QSqlDatabase &db) { return db.driverName() == QLatin1String("QPSQL"); }

qint64 dataVersion(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA data_version")) || !q.next())
        return -1;
    return q.value(0).toLongLong();
}

} // namespace

LibraryWatcher::LibraryWatcher(LibraryConnection &connection, QObject *parent)
    : QObject(parent)
    , m_library(connection)
    , m_timer(new QTimer(this))
    , m_coalesce(new QTimer(this))
{
    // A burst of writes (a package applied by someone else) is read once, after it.
    m_coalesce->setSingleShot(true);
    m_coalesce->setInterval(100);
    connect(m_coalesce, &QTimer::timeout, this, &LibraryWatcher::changed);
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &LibraryWatcher::poll);
    m_reconnects = m_library.reconnects();
    rebase();
    m_timer->start();
}

LibraryWatcher::~LibraryWatcher()
{
    if (m_listening && m_library.isOpen() && m_library.openCount() == m_connection)
        m_library.database().driver()->unsubscribeFromNotification(QLatin1String(ChangeChannel));
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
    if (!m_library.isOpen()) {
        m_connection = -1;
        m_listening = false;
        return;
    }
    if (m_connection == m_library.openCount())
        return;
    m_connection = m_library.openCount();
    m_listening = false;
    const QSqlDatabase db = m_library.database();
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
        m_version = dataVersion(m_library.database());
    }
}

void LibraryWatcher::poll()
{
    if (m_library.connection() && m_library.engine() == Engine::Postgres) {
        try {
            m_library.ensureConnected();
        } catch (const StoreError &) {
            return; // the server is still away
        }
        if (m_reconnects != m_library.reconnects()) {
            // A new session: it listens anew, and what others wrote meanwhile was never told.
            m_reconnects = m_library.reconnects();
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
    if (isPostgres(m_library.database()))
        return;
    const qint64 version = dataVersion(m_library.database());
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
