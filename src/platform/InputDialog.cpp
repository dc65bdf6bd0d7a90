#include "platform/InputDialog.h"

#include <QInputDialog>
#include <QLineEdit>

namespace platform {

std::optional<QString> askText(QWidget *owner, const QString &title, const QString &prompt, bool secret)
{
    if (InputDialogSeam::enabled()) {
        InputDialogSeam::record({title, prompt, secret});
        return InputDialogSeam::takeAnswer(std::nullopt);
    }
    QInputDialog dialog(owner);
    dialog.setObjectName(QStringLiteral("dlgInput"));
    dialog.setLayoutDirection(Qt::RightToLeft);
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextEchoMode(secret ? QLineEdit::Password : QLineEdit::Normal);
    dialog.setOkButtonText(QStringLiteral("موافق"));
    dialog.setCancelButtonText(QStringLiteral("إلغاء الأمر"));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

} // namespace platform
