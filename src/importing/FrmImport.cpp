#include "importing/FrmImport.h"

#include "about/Effects.h"
#include "platform/Digits.h"
#include "platform/FileDialog.h"
#include "platform/Guarded.h"
#include "platform/WaitCursor.h"
#include "store/Library.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace importing {

using namespace core;

namespace {

// The format box: "found by itself" first, then every format by the name its users know.
const QList<std::pair<const char *, std::optional<Format>>> &formatEntries()
{
    static const QList<std::pair<const char *, std::optional<Format>>> entries = {
        {"تلقائي (حسب الملف)", std::nullopt},
        {"مجلد ملفات", Format::Folder},
        {"VS Code", Format::VsCode},
        {"massCode", Format::MassCode},
        {"SnippetsLab", Format::SnippetsLab},
        {"CherryTree", Format::CherryTree},
    };
    return entries;
}

QTreeWidget *table(QWidget *parent, const char *name, const QStringList &headers)
{
    auto *t = new QTreeWidget(parent);
    t->setObjectName(QLatin1String(name));
    t->setRootIsDecorated(false);
    t->setHeaderLabels(headers);
    t->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    return t;
}

QString number(qint64 n) { return platform::localDigits(QString::number(n)); }

} // namespace

FrmImport::FrmImport(store::Library &library, QWidget *parent)
    : QDialog(parent)
    , m_library(library)
{
    setObjectName(QStringLiteral("FrmImport"));
    setWindowTitle(QStringLiteral("استيراد من برنامج آخر"));
    setModal(true);

    auto *layout = new QVBoxLayout(this);
    auto *top = new QGridLayout;
    top->addWidget(new QLabel(QStringLiteral("المصدر:"), this), 0, 0);
    m_source = new QLineEdit(this);
    m_source->setObjectName(QStringLiteral("TxtSource"));
    m_source->setReadOnly(true);
    top->addWidget(m_source, 0, 1);
    auto *file = new QPushButton(QStringLiteral("ملف..."), this);
    file->setObjectName(QStringLiteral("CmdFile"));
    top->addWidget(file, 0, 2);
    auto *folder = new QPushButton(QStringLiteral("مجلد..."), this);
    folder->setObjectName(QStringLiteral("CmdFolder"));
    top->addWidget(folder, 0, 3);
    top->addWidget(new QLabel(QStringLiteral("الصيغة:"), this), 1, 0);
    m_format = new QComboBox(this);
    m_format->setObjectName(QStringLiteral("CmbFormat"));
    for (const auto &entry : formatEntries())
        m_format->addItem(QString::fromUtf8(entry.first));
    top->addWidget(m_format, 1, 1);
    layout->addLayout(top);

    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("LblSummary"));
    m_summary->setWordWrap(true);
    layout->addWidget(m_summary);
    m_categories = table(this, "LstCategories",
                         {QStringLiteral("الفئة"), QStringLiteral("الحالة"), QStringLiteral("العناصر"),
                          QStringLiteral("المكررة")});
    layout->addWidget(m_categories, 2);
    layout->addWidget(new QLabel(QStringLiteral("العناصر المتروكة:"), this));
    m_skipped = table(this, "LstSkipped", {QStringLiteral("العنصر"), QStringLiteral("السبب")});
    layout->addWidget(m_skipped, 1);

    auto *duplicates = new QGroupBox(QStringLiteral("المكررات"), this);
    duplicates->setObjectName(QStringLiteral("fraDuplicates"));
    auto *choices = new QVBoxLayout(duplicates);
    m_skip = new QRadioButton(QStringLiteral("تجاهل المكررات"), duplicates);
    m_skip->setObjectName(QStringLiteral("optSkip"));
    m_keep = new QRadioButton(QStringLiteral("إبقاء النسختين"), duplicates);
    m_keep->setObjectName(QStringLiteral("optKeep"));
    m_replace = new QRadioButton(QStringLiteral("استبدال نسخة المكتبة"), duplicates);
    m_replace->setObjectName(QStringLiteral("optReplace"));
    m_skip->setChecked(true);
    auto *group = new QButtonGroup(this);
    for (QRadioButton *b : {m_skip, m_keep, m_replace}) {
        group->addButton(b);
        choices->addWidget(b);
    }
    layout->addWidget(duplicates);

    m_result = new QLabel(this);
    m_result->setObjectName(QStringLiteral("LblResult"));
    layout->addWidget(m_result);
    auto *buttons = new QHBoxLayout;
    m_import = new QPushButton(QStringLiteral("استيراد"), this);
    m_import->setObjectName(QStringLiteral("CmdImport"));
    m_import->setEnabled(false);
    auto *cancel = new QPushButton(QStringLiteral("إلغاء"), this);
    cancel->setObjectName(QStringLiteral("CmdCancel"));
    buttons->addStretch();
    buttons->addWidget(m_import);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    resize(640, 520);

    connect(file, &QPushButton::clicked, this, &FrmImport::chooseFile);
    connect(folder, &QPushButton::clicked, this, &FrmImport::chooseFolder);
    connect(m_format, &QComboBox::currentIndexChanged, this, &FrmImport::reload);
    connect(group, &QButtonGroup::buttonClicked, this, &FrmImport::showCounts);
    connect(m_import, &QPushButton::clicked, this, &FrmImport::CmdImport_Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    about::prepareDialog(this);
}

