#pragma once
// The one backstop for failures where the user's actions enter the program: the main window's
// command dispatch and the dialogs' buttons run their work through runGuarded. An exception that
// left a Qt slot would end the program; here it ends only the work, with a message saying so.
#include <QString>
#include <functional>

class QWidget;

namespace platform {

// Shown, after the caller's text, for a failure that is not a platform::Error (a fault of the program).
inline const QString UnexpectedErrorText = QStringLiteral("حدث خطأ غير متوقع، فلم تتم العملية.");

// Runs operation and returns whether it finished. On a platform::Error it shows `what` followed by
// the error's message in the error box (showErrorBox); on any other exception `what` followed by
// UnexpectedErrorText, and writes the exception's what() to standard error. `what` says what failed
// ("تعذر حفظ ...:\n"), or is empty. Nothing is rethrown: what the operation wrote before it threw is
// its own to undo (the store's writes are transactions).
bool runGuarded(QWidget *owner, const QString &what, const std::function<void()> &operation);
inline bool runGuarded(QWidget *owner, const std::function<void()> &operation)
{
    return runGuarded(owner, QString(), operation);
}

} // namespace platform
