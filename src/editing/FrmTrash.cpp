#include "editing/FrmTrash.h"

#include "about/Effects.h"
#include "editing/Texts.h"
#include "messages/ArabicMsgBox.h"
#include "platform/Guarded.h"
#include "store/Library.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace editing {

using platform::runGuarded;

namespace {

QPushButton *button(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAccessibleName(caption);
    return b;
}

} // namespace

FrmTrash::FrmTrash(store::Library &library, QWidget *parent)
    : QDialog(parent)
    , m_library(library)
{
    setObjectName(QStringLiteral("frmTrash"));
    setWindowTitle(text::TrashCaption);
    setLayoutDirection(Qt::RightToLeft);
    resize(720, 420);

    auto *layout = new QVBoxLayout(this);
    auto *label = new QLabel(text::TrashNote, this);
    label->setObjectName(QStringLiteral("lblTrash"));
    label->setWordWrap(true);
    layout->addWidget(label);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("lstTrash"));
    m_list->setAccessibleName(text::TrashCaption);
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setHeaderLabels({text::TrashTitleColumn, text::TrashCategoryColumn, text::TrashTimeColumn});
    m_list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    label->setBuddy(m_list);
    layout->addWidget(m_list, 1);

    auto *buttons = new QHBoxLayout;
    m_restore = button(this, "CmdRestore", text::RestoreButton);
    m_delete = button(this, "CmdDeleteForever", text::DeleteForeverButton);
    m_empty = button(this, "CmdEmptyTrash", text::EmptyTrashButton);
    QPushButton *close = button(this, "CmdClose", text::CloseButton);
    for (QPushButton *b : {m_restore, m_delete, m_empty})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    m_restore->setDefault(true);

    connect(m_restore, &QPushButton::clicked, this, &FrmTrash::restoreSelected);
    connect(m_delete, &QPushButton::clicked, this, &FrmTrash::deleteSelected);
    connect(m_empty, &QPushButton::clicked, this, &FrmTrash::emptyTrash);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &FrmTrash::updateButtons);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &FrmTrash::restoreSelected);

    about::prepareDialog(this);
    reload();
}

void FrmTrash::reload()
{
    QList<store::TrashItem> items;
    runGuarded(this, text::ReadTrashFailed, [&] { items = m_library.trashItems(); });
    m_list->clear();
    for (const store::TrashItem &item : items) {
        auto *row = new QTreeWidgetItem(m_list);
        row->setText(0, item.head.toString());
        row->setText(1, item.caption.isNull() ? store::UncategorisedCaption : item.caption.toString());
        row->setText(2, QLocale().toString(item.deleted.toLocalTime(), QStringLiteral("yyyy/MM/dd hh:mm")));
        row->setData(0, Qt::UserRole, item.trashId);
        // Titles read as written, whatever their direction.
        row->setToolTip(0, item.head.toString());
    }
    if (m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0));
    updateButtons();
}

void FrmTrash::updateButtons()
{
    const bool writable = !m_library.isReadOnly();
    const bool any = m_list->topLevelItemCount() > 0;
    const bool selected = !m_list->selectedItems().isEmpty();
    m_restore->setEnabled(writable && selected);
    m_delete->setEnabled(writable && selected);
    m_empty->setEnabled(writable && any);
    const QString why = writable ? QString() : store::readOnlyLibraryMessage(m_library.engine());
    for (QPushButton *b : {m_restore, m_delete, m_empty})
        b->setToolTip(why);
}

QList<qint64> FrmTrash::selectedItems() const
{
    QList<qint64> ids;
    for (QTreeWidgetItem *item : m_list->selectedItems())
        ids.append(item->data(0, Qt::UserRole).toLongLong());
    return ids;
}

void FrmTrash::restoreSelected()
{
    const QList<qint64> ids = selectedItems();
    if (ids.isEmpty() || m_library.isReadOnly())
        return;
    // All of them or none.
    if (runGuarded(this, text::RestoreFailed, [&] {
            m_library.transaction([&] {
                for (qint64 id : ids)
                    m_library.restoreFromTrash(id);
            });
        }))
        m_restored = true;
    reload();
}

void FrmTrash::deleteSelected()
{
    const QList<qint64> ids = selectedItems();
    if (ids.isEmpty() || !messages::confirm(this, text::ConfirmDeleteForever))
        return;
    runGuarded(this, text::DeleteForeverFailed, [&] {
        m_library.transaction([&] {
            for (qint64 id : ids)
                m_library.deleteFromTrash(id);
        });
    });
    reload();
}

void FrmTrash::emptyTrash()
{
    if (m_list->topLevelItemCount() == 0 || !messages::confirm(this, text::ConfirmEmptyTrash))
        return;
    runGuarded(this, text::DeleteForeverFailed, [&] { m_library.emptyTrash(); });
    reload();
}

} // namespace editing
