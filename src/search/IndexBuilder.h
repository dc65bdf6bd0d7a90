#pragma once
// Builds the library's search index in the background of the main window: short steps on the
// window's thread between its events, with the progress on the main window's progress bar.
// Until the index is ready the find dialog scans, so nothing waits for it.
#include <QObject>

class QTimer;

namespace browser {
class FrmMain;
}
namespace store {
class SearchIndex;
}

namespace search {

class IndexBuilder : public QObject
{
    Q_OBJECT
public:
    explicit IndexBuilder(browser::FrmMain *main);
    ~IndexBuilder() override;
    bool isBuilding() const;

signals:
    void finished();

private:
    void step();
    browser::FrmMain *m_main;
    // Its own reference: the window's parts are gone by the time its children are deleted.
    store::SearchIndex &m_index;
    QTimer *m_timer;
    bool m_showing = false; // the progress bar is ours
};

} // namespace search
