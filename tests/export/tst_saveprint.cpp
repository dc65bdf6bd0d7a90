// Save as and print, driven through the main window's menu items and toolbar buttons.
#include "MainWindowFixture.h"

#include "browser/FrmMain.h"
#include "export/Commands.h"
#include "export/Print.h"
#include "export/core/SnippetExport.h"
#include "export/SaveAs.h"
#include "messages/ArabicMsgBox.h"
#include "platform/PrintDialog.h"
#include "platform/RichTextBox.h"
#include "store/NodeKey.h"

#include <QAction>
#include <QPrintDialog>
#include <QPrinter>
#include <QRadioButton>
#include <QTimer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QTreeView>

#include <csignal>
#include <sys/resource.h>

using browser::FrmMain;
using platform::FileDialogSeam;
using platform::MessageBoxSeam;
using platform::PrintDialogSeam;

namespace {

QString pdfText(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QStringLiteral("<pdftotext failed>");
    return QString::fromUtf8(p.readAllStandardOutput());
}

int pdfPages(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {pdf});
    p.waitForFinished(30000);
    for (const QString &line : QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("Pages:")))
            return line.mid(6).trimmed().toInt();
    return -1;
}

// Whether the first page of the PDF, rendered, has pixels of the keyword colour (navy).
bool pdfHasNavyText(const QString &pdf)
{
    const QString prefix = pdf + QStringLiteral(".page");
    QProcess p;
    p.start(QStringLiteral("pdftoppm"),
            {QStringLiteral("-r"), QStringLiteral("100"), QStringLiteral("-f"), QStringLiteral("1"),
             QStringLiteral("-singlefile"), QStringLiteral("-png"), pdf, prefix});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return false;
    const QImage page(prefix + QStringLiteral(".png"));
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            if (c.blue() > 90 && c.red() < 50 && c.green() < 50)
                return true;
        }
    return false;
}

} // namespace

class TestSavePrint : public QObject, public testing::MainWindowFixture
{
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> out;
    qint32 category = 0;
    qint32 snippet = 0;
    const QString code = QStringLiteral(
        "Dim x As Integer\r\nx = 1 < 2 & 3\r\n' \u0627\u0644\u0639\u0631\u0628\u064a\u0629");

    void openMain() { MainWindowFixture::openMain(exporting::installCommands); }
    void selectSnippet()
    {
        main->selectNode(store::snippetKey(snippet));
        main->ShowSelectedSnippet();
        QCOMPARE(main->selectedKey(), store::snippetKey(snippet));
    }
    void save() { main->command(QStringLiteral("mnusaveas"))->trigger(); }
    void print() { main->command(QStringLiteral("mnuprint"))->trigger(); }
    QString path(const QString &name) const { return out->filePath(name); }

private slots:
    void init()
    {
        openLibrary();
        PrintDialogSeam::clear();
        PrintDialogSeam::enable(true);
        category = lib->addCategory(QStringLiteral("Basics"));
        snippet = lib->addSnippet(QStringLiteral("Declare"), category, code, QStringLiteral("about it"));
        out = std::make_unique<QTemporaryDir>();
        openMain();
    }
    void cleanup()
    {
        closeAll();
        out.reset();
    }

    // ---- save as ----
    void categorySelectedShowsMessageAndWritesNothing()
    {
        main->selectNode(store::categoryKey(category));
        FileDialogSeam::setNextFileName(path(QStringLiteral("x.txt")), 1);
        save();
        QCOMPARE(FileDialogSeam::requests().size(), 0);
        QCOMPARE(MessageBoxSeam::count(), 1);
        const MessageBoxSeam::Record r = MessageBoxSeam::last();
        QCOMPARE(r.prompt, exporting::SelectSnippetFirst);
        QVERIFY(r.prompt.endsWith(QStringLiteral("!") + QString(42, QLatin1Char(' '))));
        QCOMPARE(r.title, messages::ErrorTitle);
        QCOMPARE(r.buttons(), platform::mb::OkOnly);
        QCOMPARE(r.icon(), platform::mb::Critical);
        QVERIFY(r.arabic());
        QVERIFY(QDir(out->path()).isEmpty());
    }

