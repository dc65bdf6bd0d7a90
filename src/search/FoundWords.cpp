#include "search/FoundWords.h"

#include "browser/FrmMain.h"
#include "platform/RichTextBox.h"
#include "search/core/SnippetSearch.h"

#include <QTextCursor>
#include <QTextDocument>

namespace search {

FoundWords *FoundWords::of(browser::FrmMain *main)
{
    if (auto *existing = main->findChild<FoundWords *>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    return new FoundWords(main);
}

FoundWords::FoundWords(browser::FrmMain *main)
    : QObject(main)
    , m_main(main)
{
    connect(main, &browser::FrmMain::snippetShown, this, &FoundWords::apply);
}

void FoundWords::follow(const QString &key, const QString &word, bool arabic)
{
    m_key = key;
    m_word = word;
    m_arabic = arabic;
    apply();
}

void FoundWords::apply()
{
    platform::RichTextBox *view = m_main->RTxt1();
    QList<QTextEdit::ExtraSelection> selections;
    if (!m_key.isEmpty() && m_main->selectedKey() == m_key) {
        // The document's plain text has one character per cursor position.
        const QString text = view->document()->toPlainText();
        QTextCharFormat format;
        format.setBackground(QColor(255, 236, 110));
        for (const auto &[start, length] : wordMatches(text, m_word, m_arabic)) {
            QTextEdit::ExtraSelection s;
            s.cursor = QTextCursor(view->document());
            s.cursor.setPosition(int(start));
            s.cursor.setPosition(int(start + length), QTextCursor::KeepAnchor);
            s.format = format;
            selections.append(s);
        }
    }
    view->setExtraSelections(selections);
}

QList<std::pair<int, int>> FoundWords::marks() const
{
    QList<std::pair<int, int>> result;
    for (const QTextEdit::ExtraSelection &s : m_main->RTxt1()->extraSelections())
        result.append({s.cursor.selectionStart(), s.cursor.selectionEnd() - s.cursor.selectionStart()});
    return result;
}

} // namespace search
