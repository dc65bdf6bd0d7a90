#pragma once
// Shows a snippet's text in the view with its keywords coloured. The text goes into the view
// as plain text at once; the keyword colours are laid over it block by block (as a highlighter
// does, in the blocks' layouts), the blocks on screen first and the rest in short slices
// between events, while a progress bar laid over the status bar's count panel shows how far it
// has got. The same bar serves other long work of the window.
// Code in another language is coloured by its grammar: parsed away from the window's thread,
// while the screen shows the lines on it coloured from a quick parse of those lines alone.
#include <QPointer>
#include <QString>

#include <memory>

class QLabel;
class QProgressBar;
class QTextDocument;
class QTimer;

namespace platform {
class RichTextBox;
}

namespace browser {

class KeywordColorer
{
public:
    KeywordColorer(platform::RichTextBox *view, platform::RichTextBox *work, QProgressBar *progress,
                   QLabel *countPanel);
    ~KeywordColorer();

    // Shows text in the view and starts colouring it; codeTab: code (left to right) rather
    // than a comment. The blocks on screen are coloured before this returns.
    void color(const QString &text, bool codeTab);
    // As color, unless the view still shows exactly this: focus, click and key release all ask
    // for the same text, and a large snippet must not be coloured over and over.
    void show(const QString &text, bool codeTab);
    // The language of the texts shown from now on: Visual Basic (the default) colours its
    // keywords in code and comments alike; a language with a grammar colours its code only; any
    // other name shows the text uncoloured.
    void setLanguage(const QString &language);
    QString language() const { return m_language; }

    // Colours whatever is left now (before printing or writing the whole content).
    void finish();
    bool isColouring() const;

    void showProgress(); // at 0, over the count panel
    void hideProgress();

    // Lines of code per block of the view's document: a document of fewer, longer blocks is
    // built and coloured much faster, and code needs no paragraph of its own per line.
    static constexpr int LinesPerBlock = 32;
    // Characters coloured before the view shows a text: more than any screen holds.
    static constexpr int FirstColoured = 16 * 1024;
    // Time given to each slice of colouring. The view lays out the text between slices in
    // steps of its own, and a block laid out before it is coloured is laid out twice: slices
    // this long keep the colouring ahead of the layout.
    static constexpr int SliceMs = 40;
    // Code in a grammar's language up to this size is parsed whole before it is shown.
    static constexpr int SmallText = 64 * 1024;
    // Characters of a larger one parsed on their own for the first screen: a screenful, as each
    // costs the first screen its time.
    static constexpr int FirstParsed = 4 * 1024;

private:
    // Colours the next blocks for about budgetMs (all of them for a negative budget).
    void step(int budgetMs);
    void colourVisibleBlocks();
    void done();
    void stepByGrammar(int budgetMs);

    platform::RichTextBox *m_view;
    platform::RichTextBox *m_work;
    QProgressBar *m_progress;
    QLabel *m_countPanel;
    QTimer *m_timer;
    struct Shown {
        const QTextDocument *document = nullptr;
        int revision = -1;
        bool codeTab = true;
        QString language;
        QString text;
    } m_shown;
    QString m_language;
    // The grammar's colouring of a large text under way.
    struct GrammarJob;
    std::unique_ptr<GrammarJob> m_job;
    bool m_byGrammar = false; // the document shown is coloured by m_job (once it has started)
    // The colouring under way: the document it colours and the first block not yet coloured.
    QPointer<QTextDocument> m_document;
    int m_nextBlock = 0;
};

} // namespace browser
