#pragma once
// The main window: category tree, snippet view, status bar and the command surface.
// Other subsystems reach its parts through the accessors below and hook their commands
// onto its actions (found by the objectName of the menu item, e.g. "Add", "mnusaveas").
#include <QMainWindow>
#include <functional>

class QAction;
class QMenu;
class QProgressBar;
class QStatusBar;
class QTabBar;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;
class QLabel;

namespace platform {
class RichTextBox;
}

namespace browser {

class FrmMain : public QMainWindow
{
    Q_OBJECT
public:
    explicit FrmMain(QWidget *parent = nullptr);
    ~FrmMain() override;

    // The load step: restores the window settings, takes the already opened library
    // (LibraryConnection), adds the root and fills the tree and the status bar.
    void load();

    // Controls.
    QTreeWidget *TVCodeHead() const;
    platform::RichTextBox *RTxt1() const;
    platform::RichTextBox *rtfhid() const;
    QTabBar *TS1() const;
    QStatusBar *StBar() const;
    QLabel *statusPanel(int panel) const; // 1, 2 or 3
    QProgressBar *ProgressBar1() const;
    QToolBar *Tlbar() const;
    QWidget *picResize() const;
    // Menu items and menus by objectName ("Add", "edit", "del", "mnusaveas", "code", "mnuedit", ...).
    QAction *command(const QString &objectName) const;
    QMenu *menu(const QString &objectName) const;
    // The toolbar button with the key ("InsertCode", "EndProg", ...) runs its command.
    void runToolbarKey(const QString &key);

    // Category tree.
    void ClearTree();
    QTreeWidgetItem *addRootNode();
    void LoadCategories();
    void LoadSnippets();
    void SetTreeExpanded(bool expand);
    // ClearTree, root, empty view; then work (e.g. a modal dialog); then LoadCategories, LoadSnippets.
    void rebuildTree(const std::function<void()> &work = {});
    QTreeWidgetItem *node(const QString &key) const;
    static QString keyOf(const QTreeWidgetItem *item);
    QString selectedKey() const; // empty when nothing is selected
    void selectNode(const QString &key);
    void removeNode(const QString &key);
    static bool isUserNode(const QTreeWidgetItem *item); // drawn pure blue
    static void setUserNode(QTreeWidgetItem *item, bool user);

    // Snippet view and status bar.
    void ShowSelectedSnippet();
    void ColorKeywords(const QString &text, bool codeTab);
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
    void setSplitterPos(int twips);
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
    bool splitterEvent(QEvent *event);
    void showHelp();

    struct Private;
    Private *d;
};

} // namespace browser
