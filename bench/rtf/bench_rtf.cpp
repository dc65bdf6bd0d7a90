// Times the RTF writer and reader on keyword-coloured Visual Basic text of 1 MB and 10 MB.
#include "platform/RichTextBox.h"
#include "platform/Rtf.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTextCursor>
#include <QTextDocument>

#include <cstdio>
#include <ctime>

namespace {

// Lines of code with a navy keyword every few words, as the snippet view shows them.
void fill(QTextDocument &doc, qsizetype bytes)
{
    QTextCharFormat navy;
    navy.setForeground(QColor(0, 0, 128));
    QTextCharFormat black;
    black.setForeground(QColor(0, 0, 0));
    QTextCursor c(&doc);
    c.beginEditBlock();
    qsizetype size = 0;
    for (int i = 0; size < bytes; ++i) {
        const QString rest = QStringLiteral(" v%1 ").arg(i);
        c.insertText(QStringLiteral("Dim"), navy);
        c.insertText(rest, black);
        c.insertText(QStringLiteral("As"), navy);
        const QString tail = QStringLiteral(" Long ' تعليق {x}\\ comment");
        c.insertText(tail, black);
        c.insertBlock();
        size += 3 + rest.size() + 2 + tail.size() + 1;
    }
    c.endEditBlock();
}

// Wall time and this thread's CPU time: on a busy machine the second is the steadier figure.
struct Clock {
    QElapsedTimer wall;
    double cpuStart = 0;
    static double cpuNow()
    {
        timespec ts;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
    }
    void restart()
    {
        wall.start();
        cpuStart = cpuNow();
    }
    struct Lap {
        double wall, cpu;
    };
    Lap lap() const { return {wall.nsecsElapsed() / 1e6, cpuNow() - cpuStart}; }
};

void print(const char *what, Clock::Lap lap, double chars)
{
    std::printf("  %-24s %8.1f ms wall %8.1f ms cpu  %6.1f MB/s (cpu)\n", what, lap.wall, lap.cpu,
                chars / 1e3 / lap.cpu);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    for (const qsizetype mb : {1, 10}) {
        QTextDocument doc;
        doc.setDefaultFont(platform::codeFont(10));
        fill(doc, mb * 1000 * 1000);
        const double chars = doc.characterCount();

        Clock t;
        t.restart();
        const QString rtf = platform::documentToRtf(doc);
        const Clock::Lap write = t.lap();

        QTextDocument back;
        back.setDefaultFont(platform::codeFont(10));
        t.restart();
        platform::rtfToDocument(rtf, &back);
        const Clock::Lap read = t.lap();

        platform::RichTextBox box;
        box.resize(800, 600);
        box.setFontNameSize(QString(), 10);
        t.restart();
        box.setTextRTF(rtf);
        const Clock::Lap boxRead = t.lap();
        t.restart();
        box.setText(doc.toPlainText());
        const Clock::Lap plain = t.lap();

        std::printf("%lld MB text (%.0f chars, RTF %.1f MB, %d lines, a navy keyword every ~20 chars):\n",
                    (long long)mb, chars, rtf.size() / 1e6, doc.blockCount());
        print("documentToRtf", write, chars);
        print("rtfToDocument", read, chars);
        print("RichTextBox::setTextRTF", boxRead, chars);
        print("RichTextBox::setText", plain, chars);
        std::printf("  (setText: the same text unformatted, the floor)\n");
        if (back.toPlainText() != doc.toPlainText())
            std::printf("  MISMATCH after the round trip\n");
    }
    return 0;
}
