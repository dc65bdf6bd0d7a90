// The file menu's import command, through its dialog, with the file dialog and message boxes
// answered by the seams.
#include "MainWindowFixture.h"

#include "browser/FrmMain.h"
#include "importing/Commands.h"
#include "importing/FrmImport.h"
#include "store/Backup.h"
#include "store/Library.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

using platform::FileDialogSeam;
using platform::MessageBoxSeam;
using testing::control;
using testing::OnModal;

class TestImportWindow : public QObject, public testing::MainWindowFixture
{
    Q_OBJECT
private slots:
    void init() { openLibrary(); }
    void cleanup() { closeAll(); }

    void theCommandPreviewsThenImportsOnce()
    {
        const QDir dir(lib->dir());
        QVERIFY(dir.mkpath(QStringLiteral("src/ويب")));
        testing::writeFile(dir.filePath(QStringLiteral("src/ويب/رابط.html")), QStringLiteral("<a>رابط</a>").toUtf8());
        testing::writeFile(dir.filePath(QStringLiteral("src/ويب/Link.html")), "<a>link</a>\n");
        testing::writeFile(dir.filePath(QStringLiteral("src/ويب/blank.txt")), "   ");
        const QString source = dir.filePath(QStringLiteral("src"));
        openMain(importing::installCommands);
        const QAction *command = main->command(QStringLiteral("mnuImport"));
        QCOMPARE(command->text(), QStringLiteral("استيراد من برنامج آخر..."));

        QStringList categories, skippedReasons;
        QString summary, result;
        bool skipByDefault = false;
        OnModal onModal([&](QDialog *dialog) {
            QVERIFY(qobject_cast<importing::FrmImport *>(dialog));
            QCOMPARE(dialog->windowTitle(), QStringLiteral("استيراد من برنامج آخر"));
            FileDialogSeam::setNextFileName(source);
            control<QPushButton>(dialog, "CmdFolder")->click();
            auto *list = control<QTreeWidget>(dialog, "LstCategories");
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                categories.append(list->topLevelItem(i)->text(0) + '|' + list->topLevelItem(i)->text(1) + '|'
                                  + list->topLevelItem(i)->text(2));
            auto *skipped = control<QTreeWidget>(dialog, "LstSkipped");
            for (int i = 0; i < skipped->topLevelItemCount(); ++i)
                skippedReasons.append(skipped->topLevelItem(i)->text(1));
            skipByDefault = control<QRadioButton>(dialog, "optSkip")->isChecked();
            summary = control<QLabel>(dialog, "LblSummary")->text();
            control<QPushButton>(dialog, "CmdImport")->click();
            result = control<QLabel>(dialog, "LblResult")->text();
            control<QPushButton>(dialog, "CmdCancel")->click();
        });
        main->command(QStringLiteral("mnuImport"))->trigger();
        QVERIFY(onModal.seen());
        QCOMPARE(FileDialogSeam::requests().size(), 1);
        QCOMPARE(FileDialogSeam::requests()[0].kind, platform::FileDialogRequest::Folder);
        QCOMPARE(categories, QStringList{QStringLiteral("ويب|جديدة|2")});
        QCOMPARE(skippedReasons, QStringList{QStringLiteral("لا كود فيه")});
        QVERIFY(skipByDefault);
        QVERIFY2(summary.contains(QStringLiteral("ستضاف: 2")), qPrintable(summary));
        QCOMPARE(result, QStringLiteral("تم استيراد 2 كود، واستبدال 0"));
        QCOMPARE(MessageBoxSeam::count(), 0);
        QCOMPARE(testing::library().snippetCount(), 2);
        QCOMPARE(testing::categoryNames(), QStringList{QStringLiteral("ويب")});
        for (const store::Snippet &s : testing::library().allSnippets())
            QVERIFY(store::isTrue(s.user));
        if (!testing::onPostgres())
            QCOMPARE(store::backupsOf(lib->path()).size(), 1);

        // The same folder again: two duplicates, nothing to import.
        bool importEnabled = true;
        OnModal again([&](QDialog *dialog) {
            FileDialogSeam::setNextFileName(source);
            control<QPushButton>(dialog, "CmdFolder")->click();
            importEnabled = control<QPushButton>(dialog, "CmdImport")->isEnabled();
            control<QRadioButton>(dialog, "optKeep")->click();
            const bool enabledToKeepBoth = control<QPushButton>(dialog, "CmdImport")->isEnabled();
            QVERIFY(enabledToKeepBoth);
            control<QPushButton>(dialog, "CmdCancel")->click();
        });
        main->command(QStringLiteral("mnuImport"))->trigger();
        QVERIFY(again.seen());
        QVERIFY(!importEnabled);
        QCOMPARE(testing::library().snippetCount(), 2);
    }

    void aMalformedSourceIsToldAndChangesNothing()
    {
        const QString bad = QDir(lib->dir()).filePath(QStringLiteral("bad.code-snippets"));
        testing::writeFile(bad, "{ \"For\": { \"body\": [\"for\" ");
        openMain(importing::installCommands);
        bool importEnabled = true;
        OnModal onModal([&](QDialog *dialog) {
            FileDialogSeam::setNextFileName(bad);
            control<QPushButton>(dialog, "CmdFile")->click();
            importEnabled = control<QPushButton>(dialog, "CmdImport")->isEnabled();
            control<QPushButton>(dialog, "CmdCancel")->click();
        });
        main->command(QStringLiteral("mnuImport"))->trigger();
        QVERIFY(onModal.seen());
        QCOMPARE(MessageBoxSeam::count(), 1);
        QVERIFY2(MessageBoxSeam::requests()[0].prompt.contains(QStringLiteral("bad.code-snippets")),
                 qPrintable(MessageBoxSeam::requests()[0].prompt));
        QVERIFY(!importEnabled);
        QCOMPARE(testing::library().snippetCount(), 0);
    }
};

TAMRISK_TEST_MAIN(TestImportWindow)
#include "tst_importwindow.moc"
