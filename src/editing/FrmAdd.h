#pragma once
// The add-snippet dialog: writes new snippets, any number of them, into the selected category.
// Its language box follows a loaded file's extension, and the code's own look while the user has
// not picked a language: a suggestion, never put over the user's choice.
#include "editing/SnippetDialog.h"

class QTimer;

namespace editing {

class FrmAdd final : public SnippetDialog
{
    Q_OBJECT
public:
    explicit FrmAdd(store::Library &library, QWidget *parent = nullptr);

protected:
    int preferredEntry(const QList<store::Category> &categories) const override;
    void commit() override;
    void codeReplaced(const QString &fileName) override;

private:
    void suggestLanguage();

    QTimer *m_suggest = nullptr;
    bool m_languageFromFile = false;
};

} // namespace editing
