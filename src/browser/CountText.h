#pragma once
#include <QDate>
#include <QString>

namespace browser {

// "العدد الكلي للأكواد: " + the count with a leading space for its sign + " كود".
QString countText(qint64 count);
// "تاريخ اليوم: " + full weekday/full month/four-digit year in Arabic.
QString dateText(const QDate &date);

} // namespace browser
