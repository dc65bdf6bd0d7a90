#include "export/Print.h"

#include "about/Effects.h"
#include "browser/FrmMain.h"
#include "messages/ArabicMsgBox.h"
#include "platform/MessageBox.h"
#include "platform/PrintDialog.h"
#include "platform/RichTextBox.h"

#include <QPrinter>
#include <QTabBar>

namespace exporting {

const QString NoPrinterMessage = QStringLiteral(
    "لا توجد لديك طابعة مثبتة حالياً يجب عليك تثبيت طابعة أولاً قبل بدء الطباعة");

void mnuprint_Click(browser::FrmMain &main)
{
    QWidget *owner = &main;
    platform::RichTextBox *view = main.RTxt1();
    int flags = platform::pd::ReturnDc | platform::pd::NoPageNums;
    if (view->selLength() != 0)
        flags |= platform::pd::Selection;
    QPrinter printer(QPrinter::HighResolution);
    switch (platform::showPrintDialog(owner, &printer, flags)) {
    case platform::PrintDialogResult::NoPrinter:
        messages::ArabicMsgBox(owner, NoPrinterMessage, messages::ErrorTitle, platform::mb::OkOnly,
                               platform::mb::Critical);
        break;
    case platform::PrintDialogResult::Cancelled:
        break;
    case platform::PrintDialogResult::Accepted:
        view->printTo(&printer, printer.printRange() == QPrinter::Selection);
        // A printer or file that refused the job must not pass for a finished print.
        if (printer.printerState() == QPrinter::Error)
            messages::showError(owner, QStringLiteral("تعذرت الطباعة على الطابعة المختارة"));
        break;
    }
    about::RepaintControl(main.TS1());
}

} // namespace exporting
