#include "editing/FrmEdit.h"

#include "editing/SnippetInput.h"
#include "editing/Texts.h"
#include "messages/ArabicMsgBox.h"
#include "platform/RichTextBox.h"
#include "platform/Text.h"

#include <QLineEdit>

namespace editing {

FrmEdit::FrmEdit(qint32 snippetId, QWidget *parent)
    : SnippetDialog(Mode::Edit, parent)
    , m_snippetId(snippetId)
{
    LoadEditedSnippet();
    LoadCategoryList();
}

void FrmEdit::LoadEditedSnippet()
{
    std::optional<store::Snippet> row;
    if (!guardStore(parentWidget(), text::ReadSnippetFailed, [&] { row = store::Library::snippet(m_snippetId); })) {
        m_state = Unreadable;
        return;
    }
    if (!row)
        return;
    m_state = Found;
    if (!row->head.isNull())
        TxtCodeHead()->setText(row->head.toString());
    if (!row->code.isNull())
        RTxtCode()->setTextRTF(row->code.toString());
    if (!row->learn.isNull())
        RTxtLearn()->setTextRTF(row->learn.toString());
    if (!row->groub.isNull())
        m_categoryId = row->groub.toString();
}

int FrmEdit::preferredEntry(const QList<store::Category> &categories) const
{
    // The stored category, after every refill; the first entry when it is gone.
    return std::max(entryOfCategory(categories, m_categoryId), 0);
}

int FrmEdit::exec()
{
    if (m_state == Missing)
        messages::showError(parentWidget(), text::SnippetMissing);
    if (m_state != Found)
        return QDialog::Rejected;
    return SnippetDialog::exec();
}

void FrmEdit::commit()
{
    if (platform::trimmedSpaces(TxtCodeHead()->text()).isEmpty()) {
        messages::showError(this, text::NoTitleToSave);
        return;
    }
    const std::optional<qint32> category = selectedCategoryId();
    if (!category)
        return;
    store::Snippet row = snippetFromInput(TxtCodeHead()->text(), *category, RTxtCode()->text(), RTxtLearn()->text());
    row.id = m_snippetId;
    bool saved = false;
    if (!guardStore(this, text::SaveSnippetFailed, [&] { saved = store::Library::updateSnippet(row); }))
        return;
    if (!saved) {
        // Deleted meanwhile (e.g. with its category in this very dialog): nothing to write to.
        messages::showError(this, text::EditedSnippetGone);
        return;
    }
    accept();
}

} // namespace editing
