#include "editing/FrmAdd.h"

#include "editing/SnippetInput.h"
#include "editing/Texts.h"
#include "messages/ArabicMsgBox.h"
#include "platform/Guarded.h"
#include "platform/RichTextBox.h"
#include "platform/Text.h"

#include <QComboBox>
#include <QLineEdit>

namespace editing {

using platform::runGuarded;

FrmAdd::FrmAdd(store::Library &library, QWidget *parent)
    : SnippetDialog(Mode::Add, library, parent)
{
    LoadCategoryList();
}

int FrmAdd::preferredEntry(const QList<store::Category> &) const { return 0; }

void FrmAdd::commit()
{
    if (platform::trimmedSpaces(TxtCodeHead()->text()).isEmpty()) {
        messages::showError(this, text::NoTitleToAdd);
        return;
    }
    const std::optional<qint32> category = selectedCategoryId();
    if (!category)
        return;
    const store::Snippet row = snippetFromInput(TxtCodeHead()->text(), *category, RTxtCode()->text(),
                                                RTxtLearn()->text());
    if (!runGuarded(this, text::AddSnippetFailed, [&] { m_library.addSnippet(row); }))
        return;
    // The category and the new-category name stay, for the next snippet of the same kind.
    TxtCodeHead()->clear();
    clearCodeAndComment();
}

} // namespace editing
