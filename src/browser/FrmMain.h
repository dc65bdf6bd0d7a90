#pragma once
// The main window: category tree, snippet view, status bar and the command surface.
// Other subsystems reach its parts through the accessors below and hook their commands with
// onCommand, naming them by the constants of browser/Commands.h (cmd::Add, cmd::mnusaveas, ...).
#include <QMainWindow>
#include <QModelIndex>
#include <functional>

class QAction;
class QMenu;
class QProgressBar;
class QTabBar;
class QTreeView;

namespace platform {
class RichTextBox;
}

namespace store {
class Library;
}

namespace browser {

class FrmMain : public QMainWindow
{
    Q_OBJECT
public:
    // The window works on library, which it is handed open and which outlives it.
    explicit FrmMain(store::Library &library, QWidget *parent = nullptr);
    ~FrmMain() override;

    // The load step: restores the window settings, adds the root and fills the tree and the
    // status bar from the library, and starts following what others write to it.
    void load();

    store::Library &library() const;

    // Controls.
    QTreeView *TVCodeHead() const;
    platform::RichTextBox *RTxt1() const;
    QTabBar *TS1() const;
    QProgressBar *ProgressBar1() const;
    // Menu items and menus by objectName (cmd::Add, menus::code, ...); null for an unknown name.
    QAction *command(const QString &objectName) const;
    QMenu *menu(const QString &objectName) const;
    // The toolbar button with the key ("InsertCode", "EndProg", ...) runs its command.
    void runToolbarKey(const QString &key);

    // The one way a command gets its handler; its toolbar button and shortcut run the same one.
    // An unknown command or a second handler for one stops the program at start-up. What a handler
    // throws and does not catch itself is shown as an error and ends only that command.
    using CommandHandler = std::function<void(FrmMain &)>;
    void onCommand(const char *command, CommandHandler handler);
    // The commands that have their handler, each once.
    QStringList handledCommands() const;

    // Category tree.
    void ClearTree();
    QModelIndex addRootNode();
    void LoadCategories();
    void LoadSnippets();
    void SetTreeExpanded(bool expand);
    // ClearTree, root, empty view; then work (e.g. a modal dialog); then LoadCategories, LoadSnippets.
    void rebuildTree(const std::function<void()> &work = {});
    // Shows what other users (or programs) changed in the library, in place: selection, expansion
    // and scroll position stay; the view follows a changed snippet and the count its number. Waits
    // while a node is renamed in place or a dialog is open. Run by the library's watcher.
    void refreshTree();
    QModelIndex node(const QString &key) const; // invalid when the tree has no such node
    static QString keyOf(const QModelIndex &node);
    QString selectedKey() const; // empty when nothing is selected
    void selectNode(const QString &key);
    void removeNode(const QString &key);
    static bool isUserNode(const QModelIndex &node); // drawn pure blue
    void setUserNode(const QString &key, bool user);

    // Snippet view and status bar.
    void ShowSelectedSnippet();
    void ColorKeywords(const QString &text, bool codeTab);
    // The language a snippet is coloured in, for the view and the save-as files: the library's,
    // unless another lookup is given here. ShowSelectedSnippet asks it each time.
    using LanguageLookup = std::function<QString(qint32 id)>;
    void setLanguageLookup(LanguageLookup lookup);
    QString snippetLanguage(qint32 id) const;
    // The language ColorKeywords colours in from now on (ShowSelectedSnippet sets it too).
    void setViewLanguage(const QString &language);
    void UpdateStatusBar();
    void updateCount(); // panel 3 from the row count of Code
    void showProgressOverCountPanel();
    void hideProgress();
    bool codeTabSelected() const;

    // The code menu's user-snippet items: enabled (menu bar) or also shown/hidden (pop-up).
    void updateCodeMenu(bool popup);
    // The tree's pop-up: the code menu without "UsrUn" and its separator.
    void showCodePopup(const QPoint &globalPos);

    int splitterPos() const;
    void layoutControls();

signals:
    // The window closed after the exit question: the program ends.
    void closedForGood();
    // ShowSelectedSnippet has run (the view may show another snippet or field, or the same).
    void snippetShown();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void createStatusBar();
    void connectControls();
    void showHelp();

    struct Private;
    Private *d;
};

} // namespace browser
