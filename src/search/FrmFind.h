#pragma once
// The find dialog: modeless, without an owner, above the other windows and loaded at most once.
// A search runs in short slices between events, so the windows stay responsive while a large
// library is read; the result list fills as hits are found.
#include "search/TitleWidths.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <memory>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;

namespace browser {
class FrmMain;
}

namespace search {

// "نتيجة البحث:" + the count with a leading blank for its sign + "عنصر/عناصر".
QString resultCaption(qsizetype count);

class FrmFind : public QDialog
{
    Q_OBJECT
public:
    // Shows the loaded dialog as it was, or loads a fresh one.
    static FrmFind *open(browser::FrmMain *main);
    // The loaded dialog, or null.
    static FrmFind *instance();

    // Keys of the snippets on the lines of LstFind, line by line.
    const QStringList &ResultKeys() const { return m_resultKeys; }
    // The list's horizontal extent in pixels: the widest title of the whole table after a
    // search with results, 0 otherwise. In a large library the first search of a session
    // fills the list before every title is measured; the extent follows a little later.
    int horizontalExtent() const { return m_extent; }
    bool isSearching() const;
    // Whether the table's titles are still being measured for the extent, between events.
    bool isMeasuringTitles() const;

public slots:
    void CmdFind_Click();
    void CmdClose_Click();
    void LstFind_Click(int line);

signals:
    void searchFinished();

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit FrmFind(browser::FrmMain *main);
    ~FrmFind() override;
    void searchSlice();
    void finishSearch();
    void measureSlice();
    void setExtent(int pixels);
    void updateHint();
    void showTabWithWord(const QString &key);

    QPointer<browser::FrmMain> m_main;
    QLabel *m_label1 = nullptr;
    QLineEdit *m_txtFind = nullptr;
    QGroupBox *m_frame1 = nullptr;
    QCheckBox *m_chCaption = nullptr;
    QCheckBox *m_chCode = nullptr;
    QCheckBox *m_chLearn = nullptr;
    QLabel *m_lblHint = nullptr; // shown while no field to search is chosen
    QCheckBox *m_chkArabic = nullptr;
    QLabel *m_label2 = nullptr;
    QListWidget *m_lstFind = nullptr;
    QPushButton *m_cmdFind = nullptr;
    QPushButton *m_cmdClose = nullptr;
    QTimer *m_slices = nullptr;
    QTimer *m_measuring = nullptr; // the table's titles, after a search the index answered
    std::shared_ptr<TitleWidths> m_widths;
    std::unique_ptr<SnippetSearch> m_search;
    QStringList m_resultKeys;
    // The word and rules of the search that filled the list, for marking it in the view.
    QString m_foundWord;
    bool m_foundArabic = false;
    int m_extent = 0;
};

} // namespace search
