// Times the add and edit dialogs and the add, edit and delete commands.
// Usage: bench_editing [LIBRARY]   (LIBRARY e.g. made by make_corpus.py; it is copied, never changed)
// Without a library one is built with BENCH_SNIPPETS (20000) snippets in BENCH_CATEGORIES (200) categories.
#include "../BenchLibrary.h"
#include "browser/FrmMain.h"
#include "editing/Commands.h"
#include "editing/FrmAdd.h"
#include "editing/FrmEdit.h"
#include "editing/SnippetInput.h"
#include "platform/MessageBox.h"
#include "platform/RichTextBox.h"
#include "store/Library.h"
#include "store/NodeKey.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

double ms(const QElapsedTimer &t) { return t.nsecsElapsed() / 1e6; }

int envInt(const char *name, int fallback)
{
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok ? v : fallback;
}

// Closes the next modal dialog as soon as it is shown, after `work` ran on it.
void whenModal(const std::function<void(QDialog *)> &work)
{
    auto *timer = new QTimer;
    timer->setInterval(1);
    QObject::connect(timer, &QTimer::timeout, [timer, work] {
        if (auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            work(d);
            if (d->isVisible())
                d->reject();
        }
    });
    timer->start();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    app.setLayoutDirection(Qt::RightToLeft);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    platform::MessageBoxSeam::enable(); // confirmations answered Yes below, nothing shown
    QTemporaryDir dir;
    const QString path = dir.filePath("codedb.mdb");
    if (argc > 1) {
        if (!QFile::copy(QString::fromLocal8Bit(argv[1]), path))
            return 1;
        benchLibrary().open(path);
    } else {
        benchLibrary().create(path, false);
        const int categories = envInt("BENCH_CATEGORIES", 200), snippets = envInt("BENCH_SNIPPETS", 20000);
        benchLibrary().transaction([&] {
            QList<qint32> ids;
            for (int c = 0; c < categories; ++c)
                ids.append(benchLibrary().addCategory(QStringLiteral("فئة %1").arg(c)));
            for (int s = 0; s < snippets; ++s) {
                store::Snippet row;
                row.head = QStringLiteral("Snippet %1").arg(s);
                row.groub = ids[s % ids.size()];
                row.code = QStringLiteral("Dim x As Long\r\nx = %1\r\n").arg(s).repeated(20);
                row.learn = QStringLiteral("تعليق");
                row.user = s % 20 == 0;
                benchLibrary().addSnippet(row);
            }
        });
    }
    std::printf("library: %lld snippets, %lld categories\n", benchLibrary().snippetCount(),
                benchLibrary().categoryCount());

    QElapsedTimer t;
    const int rounds = 20;
    {
        double open = 0, write = 0;
        for (int i = 0; i < rounds; ++i) {
            t.start();
            editing::FrmAdd add(benchLibrary());
            open += ms(t);
            add.show();
            add.TxtCodeHead()->setText(QStringLiteral("bench"));
            add.RTxtCode()->setText(QStringLiteral("Dim y As Long\r\n").repeated(200));
            add.CmbGroub()->setCurrentIndex(add.CmbGroub()->count() - 1);
            t.restart();
            add.CmdAdd()->click();
            write += ms(t);
        }
        std::printf("add dialog: open (category list filled) %8.2f ms, add one snippet (last category) %8.2f ms\n",
                    open / rounds, write / rounds);
    }
    const qint32 last = benchLibrary().allSnippets().last().id;
    {
        double open = 0, save = 0;
        for (int i = 0; i < rounds; ++i) {
            t.start();
            editing::FrmEdit edit(benchLibrary(), last);
            open += ms(t);
            edit.show();
            edit.TxtCodeHead()->setText(QStringLiteral("bench %1").arg(i));
            t.restart();
            edit.CmdAdd()->click();
            save += ms(t);
        }
        std::printf("edit dialog: open (snippet and category list) %8.2f ms, save %8.2f ms\n", open / rounds,
                    save / rounds);
    }

    browser::FrmMain main(benchLibrary());
    main.load();
    editing::installCommands(main);
    main.show();
    app.processEvents();
    {
        whenModal([](QDialog *) {});
        t.start();
        main.command(QStringLiteral("Add"))->trigger();
        std::printf("add command, dialog closed at once (tree emptied and rebuilt, count): %8.1f ms\n", ms(t));
    }
    {
        main.selectNode(store::snippetKey(last));
        whenModal([](QDialog *d) { d->findChild<QPushButton *>(QStringLiteral("CmdAdd"))->click(); });
        t.start();
        main.command(QStringLiteral("edit"))->trigger();
        std::printf("edit command, saved at once (tree rebuilt, node selected): %8.1f ms\n", ms(t));
    }
    {
        const QList<store::SnippetSummary> rows = benchLibrary().snippetSummaries();
        double total = 0;
        int n = 0;
        for (int i = 0; i < rounds && i < rows.size(); ++i) {
            main.selectNode(store::snippetKey(rows.at(i * 7 % rows.size()).id));
            platform::MessageBoxSeam::setNextAnswer(platform::mb::Yes);
            t.start();
            main.command(QStringLiteral("del"))->trigger();
            total += ms(t);
            ++n;
        }
        std::printf("delete command, one snippet (row, node, view, count): %8.2f ms\n", n ? total / n : 0.0);
    }
    {
        const QList<store::Category> categories = benchLibrary().categories();
        main.selectNode(store::categoryKey(categories.first().id));
        platform::MessageBoxSeam::setNextAnswer(platform::mb::Yes);
        t.start();
        main.command(QStringLiteral("del"))->trigger();
        std::printf("delete command, one category with its snippets: %8.1f ms\n", ms(t));
    }
    benchLibrary().close();
    return 0;
}
