#include "exchange/UserMarks.h"

#include "browser/FrmMain.h"
#include "messages/ArabicMsgBox.h"
#include "store/Library.h"
#include "store/LibraryConnection.h"
#include "store/NodeKey.h"

#include <QAction>

namespace exchange {

namespace {

const QString kMergeAllQuestion = QStringLiteral("سيتم دمج جميع الأكود الخاصة بك في قاعدة البيانات. هل تريد الاستمرار؟");
const QString kMarkFailed = QStringLiteral("تعذر جعل الكود الحالي كود مستخدم: ");
const QString kMergeFailed = QStringLiteral("تعذر دمج الكود الحالي: ");
const QString kMergeAllFailed = QStringLiteral("تعذر دمج أكواد المستخدم، ولم يتغير شيء: ");

} // namespace

bool markSelectedSnippet(browser::FrmMain &main, bool user)
{
    const QString key = main.selectedKey();
    if (store::nodeKind(key) != store::NodeKind::Snippet)
        return false;
    QTreeWidgetItem *item = main.node(key);
    if (!item)
        return false;
    try {
        // The colour follows only a flag that was really written.
        if (!store::Library::setUserFlag(store::nodeId(key), user))
            return false;
    } catch (const store::StoreError &error) {
        messages::showError(&main, (user ? kMarkFailed : kMergeFailed) + error.message());
        return false;
    }
    browser::FrmMain::setUserNode(item, user);
    return true;
}

void mergeAllUserSnippets(browser::FrmMain &main)
{
    if (!messages::confirm(&main, kMergeAllQuestion))
        return;
    QString failure;
    main.rebuildTree([&failure] {
        try {
            store::Library::clearUserMarks();
        } catch (const store::StoreError &error) {
            failure = error.message(); // one transaction: no flag was cleared
        }
    });
    if (!failure.isEmpty())
        messages::showError(&main, kMergeAllFailed + failure);
}

void installUserMarkCommands(browser::FrmMain &main)
{
    browser::FrmMain *window = &main;
    if (QAction *mark = main.command(QStringLiteral("CurMrkUsr")))
        QObject::connect(mark, &QAction::triggered, window, [window] { markSelectedSnippet(*window, true); });
    if (QAction *merge = main.command(QStringLiteral("CurUsrCodRmv")))
        QObject::connect(merge, &QAction::triggered, window, [window] { markSelectedSnippet(*window, false); });
    if (QAction *mergeAll = main.command(QStringLiteral("UsrUn")))
        QObject::connect(mergeAll, &QAction::triggered, window, [window] { mergeAllUserSnippets(*window); });
}

} // namespace exchange
