#pragma once
// The package reader: shows a package's header and titles and adds its snippets to the library.
#include "exchange/core/Package.h"

#include <QDialog>

#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace exchange {

class FrmUpdate : public QDialog
{
    Q_OBJECT
public:
    // Applies packages to library.
    explicit FrmUpdate(store::Library &library, QWidget *parent = nullptr);

    // Asks for the package and previews it. False when the user cancelled or the file is not a
    // valid package (the user has been told): the dialog is then not to be shown.
    bool load();
    // Previews the package at path, as load() does once the user chose it.
    bool load(const QString &path);

    QString PackagePath() const { return m_packagePath; }

private:
    void CmdInsert_Click();

    store::Library &m_library;

    QLineEdit *m_name;
    QLineEdit *m_date;
    QPlainTextEdit *m_notes;
    QListWidget *m_list;
    QLabel *m_result;
    QLabel *m_duplicates;
    QCheckBox *m_skipDuplicates; // off unless the user asks: the add stays what it always was
    QString m_packagePath;
    std::optional<PackageFile> m_package; // open from load() until the dialog goes
};

} // namespace exchange
