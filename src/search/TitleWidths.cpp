#include "search/TitleWidths.h"

#include "store/Library.h"

#include <QElapsedTimer>

namespace search {

TitleWidths::TitleWidths(const QFont &font)
    : m_font(font)
    , m_metrics(font)
{ }

int TitleWidths::width(const QString &title)
{
    const auto it = m_widths.constFind(title);
    if (it != m_widths.cend())
        return *it;
    const int w = m_metrics.horizontalAdvance(title);
    m_widths.insert(title, w);
    return w;
}

int TitleWidths::widestOfTable()
{
    while (!measureFor(1000)) { }
    return *m_widest;
}

std::optional<int> TitleWidths::knownWidest()
{
    if (m_widest && store::Library::changeStamp() == m_stamp)
        return m_widest;
    return std::nullopt;
}

bool TitleWidths::measureFor(int budgetMs)
{
    const store::ChangeStamp stamp = store::Library::changeStamp();
    if (m_widest && stamp == m_stamp)
        return true;
    if (!m_measuring || *m_measuring != stamp) {
        m_measuring = stamp;
        m_measuredRow = 0;
        m_measuredWidest = 0;
    }
    QElapsedTimer timer;
    timer.start();
    constexpr int kSlice = 2000;
    qsizetype read = 0;
    do { // at least one slice a call, so every call gets on
        const QList<store::SnippetText> rows = store::Library::snippetTexts(m_measuredRow, kSlice, false, false);
        read = rows.size();
        // Not remembered one by one: a million titles would hold on to much memory for one number.
        for (const store::SnippetText &row : rows) {
            const QString title = row.head.toString();
            const auto known = m_widths.constFind(title);
            m_measuredWidest = qMax(m_measuredWidest, known != m_widths.cend() ? *known
                                                                               : m_metrics.horizontalAdvance(title));
            m_measuredRow = row.row;
        }
    } while (read == kSlice && timer.elapsed() < budgetMs);
    if (read == kSlice)
        return false;
    knowWidest(m_measuredWidest, stamp);
    m_measuring.reset();
    return true;
}

void TitleWidths::knowWidest(int widest, const store::ChangeStamp &stamp)
{
    m_widest = widest;
    m_stamp = stamp;
}

} // namespace search
