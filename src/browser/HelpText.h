#pragma once
#include <QString>

namespace browser {
// The short help page shown by the help command.
QString helpHtml();
} // namespace browser
