#include "editing/SnippetDialog.h"

#include "about/Effects.h"
#include "editing/SnippetInput.h"
#include "editing/Texts.h"
#include "languages/Language.h"
#include "messages/ArabicMsgBox.h"
#include "platform/FileDialog.h"
#include "platform/Guarded.h"
#include "platform/MessageBox.h"
#include "platform/RichTextBox.h"
#include "platform/Text.h"
#include "platform/Twips.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextOption>

namespace editing {

using platform::runGuarded;

namespace {

// A captioned control at its designed place, named for tests and screen readers.
template <class Widget>
Widget *placed(QWidget *parent, const char *name, const QString &caption, const QRect &geometry)
{
    auto *w = new Widget(caption, parent);
    w->setObjectName(QLatin1String(name));
    w->setAccessibleName(caption);
    w->setGeometry(geometry);
    return w;
}

QGroupBox *group(QWidget *parent, const char *name, const QString &caption, const QRect &g)
{
    auto *box = placed<QGroupBox>(parent, name, caption, g);
    SnippetDialog::styleGroup(box);
    return box;
}
QPushButton *button(QWidget *parent, const char *name, const QString &caption, const QRect &g)
{
    return placed<QPushButton>(parent, name, caption, g);
}
QLabel *label(QWidget *parent, const char *name, const QString &caption, const QRect &g)
{
    return placed<QLabel>(parent, name, caption, g);
}

using platform::twipsRect;

// The code group's first line holds the language at its right end, read as the window reads: the
// label, then the box to its left. The code box fills the rest of the group.
QRect languageLabelRect() { return twipsRect(6120, 270, 735, 255); }
QRect languageBoxRect() { return twipsRect(3525, 240, 2535, 315); }
QRect codeBoxRect() { return twipsRect(120, 645, 6735, 1890); }

// Comments are Arabic prose: right-aligned paragraphs, also for text typed or loaded later.
void alignRight(platform::RichTextBox *box)
{
    QTextOption option = box->document()->defaultTextOption();
    option.setAlignment(Qt::AlignRight | Qt::AlignAbsolute);
    box->document()->setDefaultTextOption(option);
    box->setAlignment(Qt::AlignRight | Qt::AlignAbsolute);
}

} // namespace

SnippetDialog::SnippetDialog(Mode mode, store::Library &library, QWidget *parent)
    : QDialog(parent)
    , m_library(library)
{
    build(mode);
}

void SnippetDialog::build(Mode mode)
{
    const bool adding = mode == Mode::Add;
    setObjectName(adding ? QStringLiteral("FrmAdd") : QStringLiteral("FrmEdit"));
    setWindowTitle(adding ? text::AddCaption : text::EditCaption);
    setLayoutDirection(Qt::RightToLeft);
    // Opens at its designed size; a larger window gives the extra room to the code and comment.
    setMinimumSize(platform::twipsSize(DesignedWidth, DesignedHeight));
    resize(minimumSize());

    QGroupBox *titleGroup = group(this, "fraTitle", text::TitleGroup, twipsRect(120, 120, 3135, 855));
    m_title = new QLineEdit(titleGroup);
    m_title->setObjectName(QStringLiteral("TxtCodeHead"));
    m_title->setAccessibleName(text::TitleGroup);
    m_title->setMaxLength(MaxTitleLength);
    m_title->setGeometry(twipsRect(120, 360, 2775, 315));

    QGroupBox *categoryGroup = group(this, "fraGroub", text::CategoryGroup, twipsRect(120, 1080, 3135, 2895));
    QLabel *categoriesLabel = label(categoryGroup, "Label1", text::ExistingCategories, twipsRect(360, 240, 2655, 255));
    m_categories = new QComboBox(categoryGroup);
    categoriesLabel->setBuddy(m_categories); // screen readers name the list by its label
    m_categories->setObjectName(QStringLiteral("CmbGroub"));
    m_categories->setAccessibleName(text::ExistingCategories);
    m_categories->setGeometry(twipsRect(120, 480, 2535, 315));
    m_categories->setPlaceholderText(text::NoCategoriesYet);
    m_deleteCategory = button(categoryGroup, "CmdDelGroub", text::DeleteButton, twipsRect(120, 840, 1215, 495));
    QLabel *newCategoryLabel = label(categoryGroup, "Label2", text::NewCategory, twipsRect(840, 1440, 2175, 255));
    m_newCategory = new QLineEdit(categoryGroup);
    newCategoryLabel->setBuddy(m_newCategory);
    m_newCategory->setObjectName(QStringLiteral("TxtAddGroub"));
    m_newCategory->setMaxLength(MaxCategoryLength);
    m_newCategory->setAccessibleName(text::NewCategory);
    m_newCategory->setGeometry(twipsRect(120, 1680, 2775, 315));
    m_addCategory = button(categoryGroup, "CmdAddGroub",
                           adding ? text::AddCategoryButtonAdd : text::AddCategoryButtonEdit,
                           twipsRect(120, 2160, 1215, 495));
    m_renameCategory = button(categoryGroup, "CmdRename", text::RenameButton, twipsRect(1560, 2160, 1215, 495));

    QGroupBox *fileGroup = group(this, "fraFile", text::FromFileGroup, twipsRect(120, 4080, 3135, 855));
    m_file = button(fileGroup, "CmdFile", text::BrowseButton, twipsRect(120, 240, 1215, 495));

    m_cancel = button(this, "CmdCancel", text::CloseButton, twipsRect(120, 5040, 1215, 495));
    m_add = button(this, "CmdAdd", adding ? text::AddCodeButton : text::EditCodeButton,
                   twipsRect(1560, 5040, 1215, 495));
    m_add->setDefault(true);

    QGroupBox *codeGroup = group(this, "fraCode", text::CodeGroup, twipsRect(3360, 120, 6975, 2655));
    m_codeGroup = codeGroup;
    // The language heads the code it belongs to: label, then the box, on the group's first line.
    m_languageLabel = label(codeGroup, "lblLanguage", text::LanguageLabel, languageLabelRect());
    m_language = new QComboBox(codeGroup);
    m_languageLabel->setBuddy(m_language);
    m_language->setObjectName(QStringLiteral("cmbLanguage"));
    m_language->setAccessibleName(text::LanguageLabel);
    m_language->setEditable(true);
    m_language->setInsertPolicy(QComboBox::NoInsert);
    m_language->addItems(languages::knownNames());
    m_language->setGeometry(languageBoxRect());
    // Names are Latin: they read left to right in the box, which keeps its place in the line.
    m_language->lineEdit()->setLayoutDirection(Qt::LeftToRight);
    m_language->lineEdit()->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_languageLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    showLanguage(languages::VisualBasic);
    m_code = new platform::RichTextBox(codeGroup);
    m_code->setObjectName(QStringLiteral("RTxtCode"));
    m_code->setAccessibleName(text::CodeGroup);
    m_code->setGeometry(codeBoxRect());
    // Source code reads left to right whatever the window's direction, line by line.
    m_code->setLeftToRightLines();

    QGroupBox *learnGroup = group(this, "fraLearn", text::CommentGroup, twipsRect(3360, 2880, 6975, 2655));
    m_learnGroup = learnGroup;
    m_learn = new platform::RichTextBox(learnGroup);
    m_learn->setObjectName(QStringLiteral("RTxtLearn"));
    m_learn->setAccessibleName(text::CommentGroup);
    m_learn->setGeometry(twipsRect(120, 240, 6735, 2295));

    m_popup = new QMenu(this);
    m_popup->setObjectName(QStringLiteral("mnuedit"));
    m_copy = m_popup->addAction(text::CopyItem);
    m_copy->setObjectName(QStringLiteral("mnucopy"));
    m_copy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    m_cut = m_popup->addAction(text::CutItem);
    m_cut->setObjectName(QStringLiteral("mnucut"));
    m_cut->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
    m_paste = m_popup->addAction(text::PasteItem);
    m_paste->setObjectName(QStringLiteral("mnupast"));
    if (adding)
        m_paste->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    // The boxes keep their own keyboard copy, cut and paste; the items' keys act only in the open pop-up.
    for (QAction *a : {m_copy, m_cut, m_paste})
        a->setShortcutContext(Qt::WidgetShortcut);

    // The load step: tool window centred by its client size, flat buttons, fonts, comment
    // alignment, no wrapping of code lines. The category list is filled by each twin.
    about::prepareDialog(this);
    if (adding) {
        m_code->setFontNameSize(QStringLiteral("Courier New (Arabic)"), 10);
        m_learn->setFontNameSize(QStringLiteral("Courier New (Arabic)"), 10);
    } else {
        m_code->setFontNameSize(QStringLiteral("Courier New"), 9.75);
        m_learn->setFontNameSize(QStringLiteral("Courier New"), 9.75);
    }
    alignRight(m_learn);
    m_code->setNoWrap();
    // Tab is typed into the boxes, as code needs it; Ctrl+Tab leaves them, as in any text editor.
    m_code->installEventFilter(this);
    m_learn->installEventFilter(this);

    connect(m_add, &QPushButton::clicked, this, [this] { commit(); });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_addCategory, &QPushButton::clicked, this, &SnippetDialog::addCategory);
    connect(m_deleteCategory, &QPushButton::clicked, this, &SnippetDialog::deleteCategory);
    connect(m_renameCategory, &QPushButton::clicked, this, &SnippetDialog::renameCategory);
    connect(m_file, &QPushButton::clicked, this, &SnippetDialog::loadFromFile);
    connect(m_copy, &QAction::triggered, this, &SnippetDialog::copySelection);
    connect(m_cut, &QAction::triggered, this, &SnippetDialog::cutSelection);
    connect(m_paste, &QAction::triggered, this, &SnippetDialog::pasteClipboard);
    connect(m_code, &platform::RichTextBox::mouseReleased, this, [this](Qt::MouseButton b, const QPoint &pos) {
        if (b == Qt::RightButton)
            showEditPopup(true, pos);
    });
    connect(m_learn, &platform::RichTextBox::mouseReleased, this, [this](Qt::MouseButton b, const QPoint &pos) {
        if (b == Qt::RightButton)
            showEditPopup(false, pos);
    });
    connect(m_code, &QTextEdit::textChanged, this, [this] {
        about::RepaintControl(m_code->viewport());
        if (!m_fillingCode)
            codeReplaced(QString());
    });
    // Only the user's own acts: the program's setCurrentText emits neither.
    connect(m_language, &QComboBox::activated, this, [this] { m_languageChosen = true; });
    connect(m_language->lineEdit(), &QLineEdit::textEdited, this, [this] { m_languageChosen = true; });
    connect(m_learn, &QTextEdit::textChanged, this, [this] { about::RepaintControl(m_learn->viewport()); });
}

