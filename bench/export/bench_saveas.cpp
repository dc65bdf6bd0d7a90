// Times the whole save-as-HTML of a 1 MB and a 10 MB VB snippet (keyword runs, RTF, HTML,
// UTF-8, the file written) beside `unrtf --html` on the same RTF, each measured in the same run.
// Also times the conversion as a process of its own (start-up, reading, writing), as unrtf runs.
// Usage: bench_saveas                      the benchmark (unrtf is optional: apt-get install unrtf)
//        bench_saveas --convert IN OUT     RTF file IN to HTML file OUT (the process timed above)
//        bench_saveas --page OUT TAB       a sample snippet's page (TAB: code or learn), for a browser
//        bench_saveas --rtf OUT MB         the RTF converted above, of an MB snippet, for profiling
#include "BenchText.h"
#include "export/core/RtfFile.h"
#include "export/core/SnippetExport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char **environ;

using namespace exporting::core;

namespace {

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

struct Time {
    double wall = -1, cpu = -1; // ms; cpu: user + system
};

// Best of three runs of a program with its output to a file; negative when it cannot run.
// The processor time (user + system, from the kernel) is printed too: on a shared machine it
// shifts far less than the wall clock.
Time processTime(const QString &program, const QStringList &args, const QString &output)
{
    Time best;
    for (int round = 0; round < 3; ++round) {
        std::vector<QByteArray> bytes{program.toLocal8Bit()};
        for (const QString &a : args)
            bytes.push_back(a.toLocal8Bit());
        std::vector<char *> argv;
        for (QByteArray &b : bytes)
            argv.push_back(b.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        QElapsedTimer t;
        t.start();
        pid_t pid = 0;
        const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        rusage usage{};
        if (failed != 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            return {};
        const double wall = t.nsecsElapsed() / 1e6;
        const double cpu = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
                           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
        best.wall = best.wall < 0 ? wall : std::min(best.wall, wall);
        best.cpu = best.cpu < 0 ? cpu : std::min(best.cpu, cpu);
    }
    return best;
}

int page(const QString &out, bool learn)
{
    const QString code = QStringLiteral("' حساب مجموع العناصر، مع تجاهل الفارغ منها.\r\n"
                                        "Public Function Total(ByVal items As Collection) As Long\r\n"
                                        "    Dim i As Long, sum As Long\r\n"
                                        "    For i = 1 To items.Count\r\n"
                                        "        If Not IsEmpty(items(i)) Then\r\n"
                                        "            sum = sum + CLng(items(i)) ' أضف العنصر\r\n"
                                        "        End If\r\n"
                                        "    Next i\r\n"
                                        "\r\n"
                                        "    Total = sum\r\n"
                                        "End Function");
    const QString comment = QStringLiteral("تجمع هذه الدالة أعداد المجموعة وتعيد المجموع.\r\n"
                                           "العناصر الفارغة لا تدخل في الحساب (Empty).");
    const QString title = QStringLiteral("مجموع عناصر مجموعة");
    return writeAll(out, exportText(title, learn ? comment : code, learn ? Field::Learn : Field::Code, Format::Html))
               ? 0
               : 1;
}

} // namespace

int main(int argc, char **argv)
{
    // The conversion process does what a converter process must and no more: no application
    // object, no event loop.
    if (argc == 4 && std::strcmp(argv[1], "--convert") == 0) {
        try {
            exporting::rtfTohtml::convertRtfFile(QFile::decodeName(argv[2]), QFile::decodeName(argv[3]),
                                                 QStringLiteral("+H +CR"));
            return 0;
        } catch (const platform::Error &e) {
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
    }
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == QLatin1String("--rtf"))
        return writeAll(args[2], exportText(QStringLiteral("Total"), bench::vbText(args[3].toLongLong() * 1'000'000),
                                            Field::Code, Format::Rtf))
                   ? 0
                   : 1;
    if (args.size() == 4 && args[1] == QLatin1String("--page"))
        return page(args[2], args[3] == QLatin1String("learn"));

    std::setvbuf(stdout, nullptr, _IONBF, 0);
    QTemporaryDir dir;
    const QString unrtf = QStandardPaths::findExecutable(QStringLiteral("unrtf"));
    for (const qsizetype bytes : {qsizetype(1'000'000), qsizetype(10'000'000)}) {
        const QString text = bench::vbText(bytes);
        const QString rtfPath = dir.filePath(QStringLiteral("snippet.rtf"));
        const QByteArray rtf = exportText(QStringLiteral("Total"), text, Field::Code, Format::Rtf);
        writeAll(rtfPath, rtf);

        // In the program: the save-as of the web page, from the snippet's text to the file.
        Time save;
        qsizetype htmlBytes = 0;
        for (int round = 0; round < 5; ++round) {
            QElapsedTimer t;
            t.start();
            const double cpu0 = cpuMs();
            const QByteArray html = exportText(QStringLiteral("Total"), text, Field::Code, Format::Html);
            writeAll(dir.filePath(QStringLiteral("snippet.html")), html);
            const double cpu = cpuMs() - cpu0, wall = t.nsecsElapsed() / 1e6;
            save.wall = round == 0 ? wall : std::min(save.wall, wall);
            save.cpu = round == 0 ? cpu : std::min(save.cpu, cpu);
            htmlBytes = html.size();
        }
        const Time own = processTime(app.applicationFilePath(),
                                     {QStringLiteral("--convert"), rtfPath, dir.filePath(QStringLiteral("p.html"))},
                                     QStringLiteral("/dev/null"));
        const Time raw = unrtf.isEmpty() ? Time{}
                                         : processTime(unrtf, {QStringLiteral("--html"), rtfPath},
                                                       dir.filePath(QStringLiteral("unrtf.html")));
        std::printf("%4.1f MB snippet (RTF %5.2f MB, HTML %5.2f MB), wall / cpu ms:\n", bytes / 1e6, rtf.size() / 1e6,
                    htmlBytes / 1e6);
        std::printf("  save as HTML in the program   %8.1f / %8.1f\n", save.wall, save.cpu);
        std::printf("  RTF->HTML as its own process  %8.1f / %8.1f\n", own.wall, own.cpu);
        if (raw.wall < 0)
            std::printf("  unrtf --html                  not available\n");
        else
            std::printf("  unrtf --html                  %8.1f / %8.1f  = %5.1fx / %5.1fx the save-as, %5.1fx / %5.1fx "
                        "the process\n",
                        raw.wall, raw.cpu, raw.wall / save.wall, raw.cpu / save.cpu, raw.wall / own.wall,
                        raw.cpu / own.cpu);
    }
    return 0;
}
