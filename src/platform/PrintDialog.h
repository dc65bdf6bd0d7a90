#pragma once
// The print dialog, set up by flags (PD_SELECTION, PD_NOPAGENUMS, PD_RETURNDC).
// Tests replace the dialog through PrintDialogSeam: every request is recorded and the outcome
// is scripted (print to a PDF file, cancel, or no printer installed).
#include "platform/TestSeam.h"

#include <QList>
#include <QString>
#include <optional>

class QPrinter;
class QWidget;

namespace platform {

namespace pd {
constexpr int Selection = 0x1; // the selection option is chosen when the dialog opens
constexpr int NoPageNums = 0x8; // no page range choice
constexpr int ReturnDc = 0x100; // the chosen printer is handed back ready to print on
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

// What the seam answers in the dialog's place; a printer accepted prints to the PDF file.
struct PrintDialogAnswer {
    PrintDialogResult result = PrintDialogResult::Cancelled;
    QString pdfPath;
    std::optional<bool> selection; // the range the dialog opened with when unset
};

class PrintDialogSeam : public TestSeam<PrintDialogSeam, PrintDialogRequest, PrintDialogAnswer>
{
public:
    // Without an answer the dialog is cancelled.
    // The range printed is the one the dialog opened with, unless selection says otherwise.
    static void setNextPdf(const QString &path) { script({PrintDialogResult::Accepted, path, std::nullopt}); }
    static void setNextPdf(const QString &path, bool selection)
    {
        script({PrintDialogResult::Accepted, path, selection});
    }
    static void setNextCancel() { script(PrintDialogAnswer{}); }
    static void setNextNoPrinter() { script({PrintDialogResult::NoPrinter, {}, {}}); }
};

} // namespace platform
