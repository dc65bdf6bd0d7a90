#include "messages/ArabicMsgBox.h"

#include "platform/MessageBox.h"

namespace messages {

int ArabicMsgBox(QWidget *owner, const QString &prompt, const QString &title, int buttons, int icon)
{
    const int style = buttons + icon + platform::mb::RtlReading + platform::mb::Right;
    return platform::showMessageBox(owner, prompt, title, style, arabicButtonCaptions());
}

void showError(QWidget *owner, const QString &prompt) { platform::showErrorBox(owner, prompt); }

bool confirm(QWidget *owner, const QString &prompt)
{
    return ArabicMsgBox(owner, prompt, ConfirmTitle, platform::mb::YesNo, platform::mb::Question) == platform::mb::Yes;
}

} // namespace messages
