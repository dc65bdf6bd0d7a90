#pragma once
// The name, date and notes boxes with their labels, laid out the same in both package dialogs.
#include <QString>

class QDialog;
class QGridLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace exchange {

constexpr int NotesMax = 100;

struct HeaderBoxes {
    QLineEdit *name = nullptr;
    QLineEdit *date = nullptr;
    QPlainTextEdit *notes = nullptr;
};

// Adds the three labels (objectName "Label2", property "index" 0, 2, 1) and boxes to rows
// 0 to 2 of grid. The notes box never holds more than NotesMax characters.
HeaderBoxes addHeaderBoxes(QWidget *dialog, QGridLayout *grid, bool readOnly);

// The body both package dialogs share: header boxes, the captioned title list "LstFind",
// the result label, the action button and "CmdCancel" (which rejects the dialog).
struct PackageDialogParts {
    HeaderBoxes header;
    QListWidget *list = nullptr;
    QLabel *result = nullptr;
    QPushButton *action = nullptr;
};
PackageDialogParts buildPackageDialog(QDialog *dialog, bool readOnly, const QString &listCaption,
                                      const char *listLabelName, const char *resultName, const QString &actionCaption,
                                      const char *actionName);

} // namespace exchange
