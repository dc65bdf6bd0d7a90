#pragma once
// One window per library file. The first start on a library listens under a name made from the
// file's canonical path; a later start on the same file asks that one to come to the front (and
// hands it the update package it was given) and ends. (--new-instance starts another window all
// the same.)
#include <QObject>
#include <QString>

class QLocalServer;

namespace app {

class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(const QString &libraryPath, QObject *parent = nullptr);
    ~SingleInstance() override;

    // The local server name for the library at that path (a file that does not exist yet too).
    static QString serverName(const QString &libraryPath);

    // Becomes the library's instance: false when another running instance has it (that one was
    // asked to come to the front, and to apply package when one is given), true when this one now
    // answers later starts.
    bool claim(const QString &package = QString());
    // Asks the running instance of this library, if there is one, to show its quick palette;
    // false when none answered (the caller then shows a palette of its own).
    bool askForPalette();

signals:
    // A later start on the same library asked for the window.
    void raiseRequested();
    // A later start on the same library was given this update package (an absolute path).
    void packageRequested(const QString &package);
    // A later `tamrisk --palette` on the same library asked for the quick palette.
    void paletteRequested();

private:
    QString m_name;
    QLocalServer *m_server = nullptr;
};

} // namespace app
