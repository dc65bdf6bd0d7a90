#pragma once
// Shared by the tests: a private home for each test program, libraries built on the fly,
// and the message-box and file-dialog seams switched on.
#include "platform/Error.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "store/Library.h"

#include <QApplication>
#include <QColor>
#include <QTextDocument>
#include <QDialog>
#include <QTimer>
#include <QTemporaryDir>
#include <QStringList>
#include <QTest>
#include <QVariant>

#include <functional>
#include <memory>

namespace testing {

// The control of that objectName under root; a missing one ends the test program at once.
template <class T>
T *control(QObject *root, const char *name)
{
    T *found = root->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

// Points HOME and the XDG folders at a fresh temporary folder; call before QApplication exists.
void isolateHome();
QString homePath();

// The library the tests of this program work on, as the program holds its one: TempLibrary
// opens into it and windows are handed it. A test wanting another beside it makes its own.
store::Library &library();
// Closes and frees it while Qt's connection registry is still there (TAMRISK_TEST_MAIN does).
void releaseLibrary();

// The library's category names in table order, Null as empty.
QStringList categoryNames();

// The test server's base URI (TAMRISK_TEST_PG, set by CTest for the tests that need the server);
// a missing server fails the test program, it never skips.
QString pgServerUri();
// Whether this run of a test program is the one against PostgreSQL (TAMRISK_TEST_ENGINE=postgres):
// TempLibrary then makes team libraries.
bool onPostgres();

// A new, empty database on the test server, dropped when it goes.
class TempPgDatabase
{
public:
    TempPgDatabase();
    ~TempPgDatabase();
    TempPgDatabase(const TempPgDatabase &) = delete;
    TempPgDatabase &operator=(const TempPgDatabase &) = delete;
    QString uri() const { return m_uri; }
    QString name() const { return m_name; }
    // Runs SQL as the server's superuser in this database (roles, grants, foreign tables).
    void exec(const QString &sql) const;

private:
    QString m_name, m_uri;
};

// A temporary library, opened as library(): a file, or with onPostgres() a database given the
// library's schema.
class TempLibrary
{
public:
    explicit TempLibrary(bool seed = false);
    ~TempLibrary();
    QString path() const;
    QString dir() const;
    qint32 addCategory(const QVariant &caption);
    qint32 addSnippet(const QVariant &head, const QVariant &groub, const QVariant &code = QString(),
                      const QVariant &learn = QString(), const QVariant &user = false);
    // Runs raw SQL on the open library (for rows the program itself never writes).
    void exec(const QString &sql, const QVariantList &values = {});

private:
    QTemporaryDir m_dir;
    std::unique_ptr<TempPgDatabase> m_pg;
};

QByteArray readFile(const QString &path);

// The colour drawn at a position of a document: colourings lie over the text in the blocks'
// layouts, else the character's own format.
QColor colourAt(QTextDocument *doc, int position);
void writeFile(const QString &path, const QByteArray &bytes);

// Runs fn on the next modal dialog, once it is shown (a dialog that runs its own event loop).
class OnModal
{
public:
    explicit OnModal(std::function<void(QDialog *)> fn)
        : m_fn(std::move(fn))
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                m_timer.stop();
                m_seen = true;
                m_fn(dialog);
            }
        });
        m_timer.start();
    }
    bool seen() const { return m_seen; }

private:
    std::function<void(QDialog *)> m_fn;
    QTimer m_timer;
    bool m_seen = false;
};

// Resets the seams of the modal windows and switches them on.
void resetSeams();

// The message of the platform::Error that work throws; empty when it throws none.
template <typename Work>
QString errorOf(Work &&work)
{
    try {
        work();
    } catch (const platform::Error &e) {
        return e.message();
    }
    return {};
}

} // namespace testing

// Like QTEST_MAIN, with an isolated home and a QApplication laid out right to left.
#define TAMRISK_TEST_MAIN(TestClass)                                                                                   \
    int main(int argc, char **argv)                                                                                    \
    {                                                                                                                  \
        testing::isolateHome();                                                                                        \
        QApplication app(argc, argv);                                                                                  \
        app.setApplicationName(QStringLiteral("tamrisk"));                                                             \
        app.setLayoutDirection(Qt::RightToLeft);                                                                       \
        testing::resetSeams();                                                                                         \
        int failed = 0;                                                                                                \
        {                                                                                                              \
            TestClass tc;                                                                                              \
            QTEST_SET_MAIN_SOURCE_PATH                                                                                 \
            failed = QTest::qExec(&tc, argc, argv);                                                                    \
        }                                                                                                              \
        testing::releaseLibrary();                                                                                     \
        return failed;                                                                                                 \
    }
