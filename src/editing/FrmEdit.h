#pragma once
// The edit-snippet dialog: changes the title, category, code and comment of the snippet it was
// opened on, keeping its id and its user flag, and closes itself after saving.
#include "editing/SnippetDialog.h"

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

protected:
    int preferredEntry(const QList<store::Category> &categories) const override;
    void commit() override;

private:
    void LoadEditedSnippet();
    // The row as another user left it, in the boxes; what was typed stays in each box's undo.
    void showTheirs(const store::Snippet &theirs);

    enum State { Found, Missing, Unreadable };
    qint32 m_snippetId;
    QString m_categoryId;
    State m_state = Missing;
    // The row as this dialog last read it: a save writes only over these values.
    store::Snippet m_loaded;
};

} // namespace editing
