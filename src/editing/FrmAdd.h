#pragma once
// The add-snippet dialog: writes new snippets, any number of them, into the selected category.
#include "editing/SnippetDialog.h"

namespace editing {

class FrmAdd final : public SnippetDialog
{
    Q_OBJECT
public:
    explicit FrmAdd(store::Library &library, QWidget *parent = nullptr);

protected:
    int preferredEntry(const QList<store::Category> &categories) const override;
    void commit() override;
};

} // namespace editing
