#include "messages/ArabicMsgBox.h"

#include "platform/MessageBox.h"

namespace messages {

const QMap<int, QString> &arabicButtonCaptions()
{
    static const QMap<int, QString> captions = {
        {platform::mb::OK, QStringLiteral("موافق")},     {platform::mb::Cancel, QStringLiteral("إلغاء الأمر")},
        {platform::mb::Abort, QStringLiteral("إحباط")},  {platform::mb::Retry, QStringLiteral("إعادة المحاولة")},
        {platform::mb::Ignore, QStringLiteral("تجاهل")}, {platform::mb::Yes, QStringLiteral("نعم")},
        {platform::mb::No, QStringLiteral("لا")},
    };
    return captions;
}

int ArabicMsgBox(QWidget *owner, const QString &prompt, const QString &title, int buttons, int icon)
{
    const int style = buttons + icon + platform::mb::RtlReading + platform::mb::Right;
    return platform::showMessageBox(owner, prompt, title, style, arabicButtonCaptions());
}

void showError(QWidget *owner, const QString &prompt)
{
    ArabicMsgBox(owner, prompt, ErrorTitle, platform::mb::OkOnly, platform::mb::Critical);
}

bool confirm(QWidget *owner, const QString &prompt)
{
    return ArabicMsgBox(owner, prompt, ConfirmTitle, platform::mb::YesNo, platform::mb::Question) == platform::mb::Yes;
}

} // namespace messages
