#pragma once
// A modal one-line question (a password, a name), right to left. Tests answer it through
// InputDialogSeam.
#include "platform/TestSeam.h"

#include <QString>
#include <optional>

class QWidget;

namespace platform {

struct InputDialogRequest {
    QString title;
    QString prompt;
    bool secret = false; // typed characters are not shown
};

// Empty optional when the user cancels.
std::optional<QString> askText(QWidget *owner, const QString &title, const QString &prompt, bool secret = false);

class InputDialogSeam : public TestSeam<InputDialogSeam, InputDialogRequest, std::optional<QString>>
{
public:
    // Without an answer the dialog is cancelled.
    static void setNextAnswer(const QString &text) { script(text); }
    static void setNextCancel() { script(std::nullopt); }
};

} // namespace platform
