#pragma once
// Shared by the tests: a private home for each test program, libraries built on the fly,
// and the message-box and file-dialog seams switched on.
#include "platform/Error.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "store/Library.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QVariant>

namespace testing {

// Points HOME and the XDG folders at a fresh temporary folder; call before QApplication exists.
void isolateHome();
QString homePath();

// A temporary library file, opened as LibraryConnection.
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
};

QByteArray readFile(const QString &path);
void writeFile(const QString &path, const QByteArray &bytes);

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
        TestClass tc;                                                                                                  \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return QTest::qExec(&tc, argc, argv);                                                                          \
    }
