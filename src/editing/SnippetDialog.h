#pragma once
// The twin dialogs that write a snippet (FrmAdd, FrmEdit): the same controls, the same category
// tools, file loading, edit pop-up and change handling. The twins differ in their captions,
// fonts, which category the list selects after a refill, and what the main button writes.
#include <QDialog>
#include <QList>

#include "store/Library.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QAction;

namespace platform {
class RichTextBox;
}

namespace editing {

class SnippetDialog : public QDialog
{
    Q_OBJECT
public:
    QLineEdit *TxtCodeHead() const { return m_title; }
    QComboBox *CmbGroub() const { return m_categories; }
    QLineEdit *TxtAddGroub() const { return m_newCategory; }
    QPushButton *CmdAdd() const { return m_add; }
    platform::RichTextBox *RTxtCode() const { return m_code; }
    platform::RichTextBox *RTxtLearn() const { return m_learn; }
    QComboBox *cmbLanguage() const { return m_language; }
    // The language the snippet is written with: the box's name, Visual Basic when it is empty;
    // a known alias typed in becomes its name, a name from elsewhere left as it was shown stays.
    QString language() const;
    // Whether the user picked or typed a language: suggestions then leave the box alone.
    bool languageChosen() const { return m_languageChosen; }
    // Which box the edit pop-up was last opened over.
    bool PopupForCode() const { return m_popupForCode; }
    // The frame every group of these dialogs has, caption on its top line.
    static void styleGroup(QGroupBox *box);

protected:
    enum class Mode { Add, Edit };
    SnippetDialog(Mode mode, store::Library &library, QWidget *parent);

    store::Library &m_library;

    // Refills the category list from the table and selects preferredEntry().
    void LoadCategoryList();
    virtual int preferredEntry(const QList<store::Category> &categories) const = 0;
    // The main button: writes the snippet.
    virtual void commit() = 0;
    // The category the list's selected entry stands for, read again from the table; empty
    // (with the user told why) when it cannot be had.
    std::optional<qint32> selectedCategoryId();
    // Room below the designed layout, for a twin's own controls (twips); the code and comment
    // still take whatever the window is made larger by.
    void reserveBottom(int twips);
    int reservedBottom() const { return m_reservedBottom; }
    // Empties the code and comment boxes of text and formatting.
    void clearCodeAndComment();
    // Shows name in the language box, not as the user's choice.
    void showLanguage(const QString &name);
    // The code box changed (typed, pasted, loaded); fileName when it came from a file.
    virtual void codeReplaced(const QString &fileName) { Q_UNUSED(fileName); }
    // Tells whether the code box is being filled by the program itself (no suggestion for it).
    bool fillingCode() const { return m_fillingCode; }
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void build(Mode mode);
    void addCategory();
    void deleteCategory();
    void renameCategory();
    void loadFromFile();
    void showEditPopup(bool forCode, const QPoint &globalPos);
    platform::RichTextBox *popupBox() const;
    void copySelection();
    void cutSelection();
    void pasteClipboard();
    void updateCategoryCommands();

    QLineEdit *m_title = nullptr;
    QComboBox *m_categories = nullptr;
    QLineEdit *m_newCategory = nullptr;
    QPushButton *m_add = nullptr;
    QPushButton *m_cancel = nullptr;
    QPushButton *m_addCategory = nullptr;
    QPushButton *m_deleteCategory = nullptr;
    QPushButton *m_renameCategory = nullptr;
    QPushButton *m_file = nullptr;
    static constexpr int DesignedWidth = 10425, DesignedHeight = 5640; // client area, twips
    QGroupBox *m_codeGroup = nullptr;
    QLabel *m_languageLabel = nullptr;
    QComboBox *m_language = nullptr;
    QString m_shownLanguage; // as the program last put it in the box
    bool m_languageChosen = false;
    bool m_fillingCode = false;
    QGroupBox *m_learnGroup = nullptr;
    platform::RichTextBox *m_code = nullptr;
    platform::RichTextBox *m_learn = nullptr;
    QMenu *m_popup = nullptr;
    QAction *m_copy = nullptr;
    QAction *m_cut = nullptr;
    QAction *m_paste = nullptr;
    bool m_popupForCode = false;
    int m_reservedBottom = 0;
};

} // namespace editing
