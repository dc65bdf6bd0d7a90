#include "platform/Digits.h"

#include <QLocale>

namespace platform {

QString localDigits(const QString &text)
{
    const QString zero = QLocale().zeroDigit();
    // Locales whose digits lie outside the basic plane keep the Western ones.
    const char16_t target = zero.size() == 1 ? zero.at(0).unicode() : u'0';
    QString result = text;
    for (QChar &c : result) {
        const char16_t u = c.unicode();
        if (u >= u'0' && u <= u'9')
            c = QChar(char16_t(target + (u - u'0')));
        else if (u >= 0x0660 && u <= 0x0669)
            c = QChar(char16_t(target + (u - 0x0660)));
        else if (u >= 0x06F0 && u <= 0x06F9)
            c = QChar(char16_t(target + (u - 0x06F0)));
    }
    return result;
}

} // namespace platform
