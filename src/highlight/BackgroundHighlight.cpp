#include "highlight/BackgroundHighlight.h"

#include <algorithm>

namespace highlight {

BackgroundHighlight::BackgroundHighlight(const QString &language, const QString &text)
    : m_language(language)
    , m_text(text)
{
    m_thread = std::thread([this] { run(); });
}

BackgroundHighlight::~BackgroundHighlight()
{
    m_cancel.store(1);
    m_thread.join();
}

void BackgroundHighlight::run()
{
    const qsizetype n = m_text.size();
    try {
        Highlighter highlighter(m_language);
        if (highlighter.parse(m_text, &m_cancel)) {
            m_parsed.store(true);
            // The whole text in one pass: the runtime walks the tree from its start for every
            // range asked, so pieces would cost more the further they lie.
            const QList<Span> all = highlighter.spans(0, n, &m_cancel);
            std::lock_guard lock(m_mutex);
            m_spans.assign(all.begin(), all.end());
        }
    } catch (const std::exception &) {
        // Out of memory on a huge text: it stays plain.
    }
    {
        std::lock_guard lock(m_mutex);
        m_ready.store(n);
        m_finished.store(true);
    }
    m_done.notify_all();
}

qsizetype BackgroundHighlight::readyUpTo() const { return m_ready.load(); }

bool BackgroundHighlight::isFinished() const { return m_finished.load(); }

void BackgroundHighlight::wait() const
{
    std::unique_lock lock(m_mutex);
    m_done.wait(lock, [this] { return m_finished.load(); });
}

QList<Span> BackgroundHighlight::spans(qsizetype from, qsizetype to) const
{
    QList<Span> out;
    std::lock_guard lock(m_mutex);
    auto it = std::lower_bound(m_spans.begin(), m_spans.end(), from,
                               [](const Span &s, qsizetype pos) { return s.start + s.length <= pos; });
    for (; it != m_spans.end() && it->start < to; ++it) {
        const qsizetype a = std::max<qsizetype>(it->start, from);
        const qsizetype b = std::min<qsizetype>(it->start + it->length, to);
        if (b > a)
            out.append({int(a), int(b - a), it->style});
    }
    return out;
}

QList<Span> BackgroundHighlight::quickSpans(qsizetype from, qsizetype to) const
{
    return highlightPart(m_language, m_text, from, to);
}

QList<Span> highlightPart(const QString &language, QStringView text, qsizetype from, qsizetype to)
{
    // Some lines before what is asked give the parser its bearings.
    qsizetype start = std::max<qsizetype>(0, from - 2048);
    while (start > 0 && text[start - 1] != QLatin1Char('\n'))
        --start;
    to = std::min(to, text.size());
    if (start >= to)
        return {};
    const QStringView part = text.sliced(start, to - start);
    Highlighter highlighter(language);
    if (!highlighter.parse(part))
        return {};
    QList<Span> out = highlighter.spans(from - start, part.size());
    for (Span &s : out)
        s.start += int(start);
    return out;
}

} // namespace highlight
