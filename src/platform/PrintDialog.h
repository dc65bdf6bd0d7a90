#pragma once
// The print dialog with the old platform's flags (PD_SELECTION, PD_NOPAGENUMS, PD_RETURNDC).
// Tests replace the dialog through PrintDialogSeam: every request is recorded and the outcome
// is scripted (print to a PDF file, cancel, or no printer installed).
#include <QList>
#include <QString>

class QPrinter;
class QWidget;

namespace platform {

namespace pd {
constexpr int Selection = 0x1;   // the selection option is chosen when the dialog opens
constexpr int NoPageNums = 0x8;  // no page range choice
constexpr int ReturnDc = 0x100;  // the chosen printer is handed back ready to print on
} // namespace pd

enum class PrintDialogResult { Accepted, Cancelled, NoPrinter };

struct PrintDialogRequest {
    int flags = 0;
    bool selectionPreset() const { return flags & pd::Selection; }
    bool pageNumbersDisabled() const { return flags & pd::NoPageNums; }
};

// On Accepted the printer is set up as chosen; printer->printRange() is QPrinter::Selection
// when the user chose to print the selection.
PrintDialogResult showPrintDialog(QWidget *parent, QPrinter *printer, int flags);

class PrintDialogSeam
{
public:
    static void enable(bool on = true);
    static bool enabled();
    // Answers are used first in, first out; without one the dialog is cancelled.
    // The range printed is the one the dialog opened with, unless selection says otherwise.
    static void setNextPdf(const QString &path);
    static void setNextPdf(const QString &path, bool selection);
    static void setNextCancel();
    static void setNextNoPrinter();
    static void clear();
    static const QList<PrintDialogRequest> &requests();
};

} // namespace platform
