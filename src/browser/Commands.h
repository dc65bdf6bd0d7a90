#pragma once
// The main window's command surface: the names of its commands, the menu and toolbar tables
// built from them, and the one place where a command gets its handler.
#include <QHash>
#include <QList>
#include <QString>
#include <functional>

class QAction;
class QMainWindow;
class QMenu;
class QToolBar;

namespace browser {

// The commands: each is the objectName of its menu item. The menu table and every subsystem
// name them through these constants, so the two cannot drift apart.
namespace cmd {
inline constexpr char mnusaveas[] = "mnusaveas";
inline constexpr char mnuCreateUpDat[] = "mnuCreateUpDat";
inline constexpr char mnuUpDat[] = "mnuUpDat";
inline constexpr char mnuImport[] = "mnuImport";
inline constexpr char mnuprint[] = "mnuprint";
inline constexpr char mnuTeamLibrary[] = "mnuTeamLibrary";
inline constexpr char mnuFileLibrary[] = "mnuFileLibrary";
inline constexpr char mnuCopyToTeam[] = "mnuCopyToTeam";
inline constexpr char mnuCopyToMine[] = "mnuCopyToMine";
inline constexpr char mnuClose[] = "mnuClose";
inline constexpr char mnuCopy[] = "mnuCopy";
inline constexpr char mnuCopyAll[] = "mnuCopyAll";
inline constexpr char mnuTrash[] = "mnuTrash";
inline constexpr char Add[] = "Add";
inline constexpr char edit[] = "edit";
inline constexpr char del[] = "del";
inline constexpr char UsrUn[] = "UsrUn";
inline constexpr char CurUsrCodRmv[] = "CurUsrCodRmv";
inline constexpr char CurMrkUsr[] = "CurMrkUsr";
inline constexpr char mnuOpenTree[] = "mnuOpenTree";
inline constexpr char mnuCloseTree[] = "mnuCloseTree";
inline constexpr char mnusearch[] = "mnusearch";
inline constexpr char mnuCompDbas[] = "mnuCompDbas";
inline constexpr char MsgCreat[] = "MsgCreat";
inline constexpr char smnuhelp[] = "smnuhelp";
inline constexpr char smnuabout[] = "smnuabout";
// The separator before UsrUn, hidden with it in the tree's pop-up.
inline constexpr char sep[] = "sep";
} // namespace cmd

// The menus, by objectName.
namespace menus {
inline constexpr char mnufile[] = "mnufile";
inline constexpr char mnuedit[] = "mnuedit";
inline constexpr char code[] = "code";
inline constexpr char mnutools[] = "mnutools";
inline constexpr char AddIns[] = "AddIns";
inline constexpr char mnuhelp[] = "mnuhelp";
} // namespace menus

struct MenuItem {
    const char *name;
    const char *caption; // nullptr: separator
    const char *shortcut;
};

struct MenuSpec {
    const char *name;
    const char *caption;
    QList<MenuItem> items;
};

struct ToolButton {
    const char *key;
    const char *tooltip;
    const char *command;
    bool separatorAfter;
};

const QList<MenuSpec> &menuTable();
const QList<ToolButton> &toolbarTable();

// Builds the menu bar and the toolbar of a window from the tables and hooks each command's
// handler. A toolbar button triggers its menu item, so a command has one handler however it runs.
class CommandBar
{
public:
    explicit CommandBar(QMainWindow *window);

    QAction *action(const QString &name) const; // menu items, separators included; null if none
    QMenu *menu(const QString &name) const;
    QToolBar *toolbar() const { return m_toolbar; }

    // Runs handler when the command is triggered, through platform::runGuarded: whatever it throws
    // is shown in the error box and ends only the command. A name not in the menu table, or a second
    // handler for one command, is a fault of the program: it stops at once, at start-up.
    void handle(const char *name, std::function<void()> handler);
    // The commands that have their handler, in the order they got it.
    const QStringList &handled() const { return m_handled; }

    // The button with the key triggers its command; a key not in the table does nothing.
    void runToolbarKey(const QString &key) const;

private:
    QMainWindow *m_window;
    QToolBar *m_toolbar = nullptr;
    QHash<QString, QAction *> m_actions;
    QHash<QString, QMenu *> m_menus;
    QStringList m_handled;
};

} // namespace browser
