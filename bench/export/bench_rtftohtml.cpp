// Converts the RTF of a 1 MB and a 10 MB coloured VB snippet to HTML and prints the time,
// the throughput and the 1 MB -> 10 MB time ratio (about 10 when the conversion is linear);
// then malformed tables (colour entries without \green/\blue, font names without ";") at n and
// 2n entries, whose time ratio is about 2 when the table reading is linear.
#include "export/core/RtfToHtml.h"
#include "platform/RtfWriter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTextCursor>
#include <QTextDocument>

#include <cstdio>

namespace {

const char *const kLines[] = {
    "Private Sub Command1_Click()",
    "    Dim i As Integer, total As Long",
    "    For i = 1 To 10",
    "        If i Mod 2 = 0 Then total = total + i Else total = total - 1",
    "    Next i",
    "    MsgBox \"Total: \" & total, vbInformation, \"<Sum>\"",
    "End Sub",
    "",
};
const QStringList kKeywords = {QStringLiteral("Private"), QStringLiteral("Sub"),     QStringLiteral("Dim"),
                               QStringLiteral("As"),      QStringLiteral("Integer"), QStringLiteral("Long"),
                               QStringLiteral("For"),     QStringLiteral("To"),      QStringLiteral("If"),
                               QStringLiteral("Mod"),     QStringLiteral("Then"),    QStringLiteral("Else"),
                               QStringLiteral("Next"),    QStringLiteral("End")};

// The snippet as the view shows it: keywords navy, everything else black.
void fillDocument(QTextDocument &doc, qsizetype bytes)
{
    QTextCursor cursor(&doc);
    QTextCharFormat plain;
    QTextCharFormat navy;
    navy.setForeground(QColor(0, 0, 128));
    qsizetype written = 0;
    for (int n = 0; written < bytes; ++n) {
        const QString line = QString::fromLatin1(kLines[n % std::size(kLines)]);
        const QStringList words = line.split(QLatin1Char(' '));
        for (int w = 0; w < words.size(); ++w) {
            if (w > 0)
                cursor.insertText(QStringLiteral(" "), plain);
            cursor.insertText(words.at(w), kKeywords.contains(words.at(w)) ? navy : plain);
        }
        cursor.insertBlock();
        written += line.size() + 2;
    }
}

// The same snippet in our writer's layout, for as long as the writer is not in place.
QString handMadeRtf(qsizetype bytes)
{
    QString rtf = QStringLiteral("{\\rtf1\\ansi\\ansicpg1256\\deff0{\\fonttbl{\\f0\\fmodern Courier New;}}\r\n"
                                 "{\\colortbl\\red0\\green0\\blue0;\\red0\\green0\\blue128;}\r\n"
                                 "\\deflang1025\\pard\\plain\\f0\\fs20 ");
    rtf.reserve(bytes + bytes / 2);
    for (int n = 0; rtf.size() < bytes; ++n) {
        if (n > 0)
            rtf += QStringLiteral("\r\n\\par ");
        const QStringList words = QString::fromLatin1(kLines[n % std::size(kLines)]).split(QLatin1Char(' '));
        for (int w = 0; w < words.size(); ++w) {
            if (w > 0)
                rtf += QLatin1Char(' ');
            if (kKeywords.contains(words.at(w)))
                rtf += QStringLiteral("\\cf1 ") + words.at(w) + QStringLiteral("\\cf0 ");
            else
                rtf += words.at(w);
        }
    }
    rtf += QStringLiteral("\r\n\\par }");
    return rtf;
}

double run(qsizetype textBytes, bool useWriter)
{
    QString rtf;
    if (useWriter) {
        QTextDocument doc;
        fillDocument(doc, textBytes);
        rtf = platform::documentToRtf(doc);
    } else {
        rtf = handMadeRtf(textBytes);
    }
    // Best of three: the machine is shared, and the best run is the converter's own cost.
    QString html;
    double ms = 0;
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer timer;
        timer.start();
        html = exporting::rtfTohtml::ConvertRtfToHtml(rtf, QStringLiteral("+H +CR"));
        const double roundMs = timer.nsecsElapsed() / 1e6;
        ms = round == 0 ? roundMs : std::min(ms, roundMs);
    }
    const double mb = rtf.size() / 1e6;
    std::printf("snippet %6.1f MB text: RTF %6.2f MB -> HTML %6.2f MB in %8.1f ms = %7.1f MB/s (%lld navy tags)\n",
                textBytes / 1e6, mb, html.size() / 1e6, ms, mb / (ms / 1000.0),
                static_cast<long long>(html.count(QLatin1String("COLOR=\"#000080\""))));
    return ms / mb;
}

double convertMs(const QString &rtf)
{
    QElapsedTimer timer;
    timer.start();
    exporting::rtfTohtml::ConvertRtfToHtml(rtf, QString());
    return timer.nsecsElapsed() / 1e6;
}

void malformedTables(int entries)
{
    QString colours = QStringLiteral("{\\rtf1{\\colortbl");
    QString fonts = QStringLiteral("{\\rtf1{\\fonttbl");
    for (int i = 0; i < entries; ++i) {
        colours += QStringLiteral("\\red1;");
        fonts += QStringLiteral("{\\f%1 Name}").arg(i);
    }
    colours += QStringLiteral("}\r\n\\deflang1025 x\r\n\\par }");
    fonts += QStringLiteral(";}}\r\n\\deflang1025 x\r\n\\par }");
    std::printf("%6d colour entries without \\green/\\blue (%4.0f KB): %8.1f ms; %6d font names without \";\" "
                "(%4.0f KB): %8.1f ms\n",
                entries, colours.size() / 1e3, convertMs(colours), entries, fonts.size() / 1e3, convertMs(fonts));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextDocument probe;
    probe.setPlainText(QStringLiteral("x"));
    const bool useWriter = platform::documentToRtf(probe).contains(QLatin1String("\\deflang"));
    std::printf("RTF from %s\n", useWriter ? "the RTF writer" : "a hand-made RTF in the writer's layout");
    const double perMb1 = run(1'000'000, useWriter);
    const double perMb10 = run(10'000'000, useWriter);
    std::printf("time ratio 10 MB / 1 MB = %.1f (per-MB cost ratio %.2f; linear = 10 and 1.00)\n",
                perMb10 * 10 / perMb1, perMb10 / perMb1);
    malformedTables(20'000);
    malformedTables(40'000);
    return 0;
}
