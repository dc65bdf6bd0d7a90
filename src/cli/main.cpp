#include "cli/CommandLine.h"

#include <QCoreApplication>

namespace {

// Standard error holds this program's own messages only: Qt's drivers tell in English what the
// command then reports itself ("QSqlQuery::exec: database not open" on a lost server).
QtMessageHandler g_standard = nullptr;

void quietQt(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if ((type == QtCriticalMsg || type == QtFatalMsg) && g_standard)
        g_standard(type, context, message);
}

} // namespace

int main(int argc, char **argv)
{
    g_standard = qInstallMessageHandler(quietQt);
    QCoreApplication application(argc, argv);
    // The same name as the window program, so both find the same default library.
    QCoreApplication::setApplicationName(QStringLiteral("tamrisk"));
    return cli::run(QCoreApplication::arguments().mid(1));
}
