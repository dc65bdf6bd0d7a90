#include "messages/MsgBoxCode.h"

#include "TestSupport.h"

using namespace messages;

class TestMsgBoxCode : public QObject
{
    Q_OBJECT
private slots:
    void startStateGivesTheDocumentedTotal()
    {
        const MsgBoxStyleText s = buildStyleText(MsgBoxDesign{});
        QCOMPARE(
            s.constants,
            QStringLiteral("vbOKOnly + vbDefaultButton1 + vbApplicationModal + vbMsgBoxRight + vbMsgBoxRtlReading"));
        QCOMPARE(s.numbers, QStringLiteral("0 + 0 + 0 + 0 + 524288 + 1048576"));
        QCOMPARE(s.total, 1572864);
    }

    void yesNoCancelQuestionWithoutExtras()
    {
        MsgBoxDesign d;
        d.buttonSet = 3;
        d.iconKind = 2;
        d.alignRight = false;
        d.rtlReading = false;
        const MsgBoxStyleText s = buildStyleText(d);
        QCOMPARE(s.constants, QStringLiteral("vbYesNoCancel + vbQuestion + vbDefaultButton1 + vbApplicationModal"));
        QCOMPARE(s.numbers, QStringLiteral("3 + 32 + 0 + 0"));
        QCOMPARE(s.total, 35);
    }

    void everyPartCountsInTheTotal()
    {
        MsgBoxDesign d{4, 4, 3, 1, true, true, true, true};
        const MsgBoxStyleText s = buildStyleText(d);
        QCOMPARE(s.constants,
                 QStringLiteral("vbYesNo + vbInformation + vbDefaultButton4 + vbSystemModal + vbMsgBoxRight"
                                " + vbMsgBoxRtlReading + vbMsgBoxSetForeground + vbMsgBoxHelpButton"));
        QCOMPARE(s.numbers, QStringLiteral("4 + 64 + 768 + 4096 + 524288 + 1048576 + 65536 + 16384"));
        QCOMPARE(s.total, 4 + 64 + 768 + 4096 + 524288 + 1048576 + 65536 + 16384);
    }

    void foregroundAddsItsConstantWhateverItsCaption()
    {
        MsgBoxDesign d;
        d.alignRight = d.rtlReading = false;
        d.setForeground = true;
        const MsgBoxStyleText s = buildStyleText(d);
        QVERIFY(s.constants.endsWith(QStringLiteral(" + vbMsgBoxSetForeground")));
        QVERIFY(s.numbers.endsWith(QStringLiteral(" + 65536")));
        QCOMPARE(s.total, 65536);
    }

    void sevenLinesJoinedByCrLf()
    {
        const QString code = generatedCode(MsgBoxDesign{}, QStringLiteral("مرحبا"), QStringLiteral("عنوان"));
        const QStringList lines = code.split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 7);
        QVERIFY(!code.endsWith(QLatin1Char('\n')));
        QCOMPARE(lines.at(0), QStringLiteral("كقيمة نصية : "));
        QCOMPARE(lines.at(1), QStringLiteral("MsgBox(\"مرحبا\", vbOKOnly + vbDefaultButton1 + vbApplicationModal"
                                             " + vbMsgBoxRight + vbMsgBoxRtlReading, \"عنوان\")"));
        QCOMPARE(lines.at(2), QString());
        QCOMPARE(lines.at(3), QStringLiteral("كقيمة رقيمة : "));
        QCOMPARE(lines.at(4), QStringLiteral("MsgBox(\"مرحبا\", 0 + 0 + 0 + 0 + 524288 + 1048576, \"عنوان\")"));
        QCOMPARE(lines.at(5), QStringLiteral("كرقم واحد : "));
        QCOMPARE(lines.at(6), QStringLiteral("MsgBox(\"مرحبا\", 1572864, \"عنوان\")"));
    }

    void emptyMessageGivesEmptyQuotes()
    {
        const QStringList lines =
            generatedCode(MsgBoxDesign{}, QString(), QStringLiteral("t")).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 7);
        QVERIFY(lines.at(1).startsWith(QStringLiteral("MsgBox(\"\", vbOKOnly")));
        QCOMPARE(lines.at(6), QStringLiteral("MsgBox(\"\", 1572864, \"t\")"));
    }

    void quotesAreDoubledAndLineBreaksBecomeVbCrLf_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expression");
        QTest::newRow("plain") << "abc"
                               << "\"abc\"";
        QTest::newRow("quote") << "say \"hi\""
                               << "\"say \"\"hi\"\"\"";
        QTest::newRow("lf") << "a\nb"
                            << "\"a\" & vbCrLf & \"b\"";
        QTest::newRow("crlf") << "a\r\nb"
                              << "\"a\" & vbCrLf & \"b\"";
        QTest::newRow("cr") << "a\rb"
                            << "\"a\" & vbCrLf & \"b\"";
        QTest::newRow("two breaks") << "a\n\nb"
                                    << "\"a\" & vbCrLf & \"\" & vbCrLf & \"b\"";
        QTest::newRow("leading break") << "\nb"
                                       << "\"\" & vbCrLf & \"b\"";
        QTest::newRow("only a quote") << "\""
                                      << "\"\"\"\"";
    }
    void quotesAreDoubledAndLineBreaksBecomeVbCrLf()
    {
        QFETCH(QString, text);
        QFETCH(QString, expression);
        QCOMPARE(vbStringExpression(text), expression);
    }

    void titleIsEscapedLikeTheMessage()
    {
        QCOMPARE(msgBoxStatement(QStringLiteral("a\"b"), QStringLiteral("0"), QStringLiteral("x\ny")),
                 QStringLiteral("MsgBox(\"a\"\"b\", 0, \"x\" & vbCrLf & \"y\")"));
    }

    void defaultButtonsFollowTheNumberOfButtons()
    {
        const int expected[] = {1, 2, 3, 3, 2, 2};
        for (int set = 0; set < 6; ++set) {
            for (bool help : {false, true}) {
                const QList<bool> enabled = enabledDefaultButtons(set, help);
                QCOMPARE(enabled.size(), 4);
                const int count = expected[set] + (help ? 1 : 0);
                for (int i = 0; i < 4; ++i)
                    QCOMPARE(enabled.at(i), i < count);
            }
        }
    }
};

TAMRISK_TEST_MAIN(TestMsgBoxCode)
#include "tst_msgboxcode.moc"
