#include "platform/Guarded.h"

#include "platform/Error.h"
#include "platform/MessageBox.h"

#include <QPointer>
#include <QWidget>
#include <QtDebug>

namespace platform {

bool runGuarded(QWidget *owner, const QString &what, const std::function<void()> &operation)
{
    // The operation may close and delete the window it was started from.
    const QPointer<QWidget> window(owner);
    try {
        operation();
        return true;
    } catch (const Error &e) {
        showErrorBox(window, what + e.message());
    } catch (const std::exception &e) {
        qWarning("Unexpected error: %s", e.what());
        showErrorBox(window, what + UnexpectedErrorText);
    } catch (...) {
        qWarning("Unexpected error: an exception of unknown type");
        showErrorBox(window, what + UnexpectedErrorText);
    }
    return false;
}

} // namespace platform
