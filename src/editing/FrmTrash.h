#pragma once
// The trash window: the snippets deleted lately, newest first, to restore under their category
// or to delete for good.
#include <QDialog>

class QPushButton;
class QTreeWidget;

namespace store {
class Library;
}

namespace editing {

class FrmTrash final : public QDialog
{
    Q_OBJECT
public:
    explicit FrmTrash(store::Library &library, QWidget *parent = nullptr);

    QTreeWidget *lstTrash() const { return m_list; }
    // Whether anything went back into the library, so the tree must be read again.
    bool restoredAny() const { return m_restored; }

private:
    void reload();
    QList<qint64> selectedItems() const;
    void restoreSelected();
    void deleteSelected();
    void emptyTrash();
    void updateButtons();

    store::Library &m_library;
    QTreeWidget *m_list = nullptr;
    QPushButton *m_restore = nullptr;
    QPushButton *m_delete = nullptr;
    QPushButton *m_empty = nullptr;
    bool m_restored = false;
};

} // namespace editing
