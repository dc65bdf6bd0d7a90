#pragma once
// Colours a whole text away from the window's thread: the text is parsed once, then its runs are
// found in one pass over the tree. Meanwhile a view colours what it shows from its own lines
// (quickSpans). Dropping the object cancels the work.
#include "highlight/Highlighter.h"

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace highlight {

// Runs for [from, to) of text from parsing only the lines around it: quick, and right for nearly
// all code (a part that starts inside a block comment or a long string can come out wrong).
QList<Span> highlightPart(const QString &language, QStringView text, qsizetype from, qsizetype to);

class BackgroundHighlight
{
public:
    BackgroundHighlight(const QString &language, const QString &text);
    ~BackgroundHighlight();
    BackgroundHighlight(const BackgroundHighlight &) = delete;
    BackgroundHighlight &operator=(const BackgroundHighlight &) = delete;

    // Every run before this position is final (nothing before the end, until all is done).
    qsizetype readyUpTo() const;
    // The parse is done; the runs are being found.
    bool isParsed() const { return m_parsed.load(); }
    bool isFinished() const;
    // Waits until the whole text is coloured (or the work was cancelled).
    void wait() const;
    // Stops the work soon; what is coloured stays.
    void cancel() { m_cancel.store(1); }
    // The final runs meeting [from, to) (which must lie before readyUpTo), clipped to it.
    QList<Span> spans(qsizetype from, qsizetype to) const;
    // highlightPart of the text: for the screen to show until the final runs are there.
    QList<Span> quickSpans(qsizetype from, qsizetype to) const;

private:
    void run();

    const QString m_language;
    const QString m_text;
    CancelFlag m_cancel{0};
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_done;
    std::vector<Span> m_spans;
    std::atomic<qsizetype> m_ready{0};
    std::atomic<bool> m_finished{false};
    std::atomic<bool> m_parsed{false};
    std::thread m_thread;
};

} // namespace highlight
