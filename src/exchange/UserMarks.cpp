#include "exchange/UserMarks.h"

#include "browser/Commands.h"
#include "browser/FrmMain.h"
#include "messages/ArabicMsgBox.h"
#include "platform/Guarded.h"
#include "store/Library.h"
#include "store/NodeKey.h"

namespace exchange {

namespace {

const QString kMergeAllQuestion = QStringLiteral(
    "سيتم دمج جميع الأكود الخاصة بك في قاعدة البيانات. هل تريد الاستمرار؟");
const QString kMarkFailed = QStringLiteral("تعذر جعل الكود الحالي كود مستخدم: ");
const QString kMergeFailed = QStringLiteral("تعذر دمج الكود الحالي: ");
const QString kMergeAllFailed = QStringLiteral("تعذر دمج أكواد المستخدم، ولم يتغير شيء: ");

} // namespace

bool markSelectedSnippet(browser::FrmMain &main, bool user)
{
    const QString key = main.selectedKey();
    if (store::nodeKind(key) != store::NodeKind::Snippet)
        return false;
    if (!main.node(key).isValid())
        return false;
    // The colour follows only a flag that was really written.
    bool written = false;
    if (!platform::runGuarded(&main, user ? kMarkFailed : kMergeFailed,
                              [&] { written = main.library().setUserFlag(store::nodeId(key), user); })
        || !written)
        return false;
    main.setUserNode(key, user);
    return true;
}

void mergeAllUserSnippets(browser::FrmMain &main)
{
    if (!messages::confirm(&main, kMergeAllQuestion))
        return;
    QString failure;
    main.rebuildTree([&main, &failure] {
        try {
            main.library().clearUserMarks();
        } catch (const store::StoreError &error) {
            failure = error.message(); // one transaction: no flag was cleared
        }
    });
    if (!failure.isEmpty())
        messages::showError(&main, kMergeAllFailed + failure);
}

void installUserMarkCommands(browser::FrmMain &main)
{
    main.onCommand(browser::cmd::CurMrkUsr, [](browser::FrmMain &m) { markSelectedSnippet(m, true); });
    main.onCommand(browser::cmd::CurUsrCodRmv, [](browser::FrmMain &m) { markSelectedSnippet(m, false); });
    main.onCommand(browser::cmd::UsrUn, mergeAllUserSnippets);
}

} // namespace exchange
