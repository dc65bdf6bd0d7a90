#include "exchange/FrmCreateUpdate.h"

#include "about/Effects.h"
#include "exchange/HeaderBoxes.h"
#include "exchange/core/Package.h"
#include "exchange/Texts.h"
#include "messages/ArabicMsgBox.h"
#include "platform/FileDialog.h"
#include "platform/Guarded.h"
#include "platform/MessageBox.h"
#include "platform/WaitCursor.h"
#include "store/Library.h"
#include "store/LibraryConnection.h"

#include <QDate>
#include <QFileInfo>
#include <QCursor>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include "platform/Digits.h"

#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace exchange {

namespace {

QChar localeDateSeparator()
{
    const QString format = QLocale::system().dateFormat(QLocale::ShortFormat);
    for (const QChar c : format)
        if (!c.isLetter() && c.category() != QChar::Other_Format && !c.isSpace() && c != QLatin1Char('\''))
            return c;
    return QLatin1Char('/');
}

} // namespace

QString FrmCreateUpdate::todayText()
{
    const QDate today = QDate::currentDate();
    const QChar sep = localeDateSeparator();
    auto pad = [](int n, int width) { return QString::number(n).rightJustified(width, QLatin1Char('0')); };
    return platform::localDigits(pad(today.year(), 4) + sep + pad(today.month(), 2) + sep + pad(today.day(), 2));
}

FrmCreateUpdate::FrmCreateUpdate(store::Library &library, QWidget *parent)
    : QDialog(parent)
    , m_library(library)
{
    setObjectName(QStringLiteral("FrmCreateUpdate"));
    setWindowTitle(text::CreatorCaption);
    setModal(true);

    const PackageDialogParts parts = buildPackageDialog(this, false, text::UserCodeListLabel, "Label3", "Label1",
                                                        text::CreateButton, "CmdCreate");
    m_name = parts.header.name;
    m_date = parts.header.date;
    m_notes = parts.header.notes;
    m_list = parts.list;
    m_result = parts.result;
    m_create = parts.action;
    m_create->setDefault(true);
    m_create->setAutoDefault(true);
    findChild<QPushButton *>(QStringLiteral("CmdCancel"))->setAutoDefault(false);

    connect(m_create, &QPushButton::clicked, this, &FrmCreateUpdate::CmdCreate_Click);

    about::prepareDialog(this);
    m_date->setText(todayText());
    FillPackageList();
    m_create->setEnabled(m_list->count() > 0);
}

void FrmCreateUpdate::FillPackageList()
{
    UserSnippets snippets;
    platform::runGuarded(this, QStringLiteral("تعذر قراءة أكواد المستخدم: "),
                         [&] { snippets = listUserSnippets(m_library); });
    m_list->clear();
    m_list->addItems(snippets.titles);
    m_result->setText(platform::localDigits(text::countLine(text::SearchResult, snippets.titles.size(), text::Items)));
}

QString FrmCreateUpdate::choosePackagePath()
{
    for (;;) {
        const platform::FileDialogResult chosen = platform::getSaveFileName(this, QString(), text::PackageFilter);
        if (!chosen.accepted || chosen.fileName.isEmpty())
            return {};
        QString path = chosen.fileName;
        // A name typed without an extension gets the package's one.
        if (QFileInfo(path).suffix().isEmpty())
            path += QStringLiteral(".cup");
        if (!QFileInfo::exists(path))
            return path;
        const int answer = messages::ArabicMsgBox(this, text::OverwritePrompt, text::WarningTitle, platform::mb::YesNo,
                                                  platform::mb::Question);
        if (answer != platform::mb::No)
            return path;
    }
}

void FrmCreateUpdate::CmdCreate_Click()
{
    const QString path = choosePackagePath();
    if (path.isEmpty())
        return;
    m_packagePath = path;

    QStringList titles;
    if (!platform::runGuarded(this, QStringLiteral("تعذر إنشاء ملف التحديث:\r\n"), [&] {
            const platform::WaitCursor wait;
            titles = createPackage(m_library, path, m_name->text(), m_date->text(), m_notes->toPlainText());
        }))
        return;
    m_list->clear();
    m_list->addItems(titles);
    m_result->setText(platform::localDigits(text::countLine(text::Created, titles.size(), text::ItemsDone)));

    const int answer = messages::ArabicMsgBox(this, text::MergePrompt, text::InquiryTitle, platform::mb::YesNo,
                                              platform::mb::Question);
    if (answer == platform::mb::Yes)
        platform::runGuarded(this, QStringLiteral("تعذر دمج كود المستخدم: "), [this] { m_library.clearUserMarks(); });
}

} // namespace exchange
