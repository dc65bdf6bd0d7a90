#pragma once
// The import dialog: a file or folder of another program's snippets, what taking it in would do,
// the one choice about duplicates, and the import itself.
#include "importing/core/Apply.h"

#include <QDialog>

#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;

namespace importing {

class FrmImport : public QDialog
{
    Q_OBJECT
public:
    explicit FrmImport(store::Library &library, QWidget *parent = nullptr);

    // Previews the source at path (a file or a folder) as the format box says. False when it could
    // not be read (the user has been told).
    bool load(const QString &path);

private:
    void chooseFile();
    void chooseFolder();
    void reload();
    void showPreview();
    void showCounts();
    core::DuplicateChoice choice() const;
    void CmdImport_Click();

    store::Library &m_library;
    QLineEdit *m_source;
    QComboBox *m_format;
    QLabel *m_summary;
    QTreeWidget *m_categories;
    QTreeWidget *m_skipped;
    QRadioButton *m_skip, *m_keep, *m_replace;
    QLabel *m_result;
    QPushButton *m_import;
    QString m_path;
    std::optional<core::Format> m_formatUsed;
    std::optional<core::ImportPreview> m_preview;
};

} // namespace importing
