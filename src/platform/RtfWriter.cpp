#include "platform/RtfWriter.h"

#include "platform/RtfAlign.h"
#include "platform/RtfText.h"

#include <QFontDatabase>
#include <QHash>
#include <QTextBlock>
#include <QTextDocument>

namespace platform {

namespace {

// A font name may not carry the characters that delimit the font table.
QString cleanFontName(const QString &name)
{
    QString clean;
    clean.reserve(name.size());
    for (const QChar c : name)
        if (c != QLatin1Char(';') && c != QLatin1Char('{') && c != QLatin1Char('}') && c != QLatin1Char('\\'))
            clean.append(c);
    return clean.trimmed();
}

QString firstFamily(const QTextCharFormat &format, const QString &fallback)
{
    const QVariant families = format.property(QTextFormat::FontFamilies);
    if (families.isValid()) {
        const QStringList list = families.toStringList();
        if (!list.isEmpty() && !list.first().isEmpty())
            return list.first();
    }
    if (format.hasProperty(QTextFormat::FontFamily)) {
        const QString family = format.stringProperty(QTextFormat::FontFamily);
        if (!family.isEmpty())
            return family;
    }
    return fallback;
}

int halfPoints(double pointSize) { return pointSize > 0 ? qRound(pointSize * 2) : 24; }

void appendParagraphProperties(QString &out, const QTextBlockFormat &format)
{
    out.append(QLatin1String("\\pard"));
    switch (format.layoutDirection()) {
    case Qt::RightToLeft:
        out.append(QLatin1String("\\rtlpar"));
        break;
    case Qt::LeftToRight:
        out.append(QLatin1String("\\ltrpar"));
        break;
    default:
        break;
    }
    switch (rtfAlignOf(format)) {
    case RtfAlign::Left:
        out.append(QLatin1String("\\ql"));
        break;
    case RtfAlign::Right:
        out.append(QLatin1String("\\qr"));
        break;
    case RtfAlign::Center:
        out.append(QLatin1String("\\qc"));
        break;
    case RtfAlign::Justify:
        out.append(QLatin1String("\\qj"));
        break;
    case RtfAlign::None:
        break;
    }
}

bool sameParagraphProperties(const QTextBlockFormat &a, const QTextBlockFormat &b)
{
    return a.layoutDirection() == b.layoutDirection() && rtfAlignOf(a) == rtfAlignOf(b);
}

// What the writer needs of a character format.
struct RunStyle {
    int colour = 0;
    int font = 0;
    int size = 24;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool sameSwitches(const RunStyle &o) const
    {
        return bold == o.bold && italic == o.italic && underline == o.underline && strike == o.strike;
    }
    bool anySwitch() const { return bold || italic || underline || strike; }
};

} // namespace

QString documentToRtf(const QTextDocument &document)
{
    const QFont defaultFont = document.defaultFont();
    const QString defaultFamily = defaultFont.family();
    const int defaultSize = halfPoints(defaultFont.pointSizeF());

    // Entry 0 of the colour table is a real colour (black, for text without a colour of its
    // own) rather than the usual empty "auto" entry: the HTML export numbers colours by their
    // \red entries, and this way both it and ordinary readers agree on every \cfN.
    QList<QRgb> colours{qRgb(0, 0, 0)};
    QHash<QRgb, int> colourIndex{{qRgb(0, 0, 0), 0}};
    QStringList fonts{defaultFamily};
    QHash<QString, int> fontIndex{{defaultFamily, 0}};
    QHash<int, RunStyle> styles; // by the document's format index

    auto styleOf = [&](const QTextFragment &fragment) {
        const int formatIndex = fragment.charFormatIndex();
        const auto found = styles.constFind(formatIndex);
        if (found != styles.constEnd())
            return *found;
        const QTextCharFormat format = fragment.charFormat();
        RunStyle style;
        QRgb rgb = qRgb(0, 0, 0);
        if (format.hasProperty(QTextFormat::ForegroundBrush)) {
            const QBrush brush = format.foreground();
            if (brush.style() != Qt::NoBrush)
                rgb = brush.color().rgb() | 0xFF000000u;
        }
        style.colour = colourIndex.value(rgb, -1);
        if (style.colour < 0) {
            style.colour = int(colours.size());
            colours.append(rgb);
            colourIndex.insert(rgb, style.colour);
        }
        const QString family = cleanFontName(firstFamily(format, defaultFamily));
        style.font = fontIndex.value(family, -1);
        if (style.font < 0) {
            style.font = int(fonts.size());
            fonts.append(family);
            fontIndex.insert(family, style.font);
        }
        style.size = format.hasProperty(QTextFormat::FontPointSize) ? halfPoints(format.fontPointSize()) : defaultSize;
        style.bold = format.fontWeight() > QFont::Medium;
        style.italic = format.fontItalic();
        style.underline = format.fontUnderline();
        style.strike = format.fontStrikeOut();
        styles.insert(formatIndex, style);
        return style;
    };

    const QString raw = document.toRawText();
    QString body;
    qsizetype escapes = 0;
    for (const QChar c : raw)
        escapes += c.unicode() >= 0x7F || c.unicode() < 0x20;
    // Room for each \uN\'HH and each paragraph's "\r\n\par ", so the body is not copied as it grows.
    body.reserve(raw.size() + escapes * 13 + document.blockCount() * 8 + 256);
    body.append(QLatin1String("\\deflang1025\\viewkind4\\uc1"));

    int curColour = -1;
    int curFont = -1;
    int curSize = -1;
    int previousBlockFormat = -1;
    QTextBlockFormat previousFormat;

    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block.blockFormatIndex() != previousBlockFormat) {
            const QTextBlockFormat blockFormat = block.blockFormat();
            if (previousBlockFormat < 0 || !sameParagraphProperties(blockFormat, previousFormat)) {
                appendParagraphProperties(body, blockFormat);
                body.append(QLatin1Char(' '));
            }
            previousBlockFormat = block.blockFormatIndex();
            previousFormat = blockFormat;
        }

