#include "editing/FrmEdit.h"

#include "editing/SnippetInput.h"
#include "editing/Texts.h"
#include "messages/ArabicMsgBox.h"
#include "platform/Guarded.h"
#include "platform/MessageBox.h"
#include "platform/RichTextBox.h"
#include "platform/Text.h"

#include <QLineEdit>
#include <QTextCursor>
#include <QTextDocument>

namespace editing {

using platform::runGuarded;

FrmEdit::FrmEdit(store::Library &library, qint32 snippetId, QWidget *parent)
    : SnippetDialog(Mode::Edit, library, parent)
    , m_snippetId(snippetId)
{
    LoadEditedSnippet();
    LoadCategoryList();
}

void FrmEdit::LoadEditedSnippet()
{
    std::optional<store::Snippet> row;
    if (!runGuarded(parentWidget(), text::ReadSnippetFailed, [&] { row = m_library.snippet(m_snippetId); })) {
        m_state = Unreadable;
        return;
    }
    if (!row)
        return;
    m_state = Found;
    m_loaded = *row;
    if (!row->head.isNull())
        TxtCodeHead()->setText(row->head.toString());
    if (!row->code.isNull())
        RTxtCode()->setTextRTF(row->code.toString());
    if (!row->learn.isNull())
        RTxtLearn()->setTextRTF(row->learn.toString());
    if (!row->groub.isNull())
        m_categoryId = row->groub.toString();
    // Shown as stored and never changed for the user: a name this program does not know stays.
    runGuarded(parentWidget(), text::ReadSnippetFailed, [&] { showLanguage(m_library.snippetLanguage(m_snippetId)); });
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

void FrmEdit::showTheirs(const store::Snippet &theirs)
{
    // Replaced through the edit commands, not set, so Ctrl+Z in a box brings back what was typed.
    const auto plain = [](const QVariant &v) {
        QString text = v.isNull() ? QString() : v.toString();
        return text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    };
    TxtCodeHead()->selectAll();
    TxtCodeHead()->insert(theirs.head.isNull() ? QString() : theirs.head.toString());
    for (auto [box, value] : {std::pair{RTxtCode(), theirs.code}, std::pair{RTxtLearn(), theirs.learn}}) {
        QTextCursor all(box->document());
        all.select(QTextCursor::Document);
        all.insertText(plain(value));
    }
    m_categoryId = theirs.groub.isNull() ? QString() : theirs.groub.toString();
    LoadCategoryList();
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
    const QString name = language();
    using Result = store::Library::CheckedUpdate;
    for (;;) {
        Result result = Result::Gone;
        if (!runGuarded(this, text::SaveSnippetFailed, [&] {
                // The language is written with the fields, or not at all.
                m_library.transaction([&] {
                    result = m_library.updateSnippetIfUnchanged(m_loaded, row);
                    if (result == Result::Updated)
                        m_library.setSnippetLanguage(m_snippetId, name);
                });
            }))
            return;
        std::optional<store::Snippet> theirs;
        if (result == Result::ChangedElsewhere
            && !runGuarded(this, text::ReadSnippetFailed, [&] { theirs = m_library.snippet(m_snippetId); }))
            return;
        if (result == Result::Updated) {
            accept();
            return;
        }
        if (!theirs) {
            // Deleted meanwhile, here (with its category) or by someone else: nothing to write to.
            // The dialog keeps the text for the user to copy.
            messages::showError(this, text::EditedSnippetGone);
            return;
        }
        const int style = platform::mb::YesNoCancel + platform::mb::Question + platform::mb::RtlReading
                          + platform::mb::Right + platform::mb::DefaultButton3;
        const int answer = platform::showMessageBox(this, text::ChangedElsewhere, text::QuestionTitle, style,
                                                    {{platform::mb::Yes, text::KeepMine},
                                                     {platform::mb::No, text::TakeTheirs},
                                                     {platform::mb::Cancel, text::CancelSave}});
        if (answer == platform::mb::Yes) {
            m_loaded = *theirs; // over what is there now; asked again if it changes once more
            continue;
        }
        if (answer == platform::mb::No) {
            m_loaded = *theirs;
            showTheirs(*theirs);
        }
        return;
    }
}

} // namespace editing
