#include "TestSupport.h"

#include "PackageFiles.h"
#include "exchange/FrmCreateUpdate.h"
#include "exchange/FrmUpdate.h"
#include "exchange/Package.h"
#include "store/Library.h"

#include <QCheckBox>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>

using platform::FileDialogSeam;
using platform::MessageBoxSeam;
using testing::null;

namespace {

template <typename T>
T *child(QWidget *w, const char *name)
{
    T *c = w->findChild<T *>(QString::fromLatin1(name));
    if (!c)
        qFatal("no control %s", name);
    return c;
}

QStringList items(QWidget *w)
{
    QStringList result;
    auto *list = child<QListWidget>(w, "LstFind");
    for (int i = 0; i < list->count(); ++i)
        result << list->item(i)->text();
    return result;
}

QString labelText(QWidget *w, const char *name) { return child<QLabel>(w, name)->text(); }

QMap<int, QString> headerLabels(QWidget *w)
{
    QMap<int, QString> result;
    for (QLabel *l : w->findChildren<QLabel *>(QStringLiteral("Label2")))
        result.insert(l->property("index").toInt(), l->text());
    return result;
}

// Two user snippets and three others.
void fillLibrary(testing::TempLibrary &lib)
{
    const qint32 a = lib.addCategory(QStringLiteral("واجهات"));
    const qint32 b = lib.addCategory("Files");
    lib.addSnippet("plain 1", a, "x", "y", false);
    lib.addSnippet(QStringLiteral("نافذة"), a, "Form1.Show", QString(), true);
    lib.addSnippet("plain 2", b, "x", "y", false);
    lib.addSnippet("Open file", b, "Open f", "opens", true);
    lib.addSnippet("plain 3", b, "x", "y", false);
}

// The separator the system locale puts between the numbers of a short date, read from a date it formats;
// a locale that writes the month as a word has none, and the pattern keeps its own "/".
QString dateSeparator()
{
    for (const QChar c : QLocale::system().toString(QDate(2003, 11, 22), QLocale::ShortFormat))
        if (!c.isLetterOrNumber() && !c.isSpace() && c.category() != QChar::Other_Format)
            return QString(c);
    return QStringLiteral("/");
}

const QString kSearch2 = QStringLiteral("نتيجة البحث: 2عنصر/عناصر");

} // namespace

class TestPackageDialogs : public QObject
{
    Q_OBJECT
private slots:
    void init() { testing::resetSeams(); }

    void creatorListsTheUserSnippets()
    {
        testing::TempLibrary lib;
        fillLibrary(lib);
        exchange::FrmCreateUpdate dlg(testing::library());
        QCOMPARE(dlg.windowTitle(), QStringLiteral("انشاء ملف تحديث"));
        QCOMPARE(headerLabels(&dlg),
                 (QMap<int, QString>{
                     {0, QStringLiteral("الاسم:")}, {1, QStringLiteral("ملاحظات:")}, {2, QStringLiteral("التاريخ:")}}));
        QCOMPARE(labelText(&dlg, "Label3"), QStringLiteral("قائمة كود المستخدم:"));
        QCOMPARE(items(&dlg), QStringList({QStringLiteral("نافذة"), "Open file"}));
        QCOMPARE(labelText(&dlg, "Label1"), kSearch2);
        auto *create = child<QPushButton>(&dlg, "CmdCreate");
        QCOMPARE(create->text(), QStringLiteral("إنشاء"));
        QVERIFY(create->isEnabled());
        QVERIFY(create->isDefault());
        QCOMPARE(child<QPushButton>(&dlg, "CmdCancel")->text(), QStringLiteral("إغلاق"));
        QVERIFY(child<QLineEdit>(&dlg, "TxtName")->text().isEmpty());
        const QDate today = QDate::currentDate();
        const QString sep = dateSeparator();
        QCOMPARE(child<QLineEdit>(&dlg, "TxtDate")->text(),
                 QString::number(today.year()) + sep + QStringLiteral("%1").arg(today.month(), 2, 10, QLatin1Char('0'))
                     + sep + QStringLiteral("%1").arg(today.day(), 2, 10, QLatin1Char('0')));
        auto *notes = child<QPlainTextEdit>(&dlg, "TxtNotes");
        notes->setPlainText(QString(150, 'n'));
        QCOMPARE(notes->toPlainText().size(), 100);
        QCOMPARE(child<QLineEdit>(&dlg, "TxtName")->maxLength(), 254);
    }