    void nothingSelectedSelectsRootAndShowsMessage()
    {
        main->TVCodeHead()->clearSelection();
        QCOMPARE(main->selectedKey(), QString());
        main->runToolbarKey(QStringLiteral("save"));
        QCOMPARE(main->selectedKey(), store::RootKey);
        QCOMPARE(MessageBoxSeam::count(), 1);
        QCOMPARE(MessageBoxSeam::last().prompt, exporting::SelectSnippetFirst);
        QCOMPARE(FileDialogSeam::requests().size(), 0);
    }

    void plainTextFileEndsWithCrLf()
    {
        selectSnippet();
        const QString file = path(QStringLiteral("code.txt"));
        FileDialogSeam::setNextFileName(file, 1);
        save();
        QCOMPARE(FileDialogSeam::requests().size(), 1);
        const platform::FileDialogRequest request = FileDialogSeam::requests().first();
        QCOMPARE(request.kind, platform::FileDialogRequest::Save);
        QCOMPARE(request.filter, exporting::SaveFilter);
        const QByteArray bytes = testing::readFile(file);
        QCOMPARE(bytes, (code + QStringLiteral("\r\n")).toUtf8());
        QVERIFY(!bytes.startsWith("\xEF\xBB\xBF"));
        QVERIFY(bytes.endsWith("\r\n"));
        QCOMPARE(MessageBoxSeam::count(), 0);
    }

