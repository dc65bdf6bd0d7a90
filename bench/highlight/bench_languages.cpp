// Times colouring large snippets by grammar in the view: until the first screen is drawn
// coloured, until all is coloured, against the grammar's own parse of the same text (the raw
// anchor) and the Visual Basic colouring of a text of the same size.
// Usage: bench_languages   (BENCH_SIZES_KB=1000,10000 by default)
#include "../BenchLibrary.h"
#include "BenchText.h"
#include "browser/FrmMain.h"
#include "browser/KeywordColorer.h"
#include "highlight/BackgroundHighlight.h"
#include "platform/RichTextBox.h"
#include "store/Library.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QScrollBar>
#include <QTemporaryDir>
#include <cstdio>

namespace {

double ms(const QElapsedTimer &t) { return t.nsecsElapsed() / 1e6; }

// About a kilobyte of everyday code, with Arabic in its comments and strings, repeated.
QString sample(const QString &language)
{
    if (language == QLatin1String("C#"))
        return QStringLiteral(
            "// حساب مجموع الطلبات\n"
            "public class OrderTotals\n{\n"
            "    private readonly List<decimal> _items = new List<decimal>();\n"
            "    /* يضيف عنصراً */\n"
            "    public void Add(decimal price, int count = 1)\n    {\n"
            "        if (count <= 0) throw new ArgumentException(\"العدد غير صالح\", nameof(count));\n"
            "        for (var i = 0; i < count; i++) _items.Add(price * 1.15m);\n    }\n"
            "    public decimal Total => _items.Sum();\n"
            "    public override string ToString() => $\"المجموع: {Total:0.00}\";\n}\n\n");
    if (language == QLatin1String("Python"))
        return QStringLiteral("# حساب مجموع الطلبات\n"
                              "class OrderTotals:\n"
                              "    \"\"\"يجمع أسعار العناصر.\"\"\"\n\n"
                              "    def __init__(self):\n        self.items = []\n\n"
                              "    def add(self, price: float, count: int = 1) -> None:\n"
                              "        if count <= 0:\n            raise ValueError(\"العدد غير صالح\")\n"
                              "        for _ in range(count):\n            self.items.append(price * 1.15)\n\n"
                              "    @property\n    def total(self):\n        return sum(self.items)  # المجموع\n\n"
                              "    def __str__(self):\n        return f\"المجموع: {self.total:.2f}\"\n\n\n");
    return QStringLiteral("// حساب مجموع الطلبات\n"
                          "class OrderTotals {\n"
                          "  constructor() { this.items = []; }\n"
                          "  /* يضيف عنصراً */\n"
                          "  add(price, count = 1) {\n"
                          "    if (count <= 0) throw new Error(\"العدد غير صالح\");\n"
                          "    for (let i = 0; i < count; i++) this.items.push(price * 1.15);\n  }\n"
                          "  get total() { return this.items.reduce((a, b) => a + b, 0); }\n"
                          "  toString() { return `المجموع: ${this.total.toFixed(2)}`; }\n}\n"
                          "export const totals = new OrderTotals();\n\n");
}

QString textOf(const QString &language, qsizetype bytes)
{
    const QString piece = sample(language);
    const qsizetype pieceBytes = piece.toUtf8().size();
    QString text;
    text.reserve(piece.size() * (bytes / pieceBytes + 1));
    for (qsizetype n = 0; n < bytes; n += pieceBytes)
        text += piece;
    return text;
}

// Shows text in language and waits until it is all coloured: {first screen drawn, all coloured}.
std::pair<double, double> colourInView(browser::FrmMain &main, const QString &language, const QString &text)
{
    platform::RichTextBox *view = main.RTxt1();
    view->setText(QString());
    QCoreApplication::processEvents();
    main.setViewLanguage(language);
    QElapsedTimer t;
    t.start();
    main.ColorKeywords(text, true);
    view->repaint();
    const double shown = ms(t);
    while (main.ProgressBar1()->isVisible())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    return {shown, ms(t)};
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    QTemporaryDir dir;
    benchLibrary().create(dir.filePath("codedb.mdb"), false);
    {
        browser::FrmMain main(benchLibrary());
        main.load();
        main.resize(1000, 700);
        main.show();
        QCoreApplication::processEvents();
        const QByteArray sizes = qgetenv("BENCH_SIZES_KB").isEmpty() ? QByteArray("1000,10000")
                                                                     : qgetenv("BENCH_SIZES_KB");
        for (const QByteArray &kb : sizes.split(',')) {
            const double mb = kb.toDouble() / 1000.0;
            const qsizetype bytes = qsizetype(mb * 1000 * 1000);
            const QString vb = bench::vbText(bytes);
            const auto [vbShown, vbAll] = colourInView(main, highlight::VisualBasic, vb);
            std::printf("%5.1f MB Visual Basic: screen %7.1f ms, all %8.1f ms\n", mb, vbShown, vbAll);
            for (const QString &language :
                 {QStringLiteral("C#"), QStringLiteral("Python"), QStringLiteral("JavaScript")}) {
                const QString text = textOf(language, bytes);
                QElapsedTimer t;
                t.start();
                highlight::Highlighter parser(language);
                parser.parse(text);
                const double anchor = ms(t);
                t.restart();
                const qsizetype runs = parser.spans(0, text.size()).size();
                const double query = ms(t);
                // The grammar's colouring alone, away from the view, and its quick first screen.
                t.restart();
                double quick = 0;
                {
                    highlight::BackgroundHighlight background(language, text);
                    QElapsedTimer q;
                    q.start();
                    background.quickSpans(0, browser::KeywordColorer::FirstColoured);
                    quick = ms(q);
                    background.wait();
                }
                const double backgroundAll = ms(t);
                const auto [shown, all] = colourInView(main, language, text);
                // Scrolling through while nothing is left to colour: the slowest of 20 jumps.
                QScrollBar *bar = main.RTxt1()->verticalScrollBar();
                double worst = 0;
                for (int i = 1; i <= 20; ++i) {
                    t.restart();
                    bar->setValue(int(qint64(bar->maximum()) * i / 20));
                    main.RTxt1()->repaint();
                    worst = std::max(worst, ms(t));
                }
                std::printf(
                    "%5.1f MB %-10s: screen %7.1f ms, all %8.1f ms (%4.2fx parse anchor %8.1f ms; "
                    "query alone %8.1f ms, %lld runs; coloured away from the view %8.1f ms, first screen of it %5.1f ms); "
                    "slowest scroll %5.1f ms\n",
                    mb, qPrintable(language), shown, all, all / anchor, anchor, query, qint64(runs), backgroundAll,
                    quick, worst);
            }
        }
    }
    benchLibrary().close();
    return 0;
}
