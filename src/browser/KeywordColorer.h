#pragma once
// Shows a snippet's text in the view with its keywords coloured. The document is built in the
// hidden work area while a progress bar laid over the status bar's count panel shows how far
// it has got; the same bar serves other long work of the window.
#include <QString>

class QLabel;
class QProgressBar;
class QTextDocument;

namespace platform {
class RichTextBox;
}

namespace browser {

class KeywordColorer
{
public:
    KeywordColorer(platform::RichTextBox *view, platform::RichTextBox *work, QProgressBar *progress,
                   QLabel *countPanel);

    // Colours text into the view; codeTab: code (left to right) rather than a comment.
    void color(const QString &text, bool codeTab);
    // As color, unless the view still shows exactly this: focus, click and key release all ask
    // for the same text, and a large snippet must not be coloured over and over.
    void show(const QString &text, bool codeTab);

    void showProgress(); // at 0, over the count panel
    void hideProgress();

private:
    platform::RichTextBox *m_view;
    platform::RichTextBox *m_work;
    QProgressBar *m_progress;
    QLabel *m_countPanel;
    struct Shown {
        const QTextDocument *document = nullptr;
        int revision = -1;
        bool codeTab = true;
        QString text;
    } m_shown;
};

} // namespace browser
