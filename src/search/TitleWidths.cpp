#include "search/TitleWidths.h"

#include "store/Library.h"

#include <QElapsedTimer>

namespace search {

TitleWidths::TitleWidths(store::Library &library, const QFont &font)
    : m_library(library)
    , m_font(font)
    , m_metrics(font)
{ }

int TitleWidths::width(const QString &title) { return m_metrics.horizontalAdvance(title); }

int TitleWidths::widestOfTable()
{
    while (!measureFor(1000)) { }
    return *m_widest;
}

std::optional<int> TitleWidths::knownWidest()
{
    if (m_widest && m_library.changeStamp() == m_stamp)
        return m_widest;
    return std::nullopt;
}

bool TitleWidths::measureFor(int budgetMs, int sliceRows)
{
    const store::ChangeStamp stamp = m_library.changeStamp();
    if (m_widest && stamp == m_stamp)
        return true;
    if (!m_measuring || *m_measuring != stamp) {
        m_measuring = stamp;
        m_measuredRow = 0;
        m_measuredWidest = 0;
    }
    QElapsedTimer timer;
    timer.start();
    const int slice = qMax(1, sliceRows);
    qsizetype read = 0;
    do { // at least one slice a call, so every call gets on
        const QList<store::SnippetText> rows = m_library.snippetTexts(m_measuredRow, slice, false, false);
        read = rows.size();
        for (const store::SnippetText &row : rows) {
            m_measuredWidest = qMax(m_measuredWidest, m_metrics.horizontalAdvance(row.head.toString()));
            m_measuredRow = row.row;
        }
    } while (read == slice && timer.elapsed() < budgetMs);
    if (read == slice)
        return false;
    m_widest = m_measuredWidest;
    m_stamp = stamp;
    m_measuring.reset();
    return true;
}

} // namespace search
