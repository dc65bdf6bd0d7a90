#pragma once
// The package creator: lists the user snippets and writes them, with a header, into a new
// update package; then offers to merge them into the library.
#include <QDialog>

namespace store {
class Library;
}

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace exchange {

class FrmCreateUpdate : public QDialog
{
    Q_OBJECT
public:
    // Packages the user snippets of library.
    explicit FrmCreateUpdate(store::Library &library, QWidget *parent = nullptr);

    QString PackagePath() const { return m_packagePath; }

    // The proposed date: year, month and day joined by the locale's date separator.
    static QString todayText();

private:
    store::Library &m_library;

    void FillPackageList();
    void CmdCreate_Click();
    // Asks for the file until a choice stands; empty when the user cancelled.
    QString choosePackagePath();

    QLineEdit *m_name;
    QLineEdit *m_date;
    QPlainTextEdit *m_notes;
    QListWidget *m_list;
    QLabel *m_result;
    QPushButton *m_create;
    QString m_packagePath;
};

} // namespace exchange