    void creatorWithNothingToPackageCannotCreate()
    {
        testing::TempLibrary lib;
        lib.addSnippet("plain", lib.addCategory("c"), "x", "y", false);
        exchange::FrmCreateUpdate dlg(testing::library());
        QVERIFY(items(&dlg).isEmpty());
        QCOMPARE(labelText(&dlg, "Label1"), QStringLiteral("نتيجة البحث: 0عنصر/عناصر"));
        QVERIFY(!child<QPushButton>(&dlg, "CmdCreate")->isEnabled());
    }

    void creatingWritesThePackageAndAsksToMerge()
    {
        testing::TempLibrary lib;
        fillLibrary(lib);
        exchange::FrmCreateUpdate dlg(testing::library());
        child<QLineEdit>(&dlg, "TxtName")->setText(QStringLiteral("سامي"));
        child<QPlainTextEdit>(&dlg, "TxtNotes")->setPlainText(QStringLiteral("أول حزمة"));
        const QString typed = QDir(lib.dir()).filePath("mine"); // no extension typed
        FileDialogSeam::setNextFileName(typed);
        MessageBoxSeam::setNextAnswer(platform::mb::No);
        child<QPushButton>(&dlg, "CmdCreate")->click();

        QCOMPARE(dlg.PackagePath(), typed + ".cup");
        QVERIFY(!QGuiApplication::overrideCursor());
        QCOMPARE(FileDialogSeam::requests().size(), 1);
        QCOMPARE(FileDialogSeam::requests().first().kind, platform::FileDialogRequest::Save);
        QCOMPARE(FileDialogSeam::requests().first().filter, QStringLiteral("ملف تحديث|*.cup"));
        QCOMPARE(labelText(&dlg, "Label1"), QStringLiteral("تم إنشاء: 2عنصر/عناصر بنجاح"));
        QCOMPARE(MessageBoxSeam::count(), 1);
        const auto ask = MessageBoxSeam::last();
        QCOMPARE(ask.prompt, QStringLiteral("تمت عملية إنشاء ملف التحديث بنجاح. هل تريد دمج كود المستخد؟"));
        QCOMPARE(ask.title, QStringLiteral("استفسار"));
        QCOMPARE(ask.buttons(), platform::mb::YesNo);
        QCOMPARE(ask.icon(), platform::mb::Question);
        QVERIFY(ask.arabic());
        QVERIFY(testing::library().isOpen());
        // No to the merge: the marks stay.
        QCOMPARE(exchange::listUserSnippets(testing::library()).ids.size(), 2);
        QVERIFY(child<QPushButton>(&dlg, "CmdCreate")->isEnabled());

        testing::SqlFile f(typed + ".cup");
        QCOMPARE(f.value("SELECT count(*) FROM Code").toInt(), 2);
        QCOMPARE(f.value("SELECT Name FROM User").toString(), QStringLiteral("سامي"));
        QCOMPARE(f.value("SELECT GroubNam FROM Code WHERE Head = 'Open file'").toString(), QStringLiteral("Files"));
        QVERIFY(f.value(QStringLiteral("SELECT Learn FROM Code WHERE Head = 'نافذة'")).isNull());
    }

