#pragma once
// One digit style for every number on screen: the locale's own digits (Arabic-Indic for most
// Arabic locales, Western for the others), whichever digits the text was formatted with.
#include <QString>

namespace platform {

// The text with every Western or Arabic-Indic digit written in the current locale's digits.
QString localDigits(const QString &text);

} // namespace platform
