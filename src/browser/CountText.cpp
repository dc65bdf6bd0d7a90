#include "browser/CountText.h"

#include "platform/Digits.h"

#include <QLocale>

namespace browser {

QString countText(qint64 count)
{
    const QString number = count < 0 ? QString::number(count) : QLatin1Char(' ') + QString::number(count);
    return QStringLiteral("العدد الكلي للأكواد: ") + platform::localDigits(number) + QStringLiteral(" كود");
}

QString dateText(const QDate &date)
{
    const QLocale arabic(QLocale::Arabic, QLocale::SaudiArabia);
    return QStringLiteral("تاريخ اليوم: ")
           + platform::localDigits(arabic.toString(date, QStringLiteral("dddd/MMMM/yyyy")));
}

} // namespace browser
