#pragma once
// The command line's commands over the library (see usage()). Exit statuses: 0 done,
// 1 refused or not found, 2 bad usage.
#include <QStringList>

namespace cli {

enum Status { Done = 0, Refused = 1, BadUsage = 2 };

QString usage();
// arguments without the program's name.
int run(const QStringList &arguments);

} // namespace cli
