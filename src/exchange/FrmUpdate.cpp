#include "exchange/FrmUpdate.h"

#include "about/Effects.h"
#include "exchange/HeaderBoxes.h"
#include "exchange/Texts.h"
#include "platform/Digits.h"
#include "messages/ArabicMsgBox.h"
#include "platform/FileDialog.h"
#include "platform/Guarded.h"
#include "platform/MessageBox.h"
#include "platform/WaitCursor.h"
#include "store/Library.h"

#include <QCheckBox>
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

FrmUpdate::FrmUpdate(store::Library &library, QWidget *parent)
    : QDialog(parent)
    , m_library(library)
{
    setObjectName(QStringLiteral("FrmUpdate"));
    setWindowTitle(text::ReaderCaption);
    setModal(true);

    const PackageDialogParts parts = buildPackageDialog(this, true, text::PackageContentsLabel, "Label1", "Label3",
                                                        text::AddButton, "CmdInsert");
    m_name = parts.header.name;
    m_date = parts.header.date;
    m_notes = parts.header.notes;
    m_list = parts.list;
    m_result = parts.result;
    QPushButton *insert = parts.action;

    m_skipDuplicates = new QCheckBox(QStringLiteral("تجاهل المكررات"), this);
    m_skipDuplicates->setObjectName(QStringLiteral("ChkSkipDuplicates"));
    m_duplicates = new QLabel(this);
    m_duplicates->setObjectName(QStringLiteral("LblDuplicates"));
    auto *duplicatesRow = new QHBoxLayout;
    duplicatesRow->addWidget(m_duplicates, 1);
    duplicatesRow->addWidget(m_skipDuplicates);
    auto *layout = static_cast<QVBoxLayout *>(this->layout());
    layout->insertLayout(layout->count() - 1, duplicatesRow);

    connect(insert, &QPushButton::clicked, this, &FrmUpdate::CmdInsert_Click);
}

bool FrmUpdate::load()
{
    const platform::FileDialogResult chosen = platform::getOpenFileName(this, QString(), text::PackageFilter);
    if (!chosen.accepted || chosen.fileName.isEmpty())
        return false;
    return load(chosen.fileName);
}

bool FrmUpdate::load(const QString &path)
{
    about::prepareDialog(this);
    m_packagePath = path;

    QStringList titles;
    qint64 duplicates = 0;
    if (!platform::runGuarded(parentWidget(), [&] {
            m_package.emplace(m_packagePath);
            titles = m_package->titles();
            duplicates = previewApply(m_library, *m_package).duplicates;
        })) {
        m_package.reset();
        return false;
    }
    // A Null field leaves its box as it was.
    const PackageHeader &header = m_package->header();
    if (!header.name.isNull())
        m_name->setText(header.name.toString());
    if (!header.date.isNull())
        m_date->setText(header.date.toString());
    if (!header.notes.isNull())
        m_notes->setPlainText(header.notes.toString());
    m_list->clear();
    m_list->addItems(titles);
    m_result->setText(platform::localDigits(text::countLine(text::SearchResult, titles.size(), text::Items)));
    m_duplicates->setText(
        platform::localDigits(QStringLiteral("المكررة (العنوان والكود في المكتبة من قبل): %1").arg(duplicates)));
    return true;
}

void FrmUpdate::CmdInsert_Click()
{
    if (!m_package)
        return;
    int added = 0;
    if (!platform::runGuarded(this, QStringLiteral("تعذر إضافة محتويات ملف التحديث، ولم تتغير قاعدة البيانات:\r\n"),
                              [&] {
                                  const platform::WaitCursor wait;
                                  added = applyPackage(m_library, *m_package, {}, m_skipDuplicates->isChecked());
                              }))
        return;
    try {
        appendCredits(m_library, m_date->text(), m_name->text(), m_notes->toPlainText());
    } catch (const platform::Error &e) {
        platform::plainMessageBox(this,
                                  QStringLiteral("تمت إضافة الأكواد، لكن تعذر تسجيل بيانات ملف التحديث في الملف ")
                                      + creditsPath(m_library) + QStringLiteral(":\r\n") + e.message(),
                                  QGuiApplication::applicationDisplayName());
    }
    m_result->setText(platform::localDigits(text::countLine(text::Added, added, text::ItemsDone)));
}

} // namespace exchange
