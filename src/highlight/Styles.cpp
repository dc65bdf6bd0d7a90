#include "highlight/Styles.h"

#include <array>

namespace highlight {

unsigned colourOf(Style style)
{
    static constexpr std::array<unsigned, StyleCount> colours{
        0x000000, // None
        0x000080, // Keyword: the navy of the Visual Basic keywords
        0xA31515, // String
        0x3A7F2A, // Comment
        0x0E7C6B, // Number
        0x2B7BA8, // Type
        0x8A5A00, // Function
        0x1F5FBF, // Constant
        0x9A2FB8, // Builtin
        0x6A6A6A, // Operator
        0x2F6F8F, // Property
        0x8B1A1A, // Tag
        0xC0461A, // Attribute
    };
    return colours[size_t(style)];
}

Style styleOfCapture(QStringView name)
{
    struct Rule {
        const char16_t *prefix;
        Style style;
    };
    // Longer prefixes first where one name starts another.
    static constexpr Rule rules[] = {
        {u"variable.builtin", Style::Builtin},
        {u"function.builtin", Style::Builtin},
        {u"constant.builtin", Style::Constant},
        {u"type.builtin", Style::Type},
        {u"punctuation.special", Style::Operator},
        {u"keyword", Style::Keyword},
        {u"conditional", Style::Keyword},
        {u"repeat", Style::Keyword},
        {u"exception", Style::Keyword},
        {u"include", Style::Keyword},
        {u"storageclass", Style::Keyword},
        {u"string", Style::String},
        {u"character", Style::String},
        {u"escape", Style::String},
        {u"comment", Style::Comment},
        {u"number", Style::Number},
        {u"float", Style::Number},
        {u"type", Style::Type},
        {u"constructor", Style::Type},
        {u"module", Style::Type},
        {u"namespace", Style::Type},
        {u"function", Style::Function},
        {u"method", Style::Function},
        {u"constant", Style::Constant},
        {u"boolean", Style::Constant},
        {u"label", Style::Constant},
        {u"operator", Style::Operator},
        {u"property", Style::Property},
        {u"field", Style::Property},
        {u"tag", Style::Tag},
        {u"attribute", Style::Attribute},
    };
    for (const Rule &rule : rules) {
        const QStringView prefix(rule.prefix);
        if (name.startsWith(prefix) && (name.size() == prefix.size() || name[prefix.size()] == u'.'))
            return rule.style;
    }
    return Style::None;
}

} // namespace highlight
