#pragma once
// The quick palette: one search box over a result list and the selected snippet's first lines, in a
// small frameless window above the others. Return copies the code and closes, Shift+Return the
// comment, Ctrl+Return asks for the snippet in the main window, Escape (or leaving it) closes.
// A newer word drops the search of the one before; the list fills once, when the search is done.
#include "search/core/QuickSearch.h"

#include <QHash>
#include <QWidget>
#include <memory>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTimer;
class QTreeWidget;

namespace store {
class Library;
}

namespace search {

inline const QString PalettePlaceholder = QStringLiteral("ابحث في الأكواد...");

class FrmPalette : public QWidget
{
    Q_OBJECT
public:
    // Without a library the palette shows only its message (the library could not be opened).
    explicit FrmPalette(store::Library *library, QWidget *parent = nullptr);
    ~FrmPalette() override;

    // Centres the palette on the screen under the mouse, brings it up and gives the box the keys.
    void popUp();
    void showMessage(const QString &text);
    bool isSearching() const;
    // Ids of the snippets on the list, line by line.
    QList<qint32> resultIds() const;

signals:
    void openRequested(qint32 id);
    // The palette closed (copied, opened or dismissed).
    void closed();
    // Once after each popUp, when the window is active and the box has the keys.
    void ready();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void startSearch();
    void searchSlice();
    void showPreview();
    void colour(const QString &lines, const QString &language);
    qint32 selectedId() const;
    void copySelected(bool comment);
    void openSelected();
    void moveSelection(int by);

    store::Library *m_library;
    QLineEdit *m_box = nullptr;
    QTreeWidget *m_list = nullptr;
    QPlainTextEdit *m_preview = nullptr;
    QLabel *m_message = nullptr;
    QTimer *m_slices = nullptr;
    QHash<qint32, QString> m_categories;
    bool m_categoriesRead = false;
    std::unique_ptr<QuickSearch> m_search;
    bool m_wasActive = false;
    bool m_readyPending = false;
};

} // namespace search
