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

#include <QWidget>
#include <functional>

namespace browser {

// The bar between the view pane and the tree: drawn as the style's splitter handle, focusable,
// moved with the mouse or with the Left and Right keys; a separator for screen readers.
class SplitterBar : public QWidget
{
public:
    explicit SplitterBar(QWidget *parent);
    // Asks the layout to put the bar's left edge at x (pixels); the layout keeps it off the edges.
    std::function<void(int x)> moveRequested;

protected:
    void paintEvent(QPaintEvent *event) override;
};

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

    // Wide enough to grab: a bar of 25 twips is under two pixels.
    static constexpr double BarWidthTwips = 90;
    // Below this the tree and the view no longer both show.
    static constexpr double MinWindowWidthTwips = 6000, MinWindowHeightTwips = 4200;

    int splitterPos() const { return m_splitterPos; }
    // The position restored from the settings, for an inner width of referenceWidth pixels (that of
    // the normal window); layout() keeps the same proportion at any other width.
    void restoreSplitterPos(int twips, int referenceWidth);
    void layout();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool splitterEvent(QEvent *event);
    // Puts the bar's left edge at x pixels if that keeps it more than 100 twips off both edges.
    bool moveBar(int x);

    QMainWindow *m_window;
    Controls m_c;
    int m_splitterPos = 0; // twips
    double m_proportion = 0; // m_splitterPos over the inner width, kept across resizes
    int m_laidOutWidth = 0; // the inner width (pixels) m_splitterPos belongs to
};

} // namespace browser