void FrmImport::chooseFile()
{
    const platform::FileDialogResult chosen = platform::getOpenFileName(
        this, QString(), QStringLiteral("ملفات الأكواد|*.json;*.code-snippets;*.db;*.md;*.ctb|كافة الملفات|*"));
    if (chosen.accepted && !chosen.fileName.isEmpty())
        load(chosen.fileName);
}

void FrmImport::chooseFolder()
{
    const platform::FileDialogResult chosen = platform::getExistingFolder(this, QStringLiteral("اختر المجلد"));
    if (chosen.accepted && !chosen.fileName.isEmpty())
        load(chosen.fileName);
}

void FrmImport::reload()
{
    if (!m_path.isEmpty())
        load(m_path);
}

bool FrmImport::load(const QString &path)
{
    m_path = path;
    m_source->setText(QDir::toNativeSeparators(path));
    m_preview.reset();
    m_formatUsed.reset();
    m_result->clear();
    const std::optional<Format> chosen = formatEntries().value(m_format->currentIndex()).second;
    const bool read = platform::runGuarded(this, [&] {
        const platform::WaitCursor wait;
        const std::optional<Format> format = chosen ? chosen : detectFormat(path);
        if (!format)
            throw platform::Error(QStringLiteral("تعذر معرفة البرنامج الذي جاء منه \"%1\": اختر صيغته من القائمة")
                                      .arg(QDir::toNativeSeparators(path)));
        // The counts for the other choices follow from these: the one pass is made with the default.
        m_preview = previewImport(m_library, sourceAt(path, *format), DuplicateChoice::Skip);
        m_formatUsed = format;
    });
    if (!read)
        m_preview.reset();
    showPreview();
    return read;
}

DuplicateChoice FrmImport::choice() const
{
    if (m_keep->isChecked())
        return DuplicateChoice::KeepBoth;
    if (m_replace->isChecked())
        return DuplicateChoice::Replace;
    return DuplicateChoice::Skip;
}

void FrmImport::showPreview()
{
    m_categories->clear();
    m_skipped->clear();
    if (m_preview) {
        for (const CategoryPreview &c : m_preview->categories)
            m_categories->addTopLevelItem(new QTreeWidgetItem(
                {c.name, c.isNew ? QStringLiteral("جديدة") : QStringLiteral("موجودة"), number(c.items),
                 number(c.duplicates)}));
        for (const SkippedItem &s : m_preview->skipped)
            m_skipped->addTopLevelItem(new QTreeWidgetItem({s.origin, s.reason}));
    }
    showCounts();
}

void FrmImport::showCounts()
{
    if (!m_preview) {
        m_summary->clear();
        m_import->setEnabled(false);
        return;
    }
    const ImportPreview &p = *m_preview;
    qint64 add = p.items - p.duplicates, replace = 0;
    if (choice() == DuplicateChoice::KeepBoth)
        add = p.items;
    else if (choice() == DuplicateChoice::Replace)
        replace = p.duplicates;
    QString text = QStringLiteral("الصيغة: %1. العناصر: %2، المكررة منها: %3. ستضاف: %4، ستستبدل: %5، المتروكة: %6")
                       .arg(formatName(*m_formatUsed), number(p.items), number(p.duplicates), number(add),
                            number(replace), number(p.skippedCount));
    if (p.skippedCount > p.skipped.size())
        text += QStringLiteral(" (تُعرض أول %1)").arg(number(p.skipped.size()));
    m_summary->setText(text);
    m_import->setEnabled(add + replace > 0);
}

void FrmImport::CmdImport_Click()
{
    if (!m_preview || !m_formatUsed)
        return;
    ImportResult result;
    if (!platform::runGuarded(this, QStringLiteral("تعذر الاستيراد، ولم تتغير مكتبة الأكواد:\r\n"), [&] {
            const platform::WaitCursor wait;
            result = applyImport(m_library, sourceAt(m_path, *m_formatUsed), choice());
        }))
        return;
    m_result->setText(QStringLiteral("تم استيراد %1 كود، واستبدال %2").arg(number(result.added), number(result.replaced)));
    // The same source again would only find what is in now.
    m_import->setEnabled(false);
}

} // namespace importing
