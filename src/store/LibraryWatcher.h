#pragma once
// Tells when another connection changed the library's tables, so a window can show what others
// wrote. A SQLite file is polled (its data version moves only on other connections' commits); a
// PostgreSQL library is told by the server (LISTEN on the channel its tables' triggers notify).
// Writes through this program's own connection are never reported.
#include <QObject>

class QTimer;

namespace store {

class LibraryConnection;

// Library::startWatching makes one for its connection.
class LibraryWatcher : public QObject
{
    Q_OBJECT
public:
    explicit LibraryWatcher(LibraryConnection &connection, QObject *parent = nullptr);
    ~LibraryWatcher() override;

    // How often the file is polled (and the server's connection checked), in milliseconds.
    void setInterval(int milliseconds);
    // Drops what has been seen so far: the next change reported is one after this call.
    void rebase();

signals:
    // Another connection committed a change (or the connection came back after a loss, when
    // changes may have been missed).
    void changed();

private:
    void poll();
    void follow(); // takes up the connection anew when it was reopened
    void notified(const QString &name, int source);

    LibraryConnection &m_library;
    QTimer *m_timer;
    QTimer *m_coalesce;
    qint64 m_connection = -1;
    qint64 m_version = -1;
    qint64 m_reconnects = 0;
    bool m_listening = false;
};

// The channel a PostgreSQL library's triggers notify on every change of Groub or Code.
inline constexpr char ChangeChannel[] = "tamrisk_change";

} // namespace store