        // Colour, font and size stay at the top level (the HTML export only ends bold,
        // italic and the like at a "}"); those switches get a group of their own.
        bool groupOpen = false;
        RunStyle open;
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            const RunStyle style = styleOf(fragment);
            if (groupOpen
                && (!style.sameSwitches(open) || style.font != curFont || style.size != curSize
                    || style.colour != curColour)) {
                body.append(QLatin1Char('}'));
                groupOpen = false;
            }
            bool wrote = false;
            if (style.font != curFont) {
                body.append(QLatin1String("\\f"));
                appendRtfNumber(body, style.font);
                curFont = style.font;
                wrote = true;
            }
            if (style.size != curSize) {
                body.append(QLatin1String("\\fs"));
                appendRtfNumber(body, style.size);
                curSize = style.size;
                wrote = true;
            }
            if (style.colour != curColour) {
                body.append(QLatin1String("\\cf"));
                appendRtfNumber(body, style.colour);
                curColour = style.colour;
                wrote = true;
            }
            if (wrote)
                body.append(QLatin1Char(' '));
            if (!groupOpen && style.anySwitch()) {
                body.append(QLatin1Char('{'));
                if (style.bold)
                    body.append(QLatin1String("\\b"));
                if (style.italic)
                    body.append(QLatin1String("\\i"));
                if (style.underline)
                    body.append(QLatin1String("\\ul"));
                if (style.strike)
                    body.append(QLatin1String("\\strike"));
                body.append(QLatin1Char(' '));
                groupOpen = true;
                open = style;
            }
            appendRtfText(body, QStringView(raw).mid(fragment.position(), fragment.length()));
        }
        if (groupOpen)
            body.append(QLatin1Char('}'));
        // Every paragraph, the last one included, ends with a line-initial \par.
        body.append(QLatin1String("\r\n\\par "));
    }
    body.append(QLatin1Char('}'));

    QString header;
    header.reserve(256 + fonts.size() * 48 + colours.size() * 32);
    header.append(QLatin1String("{\\rtf1\\ansi\\ansicpg1256\\deff0{\\fonttbl"));
    for (qsizetype i = 0; i < fonts.size(); ++i) {
        const bool fixed = QFontDatabase::isFixedPitch(fonts.at(i))
                           || (i == 0 && (defaultFont.fixedPitch() || defaultFont.styleHint() == QFont::TypeWriter));
        header.append(QLatin1String("{\\f"));
        appendRtfNumber(header, i);
        header.append(fixed ? QLatin1String("\\fmodern") : QLatin1String("\\fnil"));
        header.append(QLatin1String("\\fcharset0 "));
        appendRtfText(header, fonts.at(i));
        header.append(QLatin1String(";}"));
    }
    header.append(QLatin1String("}\r\n{\\colortbl"));
    for (const QRgb rgb : colours) {
        header.append(QLatin1String("\\red"));
        appendRtfNumber(header, qRed(rgb));
        header.append(QLatin1String("\\green"));
        appendRtfNumber(header, qGreen(rgb));
        header.append(QLatin1String("\\blue"));
        appendRtfNumber(header, qBlue(rgb));
        header.append(QLatin1Char(';'));
    }
    header.append(QLatin1String("}\r\n"));

    QString result;
    result.reserve(header.size() + body.size());
    result.append(header);
    result.append(body);
    return result;
}

} // namespace platform
