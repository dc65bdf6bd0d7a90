#pragma once
// Places the main window's controls from the splitter position (in twips) and lets the user
// drag the splitter bar between the view pane and the tree.
#include <QObject>

class QMainWindow;
class QTabBar;
class QTreeView;

namespace platform {
class RichTextBox;
}

namespace browser {

class MainLayout : public QObject
{
public:
    struct Controls {
        QWidget *central; // the area between toolbar and status bar
        QWidget *frame; // holds the tab strip and the view
        QTabBar *tabs;
        platform::RichTextBox *view;
        platform::RichTextBox *work; // kept below the visible area
        QTreeView *tree;
        QWidget *splitter;
    };
    MainLayout(QMainWindow *window, const Controls &controls);

    int splitterPos() const { return m_splitterPos; }
    // The position restored from the settings; the next layout() uses it.
    void restoreSplitterPos(int twips);
    void layout();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool splitterEvent(QEvent *event);

    QMainWindow *m_window;
    Controls m_c;
    int m_splitterPos = 0; // twips
};

} // namespace browser
