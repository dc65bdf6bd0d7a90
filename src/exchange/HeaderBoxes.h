#pragma once
// The name, date and notes boxes with their labels, laid out the same in both package dialogs.
#include <QString>

class QGridLayout;
class QLineEdit;
class QPlainTextEdit;
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

} // namespace exchange
