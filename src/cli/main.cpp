#include "cli/CommandLine.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    // The same name as the window program, so both find the same default library.
    QCoreApplication::setApplicationName(QStringLiteral("tamrisk"));
    return cli::run(QCoreApplication::arguments().mid(1));
}
