#include "exchange/HeaderBoxes.h"

#include "exchange/Texts.h"

#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTextCursor>

namespace exchange {

namespace {

QLabel *addLabel(QWidget *dialog, QGridLayout *grid, int row, int index, const QString &caption, QWidget *buddy)
{
    auto *label = new QLabel(caption, dialog);
    label->setObjectName(QStringLiteral("Label2"));
    label->setProperty("index", index);
    label->setAccessibleName(caption);
    label->setBuddy(buddy);
    buddy->setAccessibleName(caption);
    grid->addWidget(label, row, 0, Qt::AlignTop);
    grid->addWidget(buddy, row, 1);
    return label;
}

// Keeps a multi-line box within a length, as a single-line box's maxLength does.
void limitLength(QPlainTextEdit *box, int max)
{
    QObject::connect(box, &QPlainTextEdit::textChanged, box, [box, max] {
        const QString text = box->toPlainText();
        if (text.size() <= max)
            return;
        QTextCursor cursor = box->textCursor();
        const int position = qMin(cursor.position(), max);
        const QSignalBlocker block(box);
        box->setPlainText(text.left(max));
        cursor = box->textCursor();
        cursor.setPosition(position);
        box->setTextCursor(cursor);
    });
}

} // namespace

HeaderBoxes addHeaderBoxes(QWidget *dialog, QGridLayout *grid, bool readOnly)
{
    HeaderBoxes boxes;
    boxes.name = new QLineEdit(dialog);
    boxes.name->setObjectName(QStringLiteral("TxtName"));
    boxes.date = new QLineEdit(dialog);
    boxes.date->setObjectName(QStringLiteral("TxtDate"));
    boxes.notes = new QPlainTextEdit(dialog);
    boxes.notes->setObjectName(QStringLiteral("TxtNotes"));
    boxes.notes->setTabChangesFocus(true);
    boxes.notes->setFixedHeight(boxes.name->sizeHint().height() * 3);
    addLabel(dialog, grid, 0, 0, text::NameLabel, boxes.name);
    addLabel(dialog, grid, 1, 2, text::DateLabel, boxes.date);
    addLabel(dialog, grid, 2, 1, text::NotesLabel, boxes.notes);
    if (readOnly) {
        boxes.name->setReadOnly(true);
        boxes.date->setReadOnly(true);
        boxes.notes->setReadOnly(true);
    } else {
        // The package header fields hold at most 255 characters, one more than the text.
        boxes.name->setMaxLength(254);
        boxes.date->setMaxLength(254);
        limitLength(boxes.notes, NotesMax);
    }
    return boxes;
}

PackageDialogParts buildPackageDialog(QDialog *dialog, bool readOnly, const QString &listCaption,
                                      const char *listLabelName, const char *resultName, const QString &actionCaption,
                                      const char *actionName)
{
    PackageDialogParts parts;
    auto *grid = new QGridLayout;
    parts.header = addHeaderBoxes(dialog, grid, readOnly);

    auto *listLabel = new QLabel(listCaption, dialog);
    listLabel->setObjectName(QLatin1String(listLabelName));
    listLabel->setAccessibleName(listCaption);
    parts.list = new QListWidget(dialog);
    parts.list->setObjectName(QStringLiteral("LstFind"));
    parts.list->setAccessibleName(listCaption);
    parts.list->setSortingEnabled(false);
    listLabel->setBuddy(parts.list);
    parts.result = new QLabel(dialog);
    parts.result->setObjectName(QLatin1String(resultName));

    parts.action = new QPushButton(actionCaption, dialog);
    parts.action->setObjectName(QLatin1String(actionName));
    parts.action->setAccessibleName(actionCaption);
    auto *close = new QPushButton(text::CloseButton, dialog);
    close->setObjectName(QStringLiteral("CmdCancel"));
    close->setAccessibleName(text::CloseButton);
    QObject::connect(close, &QPushButton::clicked, dialog, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(parts.result, 1);
    buttons->addWidget(parts.action);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(dialog);
    layout->addLayout(grid);
    layout->addWidget(listLabel);
    layout->addWidget(parts.list, 1);
    layout->addLayout(buttons);
    dialog->resize(460, 440);
    return parts;
}

} // namespace exchange