bool SnippetDialog::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == m_code || watched == m_learn) && event->type() == QEvent::KeyPress) {
        const auto *ke = static_cast<QKeyEvent *>(event);
        if (ke->modifiers() & Qt::ControlModifier) {
            if (ke->key() == Qt::Key_Tab && !(ke->modifiers() & Qt::ShiftModifier)) {
                focusNextPrevChild(true);
                return true;
            }
            if (ke->key() == Qt::Key_Backtab || ke->key() == Qt::Key_Tab) {
                focusNextPrevChild(false);
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void SnippetDialog::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    if (!m_codeGroup || !m_learnGroup || !m_code || !m_learn || !m_language)
        return;
    // The left column keeps its designed places; the code and comment share what is added.
    const int dx = std::max(0, width() - platform::toPixelsX(DesignedWidth));
    const int dy = std::max(0, height() - platform::toPixelsY(DesignedHeight + m_reservedBottom));
    const QRect code = twipsRect(3360, 120, 6975, 2655);
    const QRect learn = twipsRect(3360, 2880, 6975, 2655);
    const QRect box = twipsRect(120, 240, 6735, 2295);
    const int codeDy = dy / 2;
    m_codeGroup->setGeometry(code.adjusted(0, 0, dx, codeDy));
    m_learnGroup->setGeometry(learn.adjusted(0, codeDy, dx, dy));
    m_code->setGeometry(codeBoxRect().adjusted(0, 0, dx, codeDy));
    m_languageLabel->setGeometry(languageLabelRect().translated(dx, 0));
    m_language->setGeometry(languageBoxRect().translated(dx, 0));
    m_learn->setGeometry(box.adjusted(0, 0, dx, dy - codeDy));
}

QString SnippetDialog::language() const
{
    const QString typed = m_language->currentText().trimmed();
    if (typed.isEmpty())
        return languages::VisualBasic;
    // A name that came from the library is written back exactly, known or not.
    if (typed == m_shownLanguage)
        return typed;
    return languages::canonical(typed);
}

void SnippetDialog::showLanguage(const QString &name)
{
    m_shownLanguage = name.isEmpty() ? languages::VisualBasic : name;
    m_language->setCurrentText(m_shownLanguage);
}

void SnippetDialog::styleGroup(QGroupBox *box)
{
    // The designed places assume the caption sits on the frame's top line; styles that put it above
    // the line would run the frame through the first control.
    box->setStyleSheet(QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: 2px;"
                                      " margin-top: 0.5em; }"
                                      "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
                                      " left: 8px; padding: 0 3px; }"));
}

void SnippetDialog::reserveBottom(int twips)
{
    m_reservedBottom = twips;
    setMinimumSize(platform::twipsSize(DesignedWidth, DesignedHeight + twips));
    resize(minimumSize());
    about::centreByClientSize(this);
}

void SnippetDialog::clearCodeAndComment()
{
    m_fillingCode = true;
    m_code->setTextRTF(QString());
    m_fillingCode = false;
    m_learn->setTextRTF(QString());
    // Clearing drops the paragraph format; what is typed next is still a right-aligned comment.
    alignRight(m_learn);
}

void SnippetDialog::LoadCategoryList()
{
    QList<store::Category> categories;
    const bool read = runGuarded(this, text::ReadCategoriesFailed, [&] { categories = m_library.categories(); });
    m_categories->clear();
    if (read) {
        m_categories->addItems(categoryEntries(categories));
        if (!categories.isEmpty())
            m_categories->setCurrentIndex(std::max(preferredEntry(categories), 0));
    }
    updateCategoryCommands();
}

void SnippetDialog::updateCategoryCommands()
{
    // Nothing can be filed, deleted or renamed without a category; the list's placeholder says why.
    const bool any = m_categories->count() > 0;
    m_add->setEnabled(any);
    m_deleteCategory->setEnabled(any);
    m_renameCategory->setEnabled(any);
    const QString why = any ? QString() : text::NoCategoriesYet;
    m_add->setToolTip(why);
    m_categories->setToolTip(why);
}

std::optional<qint32> SnippetDialog::selectedCategoryId()
{
    QList<store::Category> categories;
    if (!runGuarded(this, text::ReadCategoriesFailed, [&] { categories = m_library.categories(); }))
        return std::nullopt;
    const std::optional<store::Category> category = categoryAt(categories, m_categories->currentIndex());
    if (!category) {
        messages::showError(this, text::SelectedCategoryGone);
        LoadCategoryList();
        return std::nullopt;
    }
    return category->id;
}

void SnippetDialog::addCategory()
{
    const QString name = platform::trimmedSpaces(m_newCategory->text());
    if (name.isEmpty()) {
        messages::showError(this, text::NoCategoryName + messages::spaces(30));
        return;
    }
    if (!runGuarded(this, text::AddCategoryFailed, [&] { m_library.addCategory(name); }))
        return;
    LoadCategoryList();
    m_newCategory->clear();
}

void SnippetDialog::deleteCategory()
{
    if (!messages::confirm(this, text::ConfirmDeleteCategory))
        return;
    const std::optional<qint32> id = selectedCategoryId();
    if (!id)
        return;
    if (!runGuarded(this, text::DeleteCategoryFailed, [&] { m_library.deleteCategory(*id); }))
        return;
    LoadCategoryList();
}

void SnippetDialog::renameCategory()
{
    const QString name = platform::trimmedSpaces(m_newCategory->text());
    if (name.isEmpty()) {
        messages::showError(this, text::NoCategoryName + messages::spaces(30));
        return;
    }
    if (messages::ArabicMsgBox(this, text::ConfirmRenameCategory + messages::spaces(30), messages::ConfirmTitle,
                               platform::mb::YesNo, platform::mb::Question)
        == platform::mb::No)
        return;
    // By position, like the delete and the add: two categories may share a name.
    const std::optional<qint32> id = selectedCategoryId();
    if (!id)
        return;
    if (!runGuarded(this, text::RenameCategoryFailed, [&] { m_library.renameCategory(*id, name); }))
        return;
    LoadCategoryList();
    m_newCategory->clear();
}

void SnippetDialog::loadFromFile()
{
    const platform::FileDialogResult chosen = platform::getOpenFileName(this, text::OpenTitle, text::OpenFilter, 1);
    if (!chosen.accepted || chosen.fileName.isEmpty())
        return;
    m_fillingCode = true;
    const bool loaded = runGuarded(this, text::LoadFileFailed, [&] { m_code->loadFile(chosen.fileName); });
    m_fillingCode = false;
    if (loaded)
        codeReplaced(chosen.fileName);
}

void SnippetDialog::showEditPopup(bool forCode, const QPoint &globalPos)
{
    platform::RichTextBox *box = forCode ? m_code : m_learn;
    const bool selected = box->selLength() > 0;
    m_copy->setEnabled(selected);
    m_cut->setEnabled(selected);
    m_paste->setEnabled(!QApplication::clipboard()->text().isEmpty());
    m_popupForCode = forCode;
    m_popup->exec(globalPos);
}

platform::RichTextBox *SnippetDialog::popupBox() const { return m_popupForCode ? m_code : m_learn; }

void SnippetDialog::copySelection()
{
    QClipboard *clipboard = QApplication::clipboard();
    clipboard->clear();
    QString selected = popupBox()->selText();
    selected.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    clipboard->setText(selected);
}

void SnippetDialog::cutSelection()
{
    copySelection();
    popupBox()->setSelText(QString());
}

void SnippetDialog::pasteClipboard() { popupBox()->setSelText(QApplication::clipboard()->text()); }

} // namespace editing
