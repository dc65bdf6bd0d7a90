#include "editing/FrmEdit.h"

#include "editing/SnippetInput.h"
#include "editing/Texts.h"
#include "messages/ArabicMsgBox.h"
#include "platform/Guarded.h"
#include "platform/MessageBox.h"
#include "platform/RichTextBox.h"
#include "platform/Text.h"
#include "platform/Twips.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTextCursor>
#include <QTextDocument>

namespace editing {

using platform::runGuarded;

FrmEdit::FrmEdit(store::Library &library, qint32 snippetId, QWidget *parent)
    : SnippetDialog(Mode::Edit, library, parent)
    , m_snippetId(snippetId)
{
    buildHistory();
    LoadEditedSnippet();
    LoadCategoryList();
    loadHistory();
}

namespace {

// Equal as the store compares them (Null differs from an empty text), so exactly one of the
// update and this dialog keeps the version an edit replaces.
bool sameText(const QVariant &a, const QVariant &b)
{
    return a.isNull() == b.isNull() && a.toString() == b.toString();
}

bool sameTexts(const store::Snippet &a, const store::Snippet &b)
{
    return sameText(a.head, b.head) && sameText(a.code, b.code) && sameText(a.learn, b.learn);
}

constexpr int HistoryHeight = 1800; // twips, below the designed layout
}

void FrmEdit::buildHistory()
{
    m_historyGroup = new QGroupBox(text::HistoryGroup, this);
    m_historyGroup->setObjectName(QStringLiteral("fraHistory"));
    styleGroup(m_historyGroup);
    auto *layout = new QHBoxLayout(m_historyGroup);
    m_history = new QListWidget(m_historyGroup);
    m_history->setObjectName(QStringLiteral("lstHistory"));
    m_history->setAccessibleName(text::HistoryGroup);
    m_restoreVersion = new QPushButton(text::RestoreVersionButton, m_historyGroup);
    m_restoreVersion->setObjectName(QStringLiteral("CmdRestoreVersion"));
    m_restoreVersion->setAccessibleName(text::RestoreVersionButton);
    m_restoreVersion->setFlat(true);
    layout->addWidget(m_history, 1);
    layout->addWidget(m_restoreVersion, 0, Qt::AlignTop);
    connect(m_restoreVersion, &QPushButton::clicked, this, &FrmEdit::restoreVersion);
    connect(m_history, &QListWidget::itemDoubleClicked, this, &FrmEdit::restoreVersion);
    connect(m_history, &QListWidget::currentRowChanged, this,
            [this](int row) { m_restoreVersion->setEnabled(row >= 0 && !m_library.isReadOnly()); });
    reserveBottom(HistoryHeight);
    placeHistory();
}

void FrmEdit::resizeEvent(QResizeEvent *event)
{
    SnippetDialog::resizeEvent(event);
    placeHistory();
}

void FrmEdit::placeHistory()
{
    if (!m_historyGroup)
        return;
    const int top = height() - platform::toPixelsY(HistoryHeight);
    m_historyGroup->setGeometry(platform::toPixelsX(120), top, width() - platform::toPixelsX(240),
                                platform::toPixelsY(HistoryHeight - 120));
}

void FrmEdit::loadHistory()
{
    m_history->clear();
    m_restoreVersion->setEnabled(false);
    if (m_state != Found)
        return;
    QList<store::SnippetVersion> versions;
    if (!runGuarded(parentWidget(), text::ReadHistoryFailed, [&] { versions = m_library.snippetHistory(m_snippetId); }))
        return;
    for (const store::SnippetVersion &v : versions) {
        const QString when = QLocale().toString(v.replaced.toLocalTime(), QStringLiteral("yyyy/MM/dd hh:mm:ss"));
        QString title = v.head.toString();
        title.replace(QLatin1Char('\n'), QLatin1Char(' '));
        auto *item = new QListWidgetItem(when + QStringLiteral("  ") + title, m_history);
        item->setData(Qt::UserRole, v.versionId);
        item->setToolTip(v.code.toString().left(1000));
    }
}

void FrmEdit::restoreVersion()
{
    QListWidgetItem *item = m_history->currentItem();
    if (!item || m_library.isReadOnly() || !messages::confirm(this, text::ConfirmRestoreVersion))
        return;
    using Result = store::Library::CheckedUpdate;
    Result result = Result::Gone;
    if (!runGuarded(this, text::RestoreVersionFailed,
                    [&] { result = m_library.restoreVersion(item->data(Qt::UserRole).toLongLong(), &m_loaded); }))
        return;
    if (result == Result::Updated)
        accept();
    else
        messages::showError(this, result == Result::ChangedElsewhere ? text::VersionChangedElsewhere
                                                                     : text::EditedSnippetGone);
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
                    // A change of language alone is an edit too: the update keeps no version for
                    // it, so the one it replaces is kept here.
                    const bool languageAlone = sameTexts(m_loaded, row)
                                               && m_library.snippetLanguage(m_snippetId) != name;
                    result = m_library.updateSnippetIfUnchanged(m_loaded, row);
                    if (result != Result::Updated)
                        return;
                    if (languageAlone)
                        m_library.keepVersion(m_snippetId);
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
