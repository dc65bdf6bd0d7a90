#include "platform/PrintDialog.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QEvent>
#include <QPrintDialog>
#include <QPrinter>
#include <QWidget>

namespace platform {

namespace {
// The dialog enables its page range buttons each time it is shown, whatever its options say:
// they are switched off again once it has been set up.
class PageRangeLock : public QObject
{
public:
    PageRangeLock(QDialog *dialog, bool on)
        : m_dialog(dialog)
        , m_lockPages(on)
    {
        dialog->installEventFilter(this);
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_dialog && event->type() == QEvent::Show) {
            if (m_lockPages)
                for (const char *name : {"printRange", "pagesRadioButton", "printCurrentPage"})
                    if (QWidget *button = m_dialog->findChild<QWidget *>(QLatin1String(name)))
                        button->setEnabled(false);
            // In a right-to-left program the style draws a button's icon over its caption.
            for (auto *box : m_dialog->findChildren<QDialogButtonBox *>())
                for (QAbstractButton *button : box->buttons())
                    button->setIcon(QIcon());
        }
        return false;
    }

private:
    QDialog *m_dialog;
    bool m_lockPages;
};
} // namespace

PrintDialogResult showPrintDialog(QWidget *parent, QPrinter *printer, int flags)
{
    const bool selection = flags & pd::Selection;
    printer->setPrintRange(selection ? QPrinter::Selection : QPrinter::AllPages);

    if (PrintDialogSeam::enabled()) {
        PrintDialogSeam::record(PrintDialogRequest{flags});
        const PrintDialogAnswer answer = PrintDialogSeam::takeAnswer(PrintDialogAnswer{});
        if (answer.result == PrintDialogResult::Accepted) {
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(answer.pdfPath);
            if (answer.selection)
                printer->setPrintRange(*answer.selection ? QPrinter::Selection : QPrinter::AllPages);
        }
        return answer.result;
    }

    // Without any print support there is nothing to choose; a PDF file always counts as a printer.
    if (!printer->isValid())
        return PrintDialogResult::NoPrinter;
    QPrintDialog dialog(printer, parent);
    dialog.setWindowTitle(QStringLiteral("طباعة"));
    QAbstractPrintDialog::PrintDialogOptions options = dialog.options();
    options.setFlag(QAbstractPrintDialog::PrintSelection, selection);
    if (flags & pd::NoPageNums) {
        options.setFlag(QAbstractPrintDialog::PrintPageRange, false);
        options.setFlag(QAbstractPrintDialog::PrintCurrentPage, false);
    }
    dialog.setOptions(options);
    PageRangeLock lock(&dialog, flags & pd::NoPageNums);
    return dialog.exec() == QDialog::Accepted ? PrintDialogResult::Accepted : PrintDialogResult::Cancelled;
}

} // namespace platform
