#pragma once
// The few colours code is drawn in, one per kind of capture of the highlight queries.
#include <QtGlobal>
#include <QStringView>

namespace highlight {

enum class Style : quint8 {
    None,
    Keyword,
    String,
    Comment,
    Number,
    Type,
    Function,
    Constant,
    Builtin,
    Operator,
    Property,
    Tag,
    Attribute,
};
inline constexpr int StyleCount = int(Style::Attribute) + 1;

// The colour of a style (Style::None has none: the text keeps its own). Keywords are the navy of
// the Visual Basic keywords; the others are dark enough for a light view and light enough to be
// told apart on a dark one.
unsigned colourOf(Style style); // 0xRRGGBB
// The style of a capture name ("keyword.control", "string.special", ...), by its longest known
// prefix; Style::None for the captures left in the text's colour (variables, punctuation, ...).
Style styleOfCapture(QStringView name);

} // namespace highlight
