#pragma once
// The save-as command: the snippet shown in the view as plain text, RTF or a web page.
#include <QString>

class QWidget;

namespace browser {
class FrmMain;
}

namespace exporting {

// The save dialog's types, in the order of their filter index.
extern const QString SaveFilter;
// Shown when the selected node is not a snippet.
extern const QString SelectSnippetFirst;

void mnusaveas_Click(browser::FrmMain &main);

// The platform's number and description for a file that could not be written.
struct FileFailure {
    int number = 0;
    QString description;
};
// Why writing bytes to path fails or failed (writeFailed: the file opened but the write did not).
FileFailure describeFileFailure(const QString &path, bool writeFailed, qint64 bytesNeeded = 0);
// "Error 76 (Path not found) in procedure SaveTxtFile of Form FrmMain" (procedure "SaveTxtFile")
QString saveFailureMessage(const FileFailure &failure, const QString &procedure);

// Writes text followed by CR LF to path in UTF-8 without a byte order mark. A failure is shown
// in a plain message box with the platform's number and description; returns false then.
bool SaveTxtFile(QWidget *owner, const QString &text, const QString &path);

} // namespace exporting
