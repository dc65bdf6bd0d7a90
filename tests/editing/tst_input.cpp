#include "TestSupport.h"

#include "editing/SnippetInput.h"

using namespace editing;

namespace {
QList<store::Category> threeCategories()
{
    return {{7, QStringLiteral("أ")}, {3, QVariant(QMetaType::fromType<QString>())}, {12, QStringLiteral("أ")}};
}
} // namespace

class TestInput : public QObject
{
    Q_OBJECT
private slots:
    void entriesKeepTableOrderAndPlaces()
    {
        QCOMPARE(categoryEntries(threeCategories()),
                 (QStringList{QStringLiteral("أ"), QString(), QStringLiteral("أ")}));
        QVERIFY(categoryEntries({}).isEmpty());
    }

    void categoryIsFoundByPosition()
    {
        const auto list = threeCategories();
        QCOMPARE(categoryAt(list, 0)->id, 7);
        QCOMPARE(categoryAt(list, 2)->id, 12);
        QCOMPARE(categoryAt(list, -1)->id, 7); // no selection: the first row
        QVERIFY(!categoryAt(list, 3));
        QVERIFY(!categoryAt({}, 0));
    }

    void storedCategoryIsFoundByIdText()
    {
        const auto list = threeCategories();
        QCOMPARE(entryOfCategory(list, QStringLiteral("12")), 2);
        QCOMPARE(entryOfCategory(list, QStringLiteral("3")), 1);
        QCOMPARE(entryOfCategory(list, QStringLiteral("99")), -1);
        QCOMPARE(entryOfCategory(list, QString()), -1);
    }

    void onlySpacesAreTrimmed()
    {
        const store::Snippet s = snippetFromInput(QStringLiteral("  عنوان "), 4, QStringLiteral("  \tx = 1\r\n\r\n "),
                                                  QStringLiteral(" \x00A0شرح\t "));
        QCOMPARE(s.head.toString(), QStringLiteral("عنوان"));
        QCOMPARE(s.groub.toInt(), 4);
        QCOMPARE(s.code.toString(), QStringLiteral("\tx = 1\r\n\r\n"));
        QCOMPARE(s.learn.toString(), QStringLiteral("\x00A0شرح\t"));
        QVERIFY(store::isTrue(s.user));
    }

    void emptyTextsStayEmptyNotNull()
    {
        const store::Snippet s = snippetFromInput(QStringLiteral("t"), 1, QString(), QStringLiteral("   "));
        QVERIFY(!s.code.toString().isNull());
        QVERIFY(s.code.toString().isEmpty());
        QVERIFY(!s.learn.toString().isNull());
        QVERIFY(s.learn.toString().isEmpty());
    }
};

TAMRISK_TEST_MAIN(TestInput)
#include "tst_input.moc"
