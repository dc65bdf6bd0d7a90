// Time to write the three statements for messages of growing size, quotes and line breaks included.
#include "messages/MsgBoxCode.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    for (int lines : {10, 1000, 100000}) {
        QString message;
        for (int i = 0; i < lines; ++i)
            message += QStringLiteral("سطر \"مقتبس\" رقم %1\n").arg(i);
        messages::MsgBoxDesign design;
        design.buttonSet = 3;
        design.iconKind = 2;
        QElapsedTimer timer;
        timer.start();
        const QString code = messages::generatedCode(design, message, QStringLiteral("عنوان"));
        std::printf("generatedCode, %6d message lines (%8lld chars out): %8.3f ms\n", lines,
                    static_cast<long long>(code.size()), timer.nsecsElapsed() / 1e6);
    }
    return 0;
}
