#pragma once
// The save-as command: the snippet shown in the view as plain text, RTF or a web page.
#include <QString>

#include <functional>

class QWidget;

namespace platform {
class RichTextBox;
}

namespace exporting {

// What the export commands act on. The tree is reached through the two functions so the
// commands do not depend on how the main window keeps it.
struct CommandTarget {
    QWidget *owner = nullptr;                           // owns the dialogs and messages
    std::function<QString()> selectedKey;               // key of the tree's selected node, "" for none
    std::function<void(const QString &)> selectNode;    // selects the node with the key
    platform::RichTextBox *view = nullptr;              // the snippet view
    QWidget *repaint = nullptr;                         // redrawn when the command ends (the tab strip)
};

// The save dialog's types, in the order of their filter index.
extern const QString SaveFilter;
// Shown when the selected node is not a snippet.
extern const QString SelectSnippetFirst;

void mnusaveas_Click(const CommandTarget &target);

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
