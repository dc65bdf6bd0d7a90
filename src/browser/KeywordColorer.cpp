#include "browser/KeywordColorer.h"

#include "browser/Keywords.h"
#include "platform/RichTextBox.h"
#include "platform/Twips.h"

#include <QLabel>
#include <QProgressBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace browser {

KeywordColorer::KeywordColorer(platform::RichTextBox *view, platform::RichTextBox *work, QProgressBar *progress,
                               QLabel *countPanel)
    : m_view(view)
    , m_work(work)
    , m_progress(progress)
    , m_countPanel(countPanel)
{ }

void KeywordColorer::show(const QString &text, bool codeTab)
{
    QTextDocument *document = m_view->document();
    if (m_shown.document == document && m_shown.revision == document->revision() && m_shown.codeTab == codeTab
        && m_shown.text == text)
        return;
    color(text, codeTab);
    m_shown = {m_view->document(), m_view->document()->revision(), codeTab, text};
}

void KeywordColorer::color(const QString &source, bool codeTab)
{
    showProgress();
    m_view->setTextRTF(QString());

    QString text = source;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));

    // The work area builds the coloured document away from any editor, so nothing is laid out
    // or drawn per insertion; the view then takes it whole.
    auto *doc = new QTextDocument(m_work);
    const QFont font = platform::codeFont(10);
    doc->setDefaultFont(font);
    doc->setUndoRedoEnabled(false);
    QTextOption option = doc->defaultTextOption();
    option.setTextDirection(codeTab ? Qt::LeftToRight : Qt::LayoutDirectionAuto);
    doc->setDefaultTextOption(option);

    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    QTextBlockFormat block;
    if (codeTab) {
        // Code reads left to right even when a line starts with an Arabic comment.
        block.setLayoutDirection(Qt::LeftToRight);
        block.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    } else {
        block.setLayoutDirection(Qt::LayoutDirectionAuto);
        block.setAlignment(Qt::AlignLeft);
    }
    cursor.setBlockFormat(block);
    QTextCharFormat plain;
    plain.setFont(font);
    plain.setForeground(Qt::black);
    QTextCharFormat keyword = plain;
    keyword.setForeground(KeywordColor);

    // The text goes in whole; only the keywords then get their colour.
    cursor.insertText(text, plain);
    const QList<KeywordSpan> spans = findKeywords(text);
    const qsizetype total = std::max<qsizetype>(1, spans.size());
    qsizetype done = 0;
    for (const KeywordSpan &span : spans) {
        cursor.setPosition(int(span.start));
        cursor.setPosition(int(span.start + span.length), QTextCursor::KeepAnchor);
        cursor.setCharFormat(keyword);
        if ((++done & 0x3FFF) == 0)
            m_progress->setValue(int(done * 100 / total));
    }
    cursor.endEditBlock();
    m_progress->setValue(100);

    // Hand the finished document to the view and leave the work area empty.
    // (A document the editor created itself is deleted by it; one we handed over is ours to delete.)
    QTextDocument *old = m_view->document();
    const bool oldIsOurs = old && old->parent() == m_view;
    doc->setParent(m_view);
    m_view->setDocument(doc);
    m_work->document()->clear();
    if (oldIsOurs)
        delete old;
    m_view->setCurrentCharFormat(plain);
    hideProgress();
}

void KeywordColorer::showProgress()
{
    const QRect r = m_countPanel->geometry();
    const int dx = platform::toPixelsX(30), dy = platform::toPixelsY(20);
    m_progress->setGeometry(r.x() + dx, r.y() + dy / 2, std::max(1, r.width() - platform::toPixelsX(50)),
                            std::max(4, r.height() - dy));
    m_progress->setValue(0);
    m_progress->show();
    m_progress->raise();
}

void KeywordColorer::hideProgress() { m_progress->hide(); }

} // namespace browser
