#pragma once
// The program's own message box: right-aligned, right-to-left, with Arabic button captions.
#include "platform/MessageBox.h"

#include <QMap>
#include <QString>

class QWidget;

namespace messages {

// Captions of the buttons by result number 1-7.
using platform::arabicButtonCaptions;

// buttons and icon are the platform style numbers (platform::mb); returns the result number 1-7.
int ArabicMsgBox(QWidget *owner, const QString &prompt, const QString &title, int buttons, int icon);

// The common kinds of the program's messages.
inline const QString &ErrorTitle = platform::ErrorBoxTitle;
inline const QString ConfirmTitle = QStringLiteral("رسالة تأكيد");
void showError(QWidget *owner, const QString &prompt); // OK, critical, "رسالة خطأ"
bool confirm(QWidget *owner, const QString &prompt); // Yes/No, question, "رسالة تأكيد"; true on Yes

// n spaces, for the prompts that the program pads.
inline QString spaces(int n) { return QString(n, QLatin1Char(' ')); }

} // namespace messages