    void noToOverwriteAsksAgainAndCancelKeepsTheFile()
    {
        testing::TempLibrary lib;
        fillLibrary(lib);
        const QString existing = QDir(lib.dir()).filePath("old.cup");
        testing::writeFile(existing, "old contents");
        exchange::FrmCreateUpdate dlg(testing::library());
        FileDialogSeam::setNextFileName(existing);
        MessageBoxSeam::setNextAnswer(platform::mb::No);
        FileDialogSeam::setNextCancel();
        child<QPushButton>(&dlg, "CmdCreate")->click();

        QCOMPARE(FileDialogSeam::requests().size(), 2);
        QVERIFY(FileDialogSeam::requests().at(1).fileName.isEmpty());
        QCOMPARE(MessageBoxSeam::count(), 1);
        const auto warn = MessageBoxSeam::last();
        QCOMPARE(warn.prompt,
                 QStringLiteral(
                     "هذا الملف موجود بالفعل إذا قررت الاستمرار سيتم استبدالة بالملف الجديد. هل تريد الاستمرار؟"));
        QCOMPARE(warn.title, QStringLiteral("تحذير"));
        QCOMPARE(warn.buttons(), platform::mb::YesNo);
        QCOMPARE(warn.icon(), platform::mb::Question);
        QCOMPARE(testing::readFile(existing), QByteArray("old contents"));
        QCOMPARE(labelText(&dlg, "Label1"), kSearch2);
        QVERIFY(dlg.PackagePath().isEmpty());
    }

    void yesToOverwriteReplacesTheFile()
    {
        testing::TempLibrary lib;
        fillLibrary(lib);
        const QString existing = QDir(lib.dir()).filePath("old.cup");
        testing::writeFile(existing, "old contents");
        exchange::FrmCreateUpdate dlg(testing::library());
        FileDialogSeam::setNextFileName(existing);
        MessageBoxSeam::setNextAnswer(platform::mb::Yes);
        MessageBoxSeam::setNextAnswer(platform::mb::No);
        child<QPushButton>(&dlg, "CmdCreate")->click();
        QCOMPARE(MessageBoxSeam::count(), 2);
        exchange::readPackage(existing);
    }

    void yesToMergeClearsTheMarksAndASecondPackageIsEmpty()
    {
        testing::TempLibrary lib;
        fillLibrary(lib);
        exchange::FrmCreateUpdate dlg(testing::library());
        const QString first = QDir(lib.dir()).filePath("first.cup");
        FileDialogSeam::setNextFileName(first);
        MessageBoxSeam::setNextAnswer(platform::mb::Yes);
        child<QPushButton>(&dlg, "CmdCreate")->click();
        QVERIFY(exchange::listUserSnippets(testing::library()).ids.isEmpty());
        QCOMPARE(testing::library().snippetCount(), 5);
        // The list still shows what was packaged.
        QCOMPARE(items(&dlg).size(), 2);

        const QString second = QDir(lib.dir()).filePath("second.cup");
        FileDialogSeam::setNextFileName(second);
        MessageBoxSeam::setNextAnswer(platform::mb::No);
        child<QPushButton>(&dlg, "CmdCreate")->click();
        QCOMPARE(labelText(&dlg, "Label1"), QStringLiteral("تم إنشاء: 0عنصر/عناصر بنجاح"));
        QVERIFY(items(&dlg).isEmpty());
        testing::SqlFile f(second);
        QCOMPARE(f.value("SELECT count(*) FROM Code").toInt(), 0);
        QCOMPARE(f.value("SELECT count(*) FROM User").toInt(), 1);
    }

    void aTooLongCategoryNameIsRefused()
    {
        testing::TempLibrary lib;
        fillLibrary(lib);
        testing::library().renameCategory(2, QString(51, QChar(0x0641)));
        exchange::FrmCreateUpdate dlg(testing::library());
        const QString path = QDir(lib.dir()).filePath("long.cup");
        FileDialogSeam::setNextFileName(path);
        child<QPushButton>(&dlg, "CmdCreate")->click();
        QVERIFY(!QFile::exists(path));
        QCOMPARE(MessageBoxSeam::count(), 1);
        QCOMPARE(MessageBoxSeam::last().title, QStringLiteral("رسالة خطأ"));
        QVERIFY(MessageBoxSeam::last().prompt.contains(QStringLiteral("اسم التصنيف")));
        QVERIFY(!QGuiApplication::overrideCursor());
        QCOMPARE(labelText(&dlg, "Label1"), kSearch2);
        QVERIFY(testing::library().isOpen());
    }

