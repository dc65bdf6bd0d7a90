#include "editing/FrmAdd.h"

#include "editing/SnippetInput.h"
#include "editing/Texts.h"
#include "languages/Language.h"
#include "messages/ArabicMsgBox.h"
#include "platform/Guarded.h"
#include "platform/RichTextBox.h"
#include "platform/Text.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QTimer>

namespace editing {

using platform::runGuarded;

FrmAdd::FrmAdd(store::Library &library, QWidget *parent)
    : SnippetDialog(Mode::Add, library, parent)
    , m_suggest(new QTimer(this))
{
    LoadCategoryList();
    // Guessed once typing pauses, not at every key.
    m_suggest->setObjectName(QStringLiteral("tmrSuggest"));
    m_suggest->setSingleShot(true);
    m_suggest->setInterval(250);
    connect(m_suggest, &QTimer::timeout, this, &FrmAdd::suggestLanguage);
}

void FrmAdd::codeReplaced(const QString &fileName)
{
    if (!fileName.isEmpty()) {
        // Loading a file is the user's own act, and its extension says what it holds.
        const QString fromFile = languages::fromExtension(QFileInfo(fileName).suffix());
        if (!fromFile.isEmpty()) {
            m_suggest->stop();
            m_languageFromFile = true;
            showLanguage(fromFile);
            return;
        }
    }
    if (!languageChosen() && !m_languageFromFile)
        m_suggest->start();
}

void FrmAdd::suggestLanguage()
{
    if (languageChosen() || m_languageFromFile)
        return;
    const QString suggested = languages::guess(RTxtCode()->text());
    if (!suggested.isEmpty())
        showLanguage(suggested);
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
    const QString name = language();
    if (!runGuarded(this, text::AddSnippetFailed, [&] {
            m_library.transaction([&] { m_library.setSnippetLanguage(m_library.addSnippet(row), name); });
        }))
        return;
    // The language stays too; the next file or paste may suggest another, unless the user chose it.
    m_languageFromFile = false;
    // The category and the new-category name stay, for the next snippet of the same kind.
    TxtCodeHead()->clear();
    clearCodeAndComment();
}

} // namespace editing
