#pragma once
// The "open a team library" dialog: which PostgreSQL server, database and user, and how the
// connection is protected. It remembers all of that for the next time, never the password: that
// comes from libpq's ~/.pgpass or is typed here, for this connection only.
#include <QDialog>
#include <QString>

class QComboBox;
class QLineEdit;
class QSpinBox;

namespace browser {

struct TeamLibraryServer {
    QString host; // a host name or address, or a socket folder; empty: the local default
    int port = 5432;
    QString database;
    QString user; // empty: libpq's default (the login name)
    QString sslMode = QStringLiteral("prefer");
};

// The libpq URI, postgresql://user@host:port/dbname?sslmode=..., each part percent-encoded.
QString teamLibraryUri(const TeamLibraryServer &server);

// The last server the dialog was accepted with, from the settings store (defaults when none).
TeamLibraryServer rememberedTeamLibrary();
void rememberTeamLibrary(const TeamLibraryServer &server);

class FrmTeamLibrary final : public QDialog
{
    Q_OBJECT
public:
    explicit FrmTeamLibrary(QWidget *parent = nullptr);

    TeamLibraryServer server() const;
    QString uri() const { return teamLibraryUri(server()); }
    // Typed for this connection; empty when none was.
    QString password() const;

    // Refuses an empty database name; remembers the rest when accepted.
    void accept() override;

private:
    QLineEdit *m_host = nullptr;
    QSpinBox *m_port = nullptr;
    QLineEdit *m_database = nullptr;
    QLineEdit *m_user = nullptr;
    QComboBox *m_sslMode = nullptr;
    QLineEdit *m_password = nullptr;
};

} // namespace browser