    // ---- reader ----

    void cancellingTheChoiceClosesTheReader()
    {
        testing::TempLibrary lib;
        exchange::FrmUpdate dlg(testing::library());
        FileDialogSeam::setNextCancel();
        QVERIFY(!dlg.load());
        QCOMPARE(MessageBoxSeam::count(), 0);
        QCOMPARE(FileDialogSeam::requests().first().kind, platform::FileDialogRequest::Open);
        QCOMPARE(FileDialogSeam::requests().first().filter, QStringLiteral("ملف تحديث|*.cup"));
    }

    void readerPreviewsAndAdds()
    {
        testing::TempLibrary lib;
        const qint32 files = lib.addCategory("Files");
        lib.addSnippet("mine", files, "x", "y", true);
        QTemporaryDir dir;
        const QString path = dir.filePath("three.cup");
        testing::makeRawPackage(path,
                                {{"one", "c1", "l1", 4, "Files"},
                                 {QStringLiteral("اثنان"), "c2", null(), 4, QStringLiteral("جديد")},
                                 {"three", "c3", "l3", 9, QStringLiteral("جديد")}},
                                {QStringLiteral("سامي"), "2026/12/08", QStringLiteral("ملاحظات الحزمة")});
        exchange::FrmUpdate dlg(testing::library());
        FileDialogSeam::setNextFileName(path);
        QVERIFY(dlg.load());
        QCOMPARE(dlg.windowTitle(), QStringLiteral("تحديث"));
        QCOMPARE(labelText(&dlg, "Label1"), QStringLiteral("محتويات ملف التحديث:"));
        QCOMPARE(child<QPushButton>(&dlg, "CmdInsert")->text(), QStringLiteral("إضافة"));
        QCOMPARE(child<QLineEdit>(&dlg, "TxtName")->text(), QStringLiteral("سامي"));
        QCOMPARE(child<QLineEdit>(&dlg, "TxtDate")->text(), QStringLiteral("2026/12/08"));
        QCOMPARE(child<QPlainTextEdit>(&dlg, "TxtNotes")->toPlainText(), QStringLiteral("ملاحظات الحزمة"));
        QVERIFY(child<QLineEdit>(&dlg, "TxtName")->isReadOnly());
        QCOMPARE(items(&dlg), QStringList({"one", QStringLiteral("اثنان"), "three"}));
        QCOMPARE(labelText(&dlg, "Label3"), QStringLiteral("نتيجة البحث: 3عنصر/عناصر"));
        QVERIFY(labelText(&dlg, "LblDuplicates").endsWith(": 0"));
        QVERIFY(!child<QCheckBox>(&dlg, "ChkSkipDuplicates")->isChecked());
        QCOMPARE(testing::library().snippetCount(), 1);

        child<QPushButton>(&dlg, "CmdInsert")->click();
        QCOMPARE(labelText(&dlg, "Label3"), QStringLiteral("تم إضافة: 3عنصر/عناصر بنجاح"));
        QCOMPARE(testing::library().snippetCount(), 4);
        QCOMPARE(testing::library().categoryCount(), 2);
        const QByteArray entry = QStringLiteral("2026/12/08\r\nسامي\r\nملاحظات الحزمة\r\n\r\n").toUtf8();
        QCOMPARE(testing::readFile(QDir(lib.dir()).filePath("Cred.txt")), entry);
        QCOMPARE(MessageBoxSeam::count(), 0);

        // Again: everything once more, and a second entry.
        child<QPushButton>(&dlg, "CmdInsert")->click();
        QCOMPARE(testing::library().snippetCount(), 7);
        QCOMPARE(testing::library().categoryCount(), 2);
        QCOMPARE(testing::readFile(QDir(lib.dir()).filePath("Cred.txt")), entry + entry);

        // Told to skip duplicates, it adds none of them a third time.
        child<QCheckBox>(&dlg, "ChkSkipDuplicates")->setChecked(true);
        child<QPushButton>(&dlg, "CmdInsert")->click();
        QCOMPARE(testing::library().snippetCount(), 7);
        QCOMPARE(labelText(&dlg, "Label3"), QStringLiteral("تم إضافة: 0عنصر/عناصر بنجاح"));
    }

