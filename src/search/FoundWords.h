#pragma once
// Marks, in the main window's view, every place where the word of the last search occurs in the
// shown field, by the rules of that search. It follows the view: when the view shows the found
// snippet again (or its other field) the marks are drawn anew; another snippet shows none.
// The marks are extra selections over the text, so the keyword colouring stays as it is.
#include <QObject>
#include <QString>
#include <utility>

namespace browser {
class FrmMain;
}

namespace search {

class FoundWords : public QObject
{
    Q_OBJECT
public:
    // The one of the window, made on first use.
    static FoundWords *of(browser::FrmMain *main);

    // From now on marks the word in the snippet with this tree key.
    void follow(const QString &key, const QString &word, bool arabic);
    // Marks (or clears) by what the view shows now.
    void apply();
    // The marked ranges of the view's text, (start, length).
    QList<std::pair<int, int>> marks() const;

private:
    explicit FoundWords(browser::FrmMain *main);
    browser::FrmMain *m_main;
    QString m_key, m_word;
    bool m_arabic = false;
};

} // namespace search