    void webPageIsACompleteDocument()
    {
        selectSnippet();
        const QString file = path(QStringLiteral("code.html"));
        FileDialogSeam::setNextFileName(file, 3);
        save();
        const QByteArray bytes = testing::readFile(file);
        QVERIFY(bytes.startsWith("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">\r\n<HTML>\r\n"));
        QVERIFY(bytes.endsWith("</BODY>\r\n</HTML>\r\n"));
        QVERIFY(bytes.contains("<TITLE>Declare</TITLE>"));
        // The command line's export of the same snippet gives the same bytes.
        QCOMPARE(bytes, exporting::core::exportSnippet(testing::library(), snippet, exporting::core::Field::Code,
                                                       exporting::core::Format::Html));
        // The comment tab saves the comment, right to left.
        main->TS1()->setCurrentIndex(1);
        FileDialogSeam::setNextFileName(file, 3);
        save();
        const QByteArray comment = testing::readFile(file);
        QVERIFY(comment.contains("<DIV DIR=\"rtl\">about it</DIV>"));
        QCOMPARE(comment, exporting::core::exportSnippet(testing::library(), snippet, exporting::core::Field::Learn,
                                                         exporting::core::Format::Html));
    }

    void richTextIsReadBackWhole()
    {
        selectSnippet();
        const QString file = path(QStringLiteral("code.rtf"));
        FileDialogSeam::setNextFileName(file, 2);
        save();
        const QByteArray bytes = testing::readFile(file);
        QCOMPARE(bytes, exporting::core::exportSnippet(testing::library(), snippet, exporting::core::Field::Code,
                                                       exporting::core::Format::Rtf));
        platform::RichTextBox box;
        box.setTextRTF(QString::fromLatin1(bytes));
        QCOMPARE(box.text(), code);
        QTextCursor c(box.document());
        c.setPosition(1);
        QCOMPARE(c.charFormat().foreground().color(), QColor(0, 0, 128)); // Dim
        c.setPosition(5);
        QCOMPARE(c.charFormat().foreground().color(), QColor(Qt::black)); // x
    }

    void pathIsUsedAsTyped()
    {
        selectSnippet();
        FileDialogSeam::setNextFileName(path(QStringLiteral("noextension")), 3);
        save();
        QVERIFY(QFileInfo::exists(path(QStringLiteral("noextension"))));
        QCOMPARE(QDir(out->path()).entryList(QDir::Files), QStringList{QStringLiteral("noextension")});
    }

    void missingFolderReportsPathNotFound_data()
    {
        QTest::addColumn<int>("type");
        QTest::newRow("text") << 1;
        QTest::newRow("web page") << 3;
    }
    void missingFolderReportsPathNotFound()
    {
        QFETCH(int, type);
        selectSnippet();
        FileDialogSeam::setNextFileName(path(QStringLiteral("missing/code.txt")), type);
        save();
        QCOMPARE(MessageBoxSeam::count(), 1);
        const MessageBoxSeam::Record r = MessageBoxSeam::last();
        QCOMPARE(r.prompt, QStringLiteral("Error 76 (Path not found) in procedure SaveTxtFile of Form FrmMain"));
        QVERIFY(!r.arabic());
        QCOMPARE(r.style, platform::mb::OkOnly);
        QCOMPARE(r.title, QGuiApplication::applicationDisplayName());
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("missing"))));
    }

    void failedRtfSaveIsReported()
    {
        selectSnippet();
        FileDialogSeam::setNextFileName(path(QStringLiteral("missing/code.rtf")), 2);
        save();
        QCOMPARE(MessageBoxSeam::count(), 1);
        QCOMPARE(MessageBoxSeam::last().prompt,
                 QStringLiteral("Error 76 (Path not found) in procedure mnusaveas_Click of Form FrmMain"));

        // A write that fails after the file opened is not reported as a missing path.
        struct rlimit saved;
        getrlimit(RLIMIT_FSIZE, &saved);
        struct rlimit tiny = saved;
        tiny.rlim_cur = 16;
        std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &tiny);
        const QString file = path(QStringLiteral("code.rtf"));
        FileDialogSeam::setNextFileName(file, 2);
        save();
        setrlimit(RLIMIT_FSIZE, &saved);
        QCOMPARE(MessageBoxSeam::count(), 2);
        QCOMPARE(MessageBoxSeam::last().prompt,
                 QStringLiteral("Error 57 (Device I/O error) in procedure mnusaveas_Click of Form FrmMain"));
        QVERIFY(!QFileInfo::exists(file));
    }

    void folderAsFileNameIsAnAccessError()
    {
        QVERIFY(!exporting::SaveTxtFile(nullptr, QStringLiteral("x"), out->path()));
        QCOMPARE(MessageBoxSeam::last().prompt,
                 QStringLiteral("Error 75 (Path/File access error) in procedure SaveTxtFile of Form FrmMain"));
    }

    void savingOverAFileReplacesIt()
    {
        const QString file = path(QStringLiteral("old.txt"));
        testing::writeFile(file, QByteArray(1000, 'z'));
        QVERIFY(exporting::SaveTxtFile(nullptr, QStringLiteral("new"), file));
        QCOMPARE(testing::readFile(file), QByteArray("new\r\n"));
    }

    void cancelledDialogWritesNothing()
    {
        selectSnippet();
        FileDialogSeam::setNextCancel();
        save();
        QCOMPARE(FileDialogSeam::requests().size(), 1);
        QVERIFY(QDir(out->path()).isEmpty());
        QCOMPARE(MessageBoxSeam::count(), 0);
    }

    // ---- print ----
    void selectionIsPrintedAlone()
    {
        platform::RichTextBox *view = main->RTxt1();
        view->setText(QStringLiteral("alpha first\r\nbeta second\r\ngamma third"));
        QTextCursor c(view->document());
        c.setPosition(12);
        c.setPosition(23, QTextCursor::KeepAnchor);
        view->setTextCursor(c);
        QCOMPARE(view->selText(), QStringLiteral("beta second"));
        const QString pdf = path(QStringLiteral("selection.pdf"));
        PrintDialogSeam::setNextPdf(pdf);
        print();
        QCOMPARE(PrintDialogSeam::requests().size(), 1);
        QVERIFY(PrintDialogSeam::requests().first().selectionPreset());
        QVERIFY(PrintDialogSeam::requests().first().pageNumbersDisabled());
        const QString text = pdfText(pdf);
        QVERIFY2(text.contains(QStringLiteral("beta second")), qPrintable(text));
        QVERIFY2(!text.contains(QStringLiteral("alpha")) && !text.contains(QStringLiteral("gamma")), qPrintable(text));
        QVERIFY(!pdfHasNavyText(pdf)); // plain text: nothing navy
        QCOMPARE(MessageBoxSeam::count(), 0);
    }

    void wholeContentWithoutSelection()
    {
        selectSnippet();
        const QString pdf = path(QStringLiteral("all.pdf"));
        PrintDialogSeam::setNextPdf(pdf);
        main->runToolbarKey(QStringLiteral("print"));
        QVERIFY(!PrintDialogSeam::requests().first().selectionPreset());
        QVERIFY(PrintDialogSeam::requests().first().pageNumbersDisabled());
        const QString text = pdfText(pdf);
        QVERIFY2(text.contains(QStringLiteral("Dim x As Integer")) && text.contains(QStringLiteral("x = 1 < 2 & 3")),
                 qPrintable(text));
        QCOMPARE(pdfPages(pdf), 1);
        QVERIFY(pdfHasNavyText(pdf)); // printed with the view's colours
    }

    void allChosenInTheDialogPrintsEverything()
    {
        platform::RichTextBox *view = main->RTxt1();
        view->setText(QStringLiteral("alpha\r\nbeta"));
        QTextCursor c(view->document());
        c.setPosition(0);
        c.setPosition(5, QTextCursor::KeepAnchor);
        view->setTextCursor(c);
        const QString pdf = path(QStringLiteral("all.pdf"));
        PrintDialogSeam::setNextPdf(pdf, false);
        print();
        const QString text = pdfText(pdf);
        QVERIFY2(text.contains(QStringLiteral("alpha")) && text.contains(QStringLiteral("beta")), qPrintable(text));
    }

    void noPrinterShowsMessage()
    {
        selectSnippet();
        PrintDialogSeam::setNextNoPrinter();
        print();
        QCOMPARE(MessageBoxSeam::count(), 1);
        const MessageBoxSeam::Record r = MessageBoxSeam::last();
        QCOMPARE(r.prompt, exporting::NoPrinterMessage);
        QVERIFY(r.prompt.startsWith(QString::fromUtf8("\xd9\x84\xd8\xa7 ")));
        QCOMPARE(r.title, messages::ErrorTitle);
        QCOMPARE(r.buttons(), platform::mb::OkOnly);
        QCOMPARE(r.icon(), platform::mb::Critical);
        QVERIFY(r.arabic());
    }

    void cancelledPrintPrintsNothing()
    {
        selectSnippet();
        PrintDialogSeam::setNextCancel();
        print();
        QCOMPARE(PrintDialogSeam::requests().size(), 1);
        QVERIFY(QDir(out->path()).isEmpty());
        QCOMPARE(MessageBoxSeam::count(), 0);
    }

    void realDialogPresetsSelectionWithoutPageNumbers()
    {
        PrintDialogSeam::enable(false);
        bool selectionChecked = false, selectionShown = false, pageRangeShown = true, seen = false;
        QTimer::singleShot(0, [&] {
            auto *dialog = qobject_cast<QPrintDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            seen = true;
            if (auto *b = dialog->findChild<QRadioButton *>(QStringLiteral("printSelection"))) {
                selectionChecked = b->isChecked();
                selectionShown = !b->isHidden() && b->isEnabled();
            }
            if (auto *b = dialog->findChild<QRadioButton *>(QStringLiteral("printRange")))
                pageRangeShown = !b->isHidden() && b->isEnabled();
            dialog->reject();
        });
        QPrinter printer;
        const auto result = platform::showPrintDialog(
            main.get(), &printer, platform::pd::ReturnDc | platform::pd::NoPageNums | platform::pd::Selection);
        PrintDialogSeam::enable(true);
        QVERIFY(seen);
        QCOMPARE(result, platform::PrintDialogResult::Cancelled);
        QVERIFY(selectionShown);
        QVERIFY(selectionChecked);
        QVERIFY(!pageRangeShown);
    }

    void refusedPrintIsReported()
    {
        selectSnippet();
        PrintDialogSeam::setNextPdf(path(QStringLiteral("missing/out.pdf")));
        print();
        QCOMPARE(MessageBoxSeam::count(), 1);
        QCOMPARE(MessageBoxSeam::last().title, messages::ErrorTitle);
    }
};

TAMRISK_TEST_MAIN(TestSavePrint)
#include "tst_saveprint.moc"
