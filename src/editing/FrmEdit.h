#pragma once
// The edit-snippet dialog: changes the title, category, code and comment of the snippet it was
// opened on, keeping its id and its user flag, and closes itself after saving. Below, the
// snippet's earlier versions ("السجل"): restoring one is an edit that closes the dialog likewise.
#include "editing/SnippetDialog.h"

class QGroupBox;
class QListWidget;

namespace editing {

class FrmEdit final : public SnippetDialog
{
    Q_OBJECT
public:
    FrmEdit(store::Library &library, qint32 snippetId, QWidget *parent = nullptr);

    qint32 EditedSnippetId() const { return m_snippetId; }
    // False when the snippet was not in the library when the dialog loaded.
    bool snippetFound() const { return m_state == Found; }
    QString EditedCategoryId() const { return m_categoryId; }

    // Refuses to open, with a message, when there is no snippet to edit.
    int exec() override;

    QListWidget *lstHistory() const { return m_history; }

protected:
    int preferredEntry(const QList<store::Category> &categories) const override;
    void commit() override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void LoadEditedSnippet();
    // The row as another user left it, in the boxes; what was typed stays in each box's undo.
    void showTheirs(const store::Snippet &theirs);
    void buildHistory();
    void placeHistory();
    void loadHistory();
    void restoreVersion();

    enum State { Found, Missing, Unreadable };
    qint32 m_snippetId;
    QString m_categoryId;
    State m_state = Missing;
    // The row as this dialog last read it: a save writes only over these values.
    store::Snippet m_loaded;
    QGroupBox *m_historyGroup = nullptr;
    QListWidget *m_history = nullptr;
    QPushButton *m_restoreVersion = nullptr;
};

} // namespace editing
