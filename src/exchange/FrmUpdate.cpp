#include "exchange/FrmUpdate.h"

#include "about/Effects.h"
#include "exchange/HeaderBoxes.h"
#include "exchange/Texts.h"
#include "messages/ArabicMsgBox.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "store/LibraryConnection.h"

#include <QCursor>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace exchange {

FrmUpdate::FrmUpdate(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("FrmUpdate"));
    setWindowTitle(text::ReaderCaption);
    setModal(true);

    auto *grid = new QGridLayout;
    const HeaderBoxes boxes = addHeaderBoxes(this, grid, true);
    m_name = boxes.name;
    m_date = boxes.date;
    m_notes = boxes.notes;

    auto *listLabel = new QLabel(text::PackageContentsLabel, this);
    listLabel->setObjectName(QStringLiteral("Label1"));
    listLabel->setAccessibleName(text::PackageContentsLabel);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("LstFind"));
    m_list->setAccessibleName(text::PackageContentsLabel);
    m_list->setSortingEnabled(false);
    listLabel->setBuddy(m_list);
    m_result = new QLabel(this);
    m_result->setObjectName(QStringLiteral("Label3"));

    auto *insert = new QPushButton(text::AddButton, this);
    insert->setObjectName(QStringLiteral("CmdInsert"));
    insert->setAccessibleName(text::AddButton);
    auto *close = new QPushButton(text::CloseButton, this);
    close->setObjectName(QStringLiteral("CmdCancel"));
    close->setAccessibleName(text::CloseButton);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_result, 1);
    buttons->addWidget(insert);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(listLabel);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    resize(460, 440);

    connect(insert, &QPushButton::clicked, this, &FrmUpdate::CmdInsert_Click);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

bool FrmUpdate::load()
{
    about::PrepareDialog(this);
    const platform::FileDialogResult chosen = platform::getOpenFileName(this, QString(), text::PackageFilter);
    m_packagePath = chosen.accepted ? chosen.fileName : QString();
    if (m_packagePath.isEmpty())
        return false;

    QString error;
    std::optional<Package> package = readPackage(m_packagePath, &error);
    if (!package) {
        messages::showError(parentWidget(), error);
        return false;
    }
    m_package = std::move(*package);
    // A Null field leaves its box as it was.
    const PackageHeader &header = m_package.header;
    if (!header.name.isNull())
        m_name->setText(header.name.toString());
    if (!header.date.isNull())
        m_date->setText(header.date.toString());
    if (!header.notes.isNull())
        m_notes->setPlainText(header.notes.toString());
    QStringList titles;
    for (const PackageRow &row : m_package.rows)
        titles.append(row.head.toString());
    m_list->clear();
    m_list->addItems(titles);
    m_result->setText(text::countLine(text::SearchResult, titles.size(), text::Items));
    return true;
}

void FrmUpdate::CmdInsert_Click()
{
    int added = 0;
    QString failure;
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    try {
        added = applyPackage(m_package);
    } catch (const store::StoreError &e) {
        failure = e.message();
    }
    QGuiApplication::restoreOverrideCursor();
    if (!failure.isEmpty()) {
        messages::showError(this, QStringLiteral("تعذر إضافة محتويات ملف التحديث، ولم تتغير قاعدة البيانات:\r\n")
                                      + failure);
        return;
    }
    const QString failed = appendCredits(m_date->text(), m_name->text(), m_notes->toPlainText());
    if (!failed.isEmpty())
        platform::plainMessageBox(this,
                                  QStringLiteral("تمت إضافة الأكواد، لكن تعذر تسجيل بيانات ملف التحديث في الملف ")
                                      + creditsPath() + QStringLiteral(":\r\n") + failed,
                                  QGuiApplication::applicationDisplayName());
    m_result->setText(text::countLine(text::Added, added, text::ItemsDone));
}

} // namespace exchange
