#pragma once
#include "search/core/SnippetSearch.h"

#include <QFont>
#include <QFontMetrics>
#include <optional>

namespace search {

// The widest title of the whole table in one font, remembered until the table changes: it is
// needed after every search, and measuring shaped text is the slow part (seconds for a million
// titles). Single widths are not kept: a million titles would hold much memory for one number.
class TitleWidths : public TitleMeasure
{
public:
    // Measures the titles of library, which must outlive it.
    TitleWidths(store::Library &library, const QFont &font);
    const store::Library &library() const { return m_library; }
    int width(const QString &title) override;
    const QFont &font() const { return m_font; }
    // The widest title of the whole table, measured again only after the table changed.
    int widestOfTable();
    std::optional<int> knownWidest() override;
    // Measures the table's titles for about budgetMs, going on where the last call stopped;
    // returns whether the widest is known now. A write in between starts the measuring again.
    // Titles are read sliceRows at a time, at least one slice a call.
    bool measureFor(int budgetMs, int sliceRows = 2000);

private:
    store::Library &m_library;
    QFont m_font;
    QFontMetrics m_metrics;
    std::optional<int> m_widest;
    store::ChangeStamp m_stamp;
    // A measuring in progress: the table as it was when it began, the last row measured, the widest so far.
    std::optional<store::ChangeStamp> m_measuring;
    qint64 m_measuredRow = 0;
    int m_measuredWidest = 0;
};

} // namespace search
