#pragma once
// The keyword rules of the export core, and the colour they are drawn in on screen.
#include "export/core/Keywords.h"

#include <QColor>

namespace browser {

using exporting::core::findKeywords;
using exporting::core::forEachKeyword;
using exporting::core::isWordCharacter;
using exporting::core::KeywordSpan;
using exporting::core::vbKeywords;

inline const QColor KeywordColor{QRgb(exporting::core::KeywordRgb)};

} // namespace browser
