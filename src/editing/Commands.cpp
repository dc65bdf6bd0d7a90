#include "editing/Commands.h"

#include "about/Effects.h"
#include "browser/Commands.h"
#include "browser/FrmMain.h"
#include "editing/FrmAdd.h"
#include "editing/FrmEdit.h"
#include "editing/FrmTrash.h"
#include "editing/SnippetInput.h"
#include "editing/Texts.h"
#include "messages/ArabicMsgBox.h"
#include "platform/Guarded.h"
#include "platform/MessageBox.h"
#include "store/NodeKey.h"

#include <QTabBar>
#include <QTreeView>

namespace editing {

using platform::runGuarded;

void installCommands(browser::FrmMain &main)
{
    main.onCommand(browser::cmd::Add, addCommand);
    main.onCommand(browser::cmd::edit, editCommand);
    main.onCommand(browser::cmd::del, deleteCommand);
    main.onCommand(browser::cmd::mnuTrash, trashCommand);
}

void addCommand(browser::FrmMain &main)
{
    // The tree shows only its root while the dialog is open; a fresh dialog each time.
    main.rebuildTree([&main] {
        FrmAdd dialog(main.library(), &main);
        dialog.exec();
    });
    about::RepaintControl(main.TS1());
    main.updateCount();
}

void editCommand(browser::FrmMain &main)
{
    const QString key = main.selectedKey();
    const auto refuse = [&main] { messages::showError(&main, text::SelectSnippetToEdit + messages::spaces(30)); };
    if (key.isEmpty() || store::nodeKind(key) != store::NodeKind::Snippet) {
        refuse();
        return;
    }
    const qint32 id = store::nodeId(key);
    if (id == 0) {
        refuse();
        return;
    }
    main.rebuildTree([&main, id] {
        FrmEdit dialog(main.library(), id, &main);
        dialog.exec();
    });
    // The edited snippet, under its possibly new category; nothing when it is gone.
    if (main.node(key).isValid())
        main.selectNode(key);
    else
        main.TVCodeHead()->clearSelection();
    about::RepaintControl(main.TS1());
}

namespace {

// The row is deleted first; the node goes only when the row did (a node whose row is gone stays).
void deleteNode(browser::FrmMain &main, const QString &key, const QString &failure,
                const std::function<bool()> &deleteRow)
{
    bool deleted = false;
    if (!runGuarded(&main, failure, [&] { deleted = deleteRow(); }) || !deleted)
        return;
    main.removeNode(key);
    main.ShowSelectedSnippet();
    main.updateCount();
}

} // namespace

void deleteCommand(browser::FrmMain &main)
{
    const QString key = main.selectedKey();
    if (key.isEmpty()) {
        main.selectNode(store::RootKey);
        return;
    }
    const qint32 id = store::nodeId(key);
    switch (store::nodeKind(key)) {
    case store::NodeKind::Snippet:
        if (messages::confirm(&main, text::ConfirmDeleteSnippet + messages::spaces(30)))
            deleteNode(main, key, text::DeleteSnippetFailed, [&main, id] { return main.library().deleteSnippet(id); });
        break;
    case store::NodeKind::Category:
        if (messages::confirm(&main, text::ConfirmDeleteCategory))
            deleteNode(main, key, text::DeleteCategoryFailed,
                       [&main, id] { return main.library().deleteCategory(id); });
        break;
    case store::NodeKind::Root:
        break;
    }
}

void trashCommand(browser::FrmMain &main)
{
    FrmTrash dialog(main.library(), &main);
    dialog.exec();
    if (!dialog.restoredAny())
        return;
    main.rebuildTree();
    main.updateCount();
}

} // namespace editing
