#include "browser/DamageReport.h"

#include "messages/ArabicMsgBox.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace browser {

namespace {
bool g_pending = false;
}

void reportDamagedLibrary(QWidget *owner, const QString &message)
{
    if (g_pending)
        return;
    g_pending = true;
    QTimer::singleShot(0, QCoreApplication::instance(), [window = QPointer<QWidget>(owner ? owner->window() : nullptr),
                                                          message] {
        messages::showError(window, message);
        g_pending = false;
    });
}

} // namespace browser
