#include "browser/KeywordColorer.h"

#include "browser/Keywords.h"
#include "export/core/LargeBuffer.h"
#include "highlight/BackgroundHighlight.h"
#include "platform/MessageBox.h"
#include "platform/RichTextBox.h"
#include "platform/Twips.h"

#include <QElapsedTimer>
#include <QColor>
#include <QLabel>
#include <QProgressBar>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QThread>
#include <QTimer>

#include <thread>

#include <array>

namespace browser {

namespace {

// A block's keywords in navy, laid over its text. A block that was laid out already is laid out
// again, since new formats clear its lines.
void colourBlock(QTextDocument *doc, const QTextBlock &block, const QTextCharFormat &keyword)
{
    QTextLayout *layout = block.layout();
    const bool laidOut = layout->lineCount() > 0;
    QList<QTextLayout::FormatRange> ranges;
    forEachKeyword(block.text(), [&](qsizetype start, qsizetype length) {
        ranges.append({int(start), int(length), keyword});
    });
    if (ranges.isEmpty())
        return;
    layout->setFormats(ranges);
    if (laidOut)
        doc->markContentsDirty(block.position(), block.length());
}

QTextCharFormat keywordFormat()
{
    QTextCharFormat f;
    f.setForeground(KeywordColor);
    return f;
}

const QTextCharFormat &styleFormat(highlight::Style style)
{
    static const auto formats = [] {
        std::array<QTextCharFormat, highlight::StyleCount> f;
        for (int i = 1; i < highlight::StyleCount; ++i)
            f[i].setForeground(QColor(QRgb(highlight::colourOf(highlight::Style(i)))));
        return f;
    }();
    return formats[size_t(style)];
}

// A block's runs (positions in the document) laid over its text, replacing any it had.
void colourBlockRuns(QTextDocument *doc, const QTextBlock &block, const QList<highlight::Span> &spans)
{
    QTextLayout *layout = block.layout();
    if (spans.isEmpty() && layout->formats().isEmpty())
        return;
    const bool laidOut = layout->lineCount() > 0;
    QList<QTextLayout::FormatRange> ranges;
    ranges.reserve(spans.size());
    const int base = block.position();
    for (const highlight::Span &s : spans)
        ranges.append({s.start - base, s.length, styleFormat(s.style)});
    layout->setFormats(ranges);
    if (laidOut)
        doc->markContentsDirty(block.position(), block.length());
}

// The runs of spans that fall in block (spans in order; it moves past those before the block).
QList<highlight::Span> runsIn(const QTextBlock &block, const QList<highlight::Span> &spans, qsizetype &next)
{
    const int from = block.position(), to = block.position() + block.length() - 1;
    while (next < spans.size() && spans[next].start + spans[next].length <= from)
        ++next;
    QList<highlight::Span> runs;
    for (qsizetype i = next; i < spans.size() && spans[i].start < to; ++i) {
        const int a = std::max(spans[i].start, from), b = std::min(spans[i].start + spans[i].length, to);
        if (b > a)
            runs.append({a, b - a, spans[i].style});
    }
    return runs;
}

int blockEnd(const QTextBlock &block) { return block.position() + block.length() - 1; }

QTextCharFormat plainFormat(const QFont &font)
{
    QTextCharFormat plain;
    plain.setFont(font);
    plain.setForeground(Qt::black);
    return plain;
}

// The view's document of text (line breaks as the view keeps them), not laid out. With cancel,
// the text goes in by pieces, and null is returned once cancel is set.
QTextDocument *buildDocument(const QString &text, bool codeTab, const QFont &font, QObject *parent,
                             const std::atomic<bool> *cancel = nullptr)
{
    auto *doc = new QTextDocument(parent);
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
    if (!cancel) {
        cursor.insertText(text, plainFormat(font));
    } else {
        const QTextCharFormat plain = plainFormat(font);
        constexpr qsizetype Piece = 1 << 20;
        for (qsizetype at = 0; at < text.size();) {
            qsizetype end = std::min(text.size(), at + Piece);
            if (end < text.size() && text[end].isLowSurrogate())
                ++end; // a pair stays whole
            cursor.insertText(QStringView(text).sliced(at, end - at).toString(), plain);
            at = end;
            if (cancel->load()) {
                cursor.endEditBlock();
                delete doc;
                return nullptr;
            }
        }
    }
    cursor.endEditBlock();
    return doc;
}

} // namespace

// The final colouring of a large text in a grammar's language: once the grammar has coloured
// it all, a second document is built and coloured on a thread of its own, before anything lays
// it out, and then takes the place of the one shown meanwhile. (Colouring the shown document
// would lay out every block again, which costs seconds a megabyte.)
struct KeywordColorer::GrammarJob {
    GrammarJob(const QString &language, const QString &flat, const QString &text, const QFont &font)
        : grammar(language, flat)
    {
        QThread *ui = QThread::currentThread();
        builder = std::thread([this, text, font, ui] {
            try {
                // Built while the grammar parses, coloured when it is done.
                QTextDocument *doc = buildDocument(text, true, font, nullptr, &cancelled);
                if (!doc) {
                    ready.store(true);
                    return;
                }
                doc->moveToThread(ui);
                built.store(doc);
                grammar.wait();
                for (QTextBlock b = doc->begin(); b.isValid() && !cancelled.load(); b = b.next())
                    colourBlockRuns(doc, b, grammar.spans(b.position(), blockEnd(b)));
            } catch (const std::exception &) {
                // Out of memory: the shown document stays as it is.
            }
            ready.store(true);
        });
    }
    ~GrammarJob()
    {
        cancelled.store(true);
        grammar.cancel();
        if (builder.joinable())
            builder.join();
        delete built.load();
    }
    // Waits for the built document; null when it could not be built.
    QTextDocument *take()
    {
        if (builder.joinable())
            builder.join();
        return built.exchange(nullptr);
    }

