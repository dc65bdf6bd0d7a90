#include "TestSupport.h"

#include "languages/Language.h"

using namespace languages;

class TestLanguage : public QObject
{
    Q_OBJECT
private slots:
    void namesExtensionsAndAliases()
    {
        QCOMPARE(knownNames().first(), QStringLiteral("Visual Basic"));
        QCOMPARE(knownNames().size(), 16);
        QCOMPARE(fromExtension(QStringLiteral("PY")), QStringLiteral("Python"));
        QCOMPARE(fromExtension(QStringLiteral("bas")), QStringLiteral("Visual Basic"));
        QCOMPARE(fromExtension(QStringLiteral("h")), QStringLiteral("C"));
        QCOMPARE(fromExtension(QStringLiteral("txt")), QString());
        QCOMPARE(extensionOf(QStringLiteral("Visual Basic")), QStringLiteral("vb"));
        QCOMPARE(extensionOf(QStringLiteral("C#")), QStringLiteral("cs"));
        QCOMPARE(extensionOf(QStringLiteral("Fortran 77")), QStringLiteral("txt"));
        for (const QString &name : knownNames()) {
            QCOMPARE(canonical(name.toUpper()), name);
            QCOMPARE(fromExtension(extensionOf(name)), name);
        }
        QCOMPARE(canonical(QStringLiteral("csharp")), QStringLiteral("C#"));
        QCOMPARE(canonical(QStringLiteral("c")), QStringLiteral("C"));
        QCOMPARE(canonical(QStringLiteral(" golang ")), QStringLiteral("Go"));
        QCOMPARE(canonical(QStringLiteral("postgresql")), QStringLiteral("SQL"));
        QCOMPARE(canonical(QStringLiteral("shell")), QStringLiteral("Bash"));
        QCOMPARE(canonical(QStringLiteral("Fortran 77")), QStringLiteral("Fortran 77")); // kept as given
    }

    void guess_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("language");
        QTest::newRow("shebang") << "#!/usr/bin/env python3\nx = 1\n"
                                 << "Python";
        QTest::newRow("sh") << "#!/bin/sh\nls\n"
                            << "Bash";
        QTest::newRow("python") << "import os\n\ndef main():\n    print(os.name)\n"
                                << "Python";
        QTest::newRow("c#") << "using System;\nclass A { static void Main() { Console.WriteLine(1); } }"
                            << "C#";
        QTest::newRow("java") << "public class A {\n  public static void main(String[] a) {\n"
                                 "    System.out.println(1);\n  }\n}"
                              << "Java";
        QTest::newRow("c++") << "#include <vector>\nint main() { std::vector<int> v; }"
                             << "C++";
        QTest::newRow("c") << "#include <stdio.h>\nint main(void) { printf(\"hi\"); }"
                           << "C";
        QTest::newRow("go") << "package main\n\nimport \"fmt\"\n\nfunc main() { fmt.Println(1) }"
                            << "Go";
        QTest::newRow("rust") << "fn main() {\n    let mut x = 1;\n    println!(\"{}\", x);\n}"
                              << "Rust";
        QTest::newRow("php") << "<?php echo 'hi'; ?>"
                             << "PHP";
        QTest::newRow("sql") << "SELECT id, name FROM users WHERE id = 1;"
                             << "SQL";
        QTest::newRow("html") << "<!DOCTYPE html>\n<html><body></body></html>"
                              << "HTML";
        QTest::newRow("json") << "{\"a\": [1, 2]}"
                              << "JSON";
        QTest::newRow("js") << "const x = require('fs');\nconsole.log(x);"
                            << "JavaScript";
        QTest::newRow("ts") << "interface A { x: number }\nconst a: string = 'x';"
                            << "TypeScript";
        QTest::newRow("vb") << "Private Sub Form_Load()\n    Dim x As Long\nEnd Sub"
                            << "Visual Basic";
        QTest::newRow("prose") << "just a few words"
                               << "";
        QTest::newRow("empty") << "   "
                               << "";
    }

    void guess()
    {
        QFETCH(QString, code);
        QFETCH(QString, language);
        QCOMPARE(languages::guess(code), language);
    }
};

TAMRISK_TEST_MAIN(TestLanguage)
#include "tst_language.moc"