    void nullHeaderShowsEmptyBoxes()
    {
        testing::TempLibrary lib;
        QTemporaryDir dir;
        const QString path = dir.filePath("n.cup");
        testing::makeRawPackage(path, {{"one", "c1", null(), 1, "Files"}}, {null(), null(), null()});
        exchange::FrmUpdate dlg(testing::library());
        FileDialogSeam::setNextFileName(path);
        QVERIFY(dlg.load());
        QVERIFY(child<QLineEdit>(&dlg, "TxtName")->text().isEmpty());
        QVERIFY(child<QLineEdit>(&dlg, "TxtDate")->text().isEmpty());
        QVERIFY(child<QPlainTextEdit>(&dlg, "TxtNotes")->toPlainText().isEmpty());
        child<QPushButton>(&dlg, "CmdInsert")->click();
        QCOMPARE(testing::readFile(QDir(lib.dir()).filePath("Cred.txt")), QByteArray("\r\n\r\n\r\n\r\n"));
    }

    void anEmptyPackageAddsNothing()
    {
        testing::TempLibrary lib;
        QTemporaryDir dir;
        const QString path = dir.filePath("e.cup");
        testing::makeRawPackage(path, {}, {"n", "d", "o"});
        exchange::FrmUpdate dlg(testing::library());
        FileDialogSeam::setNextFileName(path);
        QVERIFY(dlg.load());
        QCOMPARE(labelText(&dlg, "Label3"), QStringLiteral("نتيجة البحث: 0عنصر/عناصر"));
        child<QPushButton>(&dlg, "CmdInsert")->click();
        QCOMPARE(labelText(&dlg, "Label3"), QStringLiteral("تم إضافة: 0عنصر/عناصر بنجاح"));
        QCOMPARE(testing::library().snippetCount(), 0);
    }