    highlight::BackgroundHighlight grammar;
    std::atomic<bool> cancelled{false};
    std::atomic<bool> ready{false};
    std::atomic<QTextDocument *> built{nullptr};
    std::thread builder;
};

namespace { } // namespace

KeywordColorer::KeywordColorer(platform::RichTextBox *view, platform::RichTextBox *work, QProgressBar *progress,
                               QLabel *countPanel)
    : m_view(view)
    , m_work(work)
    , m_progress(progress)
    , m_countPanel(countPanel)
    , m_timer(new QTimer(view))
    , m_language(highlight::VisualBasic)
{
    m_timer->setSingleShot(true);
    m_timer->setInterval(0);
    QObject::connect(m_timer, &QTimer::timeout, m_view, [this] {
        try {
            step(SliceMs);
        } catch (const std::exception &) {
            // Out of memory half way through a huge snippet: no half-coloured text stays shown,
            // and the bar stays where it stopped, as after any colouring error.
            m_document = nullptr;
            m_view->setTextRTF(QString());
            platform::plainMessageBox(m_view->window(), QStringLiteral("Error coloring text"),
                                      QStringLiteral("Tamrisk"));
        }
    });
    // A block scrolled into sight is coloured before it is drawn.
    QObject::connect(m_view->verticalScrollBar(), &QScrollBar::valueChanged, m_view, [this] { colourVisibleBlocks(); });
    m_view->setFinishFormatting([this] { finish(); });
}

KeywordColorer::~KeywordColorer() { m_view->setFinishFormatting({}); }

void KeywordColorer::setLanguage(const QString &language) { m_language = language; }

void KeywordColorer::show(const QString &text, bool codeTab)
{
    QTextDocument *document = m_view->document();
    if (m_shown.document == document && m_shown.revision == document->revision() && m_shown.codeTab == codeTab
        && m_shown.language == m_language && m_shown.text == text)
        return;
    color(text, codeTab);
    m_shown = {m_view->document(), m_view->document()->revision(), codeTab, m_language, text};
}

bool KeywordColorer::isColouring() const { return m_document && m_document == m_view->document(); }

void KeywordColorer::color(const QString &source, bool codeTab)
{
    m_timer->stop();
    m_timer->setInterval(0);
    m_document = nullptr;
    m_job.reset();
    m_byGrammar = false;
    showProgress();
    m_view->setTextRTF(QString());
    const bool keywords = m_language == highlight::VisualBasic;
    const bool grammar = !keywords && codeTab && highlight::hasGrammar(m_language);

    // Line breaks as the view keeps them. Code lines are grouped into blocks of LinesPerBlock
    // lines joined by line separators (one paragraph direction serves them all); a comment
    // keeps a paragraph per line, each with the direction of its own text.
    QString text;
    text.reserve(source.size());
    exporting::core::adviseLargeBuffer(text.constData(), text.capacity() * qsizetype(sizeof(QChar)));
    // The grammar reads the same text with its line breaks as such: positions in it are the
    // document's positions.
    QString flat;
    if (grammar)
        flat.reserve(source.size());
    int line = 0;
    const QChar *s = source.constData();
    const qsizetype n = source.size();
    for (qsizetype i = 0; i < n; ++i) {
        QChar c = s[i];
        if (c == QLatin1Char('\r')) {
            if (i + 1 < n && s[i + 1] == QLatin1Char('\n'))
                ++i;
            c = QLatin1Char('\n');
        }
        if (grammar)
            flat.append(c);
        if (c == QLatin1Char('\n') && codeTab && ++line % LinesPerBlock != 0)
            c = QChar(QChar::LineSeparator);
        text.append(c);
    }

    // The document is built away from any editor, so nothing is laid out or drawn while the
    // text goes in; the view then takes it whole.
    const QFont font = platform::codeFont(10);
    QTextDocument *doc = buildDocument(text, codeTab, font, m_work);
    const QTextCharFormat plain = plainFormat(font);

    // What the view shows first is coloured before it is shown: the first blocks, more lines
    // than any screen holds.
    m_document = doc;
    m_nextBlock = 0;
    if (keywords) {
        const QTextCharFormat keyword = keywordFormat();
        for (QTextBlock b = doc->begin(); b.isValid() && b.position() < FirstColoured && b.blockNumber() < 256;
             b = b.next()) {
            colourBlock(doc, b, keyword);
            m_nextBlock = b.blockNumber() + 1;
        }
    } else if (grammar && flat.size() <= SmallText) {
        // Parsed whole in less time than the window takes to show it.
        const QList<highlight::Span> spans = highlight::highlightText(m_language, flat);
        qsizetype next = 0;
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
            colourBlockRuns(doc, b, runsIn(b, spans, next));
        m_nextBlock = doc->blockCount();
    } else if (grammar) {
        // The first screen from its own lines, until the whole is coloured away from here.
        m_byGrammar = true;
        QTextBlock last = doc->begin();
        for (QTextBlock b = doc->begin(); b.isValid() && b.position() < FirstParsed; b = b.next())
            last = b;
        const QList<highlight::Span> spans = highlight::highlightPart(m_language, flat, 0, blockEnd(last));
        qsizetype next = 0;
        for (QTextBlock b = doc->begin(); b.isValid() && b.blockNumber() <= last.blockNumber(); b = b.next())
            colourBlockRuns(doc, b, runsIn(b, spans, next));
    } else {
        m_nextBlock = doc->blockCount(); // shown uncoloured
    }

    // Hand the document to the view and leave the work area empty.
    // (A document the editor created itself is deleted by it; one we handed over is ours to delete.)
    QTextDocument *old = m_view->document();
    const bool oldIsOurs = old && old->parent() == m_view;
    doc->setParent(m_view);
    m_view->setDocument(doc);
    m_work->document()->clear();
    if (oldIsOurs)
        delete old;
    m_view->setCurrentCharFormat(plain);
    // Started once the screen is done, so as not to slow it.
    if (grammar && m_nextBlock < doc->blockCount())
        m_job = std::make_unique<GrammarJob>(m_language, flat, text, font);

    if (m_nextBlock >= doc->blockCount())
        done();
    else
        m_timer->start();
}

void KeywordColorer::step(int budgetMs)
{
    if (!isColouring()) {
        // The view was given other content meanwhile: nothing is left to colour.
        m_document = nullptr;
        hideProgress();
        return;
    }
    if (m_job) {
        stepByGrammar(budgetMs);
        return;
    }
    QTextDocument *doc = m_document;
    const QTextCharFormat keyword = keywordFormat();
    QElapsedTimer clock;
    clock.start();
    QTextBlock b = doc->findBlockByNumber(m_nextBlock);
    while (b.isValid()) {
        colourBlock(doc, b, keyword);
        b = b.next();
        ++m_nextBlock;
        if (budgetMs >= 0 && (m_nextBlock & 15) == 0 && clock.elapsed() >= budgetMs)
            break;
    }
    if (!b.isValid()) {
        done();
        return;
    }
    m_progress->setValue(int(qint64(m_nextBlock) * 100 / std::max(1, doc->blockCount())));
    m_timer->start();
}

void KeywordColorer::stepByGrammar(int budgetMs)
{
    if (budgetMs >= 0 && !m_job->ready.load()) {
        // Parsing is most of the work; then the runs, then the document to show.
        m_progress->setValue(m_job->grammar.isFinished() ? 90 : m_job->grammar.isParsed() ? 60 : 10);
        m_timer->start(10);
        return;
    }
    QTextDocument *built = m_job->take();
    if (built) {
        // The view keeps its place as far as the new document is laid out.
        const int top = m_view->verticalScrollBar()->value();
        const int left = m_view->horizontalScrollBar()->value();
        const QTextCursor was = m_view->textCursor();
        QTextDocument *old = m_view->document();
        const bool oldIsOurs = old && old->parent() == m_view;
        const bool shown = m_shown.document == old;
        m_document = nullptr;
        built->setParent(m_view);
        m_view->setDocument(built);
        m_view->setCurrentCharFormat(plainFormat(built->defaultFont()));
        if (shown)
            m_shown = {built, built->revision(), m_shown.codeTab, m_shown.language, m_shown.text};
        // The same text: the caret and the selection (to print) stay where they were.
        QTextCursor cursor(built);
        cursor.setPosition(was.anchor());
        cursor.setPosition(was.position(), QTextCursor::KeepAnchor);
        m_view->setTextCursor(cursor);
        if (oldIsOurs)
            delete old;
        m_view->verticalScrollBar()->setValue(top);
        m_view->horizontalScrollBar()->setValue(left);
    }
    done();
}

void KeywordColorer::colourVisibleBlocks()
{
    if (!isColouring())
        return;
    QTextDocument *doc = m_document;
    const QTextCharFormat keyword = keywordFormat();
    const QRect r = m_view->viewport()->rect();
    QTextBlock b = m_view->cursorForPosition(r.topLeft()).block();
    const int last = m_view->cursorForPosition(r.bottomLeft()).block().blockNumber();
    if (m_byGrammar) {
        // Until the whole is coloured, the blocks that come into sight from their own lines.
        const QTextBlock to = doc->findBlockByNumber(last);
        if (!to.isValid())
            return;
        if (!to.isValid() || !m_job)
            return;
        const QList<highlight::Span> spans = m_job->grammar.quickSpans(b.position(), blockEnd(to));
        qsizetype next = 0;
        for (; b.isValid() && b.blockNumber() <= last; b = b.next())
            if (b.layout()->formats().isEmpty())
                colourBlockRuns(doc, b, runsIn(b, spans, next));
        return;
    }
    // Blocks before the one the slices have reached are coloured already.
    for (; b.isValid() && b.blockNumber() <= last; b = b.next())
        if (b.blockNumber() >= m_nextBlock && b.layout()->formats().isEmpty())
            colourBlock(doc, b, keyword);
}

void KeywordColorer::finish()
{
    if (isColouring())
        step(-1);
}

void KeywordColorer::done()
{
    m_timer->stop();
    m_document = nullptr;
    m_job.reset();
    m_byGrammar = false;
    m_progress->setValue(100);
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
