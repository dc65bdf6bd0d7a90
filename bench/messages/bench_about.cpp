// Opening the about box and one scroll step (tick plus repaint) with credits files of growing
// length: every applied package adds four lines, and nothing ever trims the file.
#include "about/Credits.h"
#include "about/FrmAbout.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    app.setLayoutDirection(Qt::RightToLeft);
    platform::MessageBoxSeam::enable();
    for (int entries : {10, 100, 1000, 5000}) {
        QTemporaryDir dir;
        QByteArray credits = about::defaultCredits();
        for (int i = 0; i < entries; ++i)
            credits +=
                QStringLiteral("2024/01/%1\r\nحزمة رقم %2\r\nملاحظات الحزمة\r\n\r\n").arg(i % 28 + 1).arg(i).toUtf8();
        QFile file(about::creditsPath(dir.path()));
        file.open(QIODevice::WriteOnly);
        file.write(credits);
        file.close();

        QElapsedTimer timer;
        timer.start();
        about::FrmAbout box(dir.path());
        box.show();
        QCoreApplication::processEvents();
        const double openMs = timer.nsecsElapsed() / 1e6;

        const int steps = 100;
        timer.restart();
        for (int i = 0; i < steps; ++i) {
            box.AboutScrollTick();
            box.repaint();
        }
        const double stepMs = timer.nsecsElapsed() / 1e6 / steps;
        std::printf("credits %5d entries (label %7d px high): open %8.2f ms, tick+repaint %7.3f ms (budget 20 ms)\n",
                    entries, box.Label1()->height(), openMs, stepMs);
        std::fflush(stdout);
        box.close();
    }
    return 0;
}