    void invalidPackagesAreReportedAndChangeNothing_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char *k : {"text", "truncated", "viewNamedCode", "noUser"})
            QTest::newRow(k) << QString::fromLatin1(k);
    }

    void invalidPackagesAreReportedAndChangeNothing()
    {
        QFETCH(QString, kind);
        testing::TempLibrary lib;
        fillLibrary(lib);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("حزمة.cup"));
        if (kind == "text") {
            testing::writeFile(path, "Dim x As Integer\r\n");
        } else if (kind == "truncated") {
            QList<QVariantList> rows;
            for (int i = 0; i < 100; ++i)
                rows.append({QString("t%1").arg(i), QString(1000, 'c'), null(), 1, "Files"});
            testing::makeRawPackage(path, rows, {"n", "d", "o"});
            testing::writeFile(path, testing::readFile(path).left(20000));
        } else if (kind == "viewNamedCode") {
            testing::SqlFile f(path);
            f.mustExec("CREATE TABLE Real (Head TEXT, Code TEXT, Learn TEXT, Groub INTEGER, GroubNam TEXT)");
            f.mustExec("INSERT INTO Real VALUES ('t', 'c', 'l', 1, 'Files')");
            f.mustExec("CREATE VIEW Code AS SELECT * FROM Real");
            f.mustExec("CREATE TABLE User (Name TEXT, Date TEXT, Notes TEXT)");
            f.mustExec("INSERT INTO User VALUES ('n', 'd', 'o')");
        } else {
            testing::makeRawPackage(path, {{"t", "c", "l", 1, "Files"}}, {"n", "d", "o"}, {"DROP TABLE User"});
        }
        const QByteArray before = testing::readFile(lib.path());
        exchange::FrmUpdate dlg(testing::library());
        FileDialogSeam::setNextFileName(path);
        QVERIFY(!dlg.load());
        QVERIFY(!dlg.isVisible());
        QCOMPARE(MessageBoxSeam::count(), 1);
        const auto msg = MessageBoxSeam::last();
        QVERIFY(msg.arabic());
        QCOMPARE(msg.title, QStringLiteral("رسالة خطأ"));
        QVERIFY(msg.prompt.contains(QStringLiteral("حزمة.cup")));
        QVERIFY(msg.prompt.contains(QStringLiteral("ليس ملف تحديث صالحاً")));
        QCOMPARE(testing::readFile(lib.path()), before);
        QCOMPARE(testing::library().snippetCount(), 5);
        QVERIFY(!QFile::exists(QDir(lib.dir()).filePath("Cred.txt")));
    }

    void aCreditsFailureIsReportedPlainlyAndKeepsTheSnippets()
    {
        testing::TempLibrary lib;
        QDir().mkpath(QDir(lib.dir()).filePath("Cred.txt"));
        QTemporaryDir dir;
        const QString path = dir.filePath("p.cup");
        testing::makeRawPackage(path, {{"one", "c1", null(), 1, "Files"}}, {"n", "d", "o"});
        exchange::FrmUpdate dlg(testing::library());
        FileDialogSeam::setNextFileName(path);
        QVERIFY(dlg.load());
        child<QPushButton>(&dlg, "CmdInsert")->click();
        QCOMPARE(MessageBoxSeam::count(), 1);
        QVERIFY(!MessageBoxSeam::last().arabic());
        QCOMPARE(MessageBoxSeam::last().buttons(), platform::mb::OkOnly);
        QVERIFY(MessageBoxSeam::last().prompt.contains("Cred.txt"));
        QCOMPARE(testing::library().snippetCount(), 1);
        QCOMPARE(labelText(&dlg, "Label3"), QStringLiteral("تم إضافة: 1عنصر/عناصر بنجاح"));
    }

    void aFailedAdditionChangesNothingAndWritesNoCredits()
    {
        testing::TempLibrary lib;
        lib.exec("CREATE TRIGGER refuse BEFORE INSERT ON Code WHEN NEW.Head = 'boom' "
                 "BEGIN SELECT RAISE(ABORT, 'refused'); END");
        QTemporaryDir dir;
        const QString path = dir.filePath("p.cup");
        testing::makeRawPackage(path, {{"one", "c1", null(), 1, "Files"}, {"boom", "c", null(), 1, "Files"}},
                                {"n", "d", "o"});
        exchange::FrmUpdate dlg(testing::library());
        FileDialogSeam::setNextFileName(path);
        QVERIFY(dlg.load());
        child<QPushButton>(&dlg, "CmdInsert")->click();
        QCOMPARE(MessageBoxSeam::count(), 1);
        QVERIFY(MessageBoxSeam::last().arabic());
        QCOMPARE(MessageBoxSeam::last().title, QStringLiteral("رسالة خطأ"));
        QCOMPARE(testing::library().snippetCount(), 0);
        QCOMPARE(testing::library().categoryCount(), 0);
        QVERIFY(!QGuiApplication::overrideCursor());
        QVERIFY(!QFile::exists(QDir(lib.dir()).filePath("Cred.txt")));
        QCOMPARE(labelText(&dlg, "Label3"), QStringLiteral("نتيجة البحث: 2عنصر/عناصر"));
    }
};

TAMRISK_TEST_MAIN(TestPackageDialogs)
#include "tst_packagedialogs.moc"
