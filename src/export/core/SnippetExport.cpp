#include "export/core/SnippetExport.h"

#include "export/core/LargeBuffer.h"
#include "export/core/RtfToHtml.h"
#include "export/core/SnippetRtf.h"
#include "highlight/Highlighter.h"
#include "platform/Text.h"
#include "store/Library.h"
#include "store/StoreError.h"

#include <QStringEncoder>

namespace exporting::core {

namespace {

QByteArray utf8(const QString &text)
{
    QStringEncoder encoder(QStringEncoder::Utf8);
    QByteArray bytes(encoder.requiredSpace(text.size()), Qt::Uninitialized);
    adviseLargeBuffer(bytes.constData(), bytes.size());
    char *end = encoder.appendToBuffer(bytes.data(), text);
    bytes.truncate(end - bytes.constData());
    return bytes;
}

// The converter ends a title at its first double quote, and escapes the rest itself.
QString titleOption(const QString &title)
{
    QString t = title;
    t.replace(QLatin1Char('"'), QChar(0x201D));
    t.replace(QLatin1Char('\r'), QLatin1Char(' '));
    t.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return QStringLiteral("+T=\"") + t + QLatin1Char('"');
}

} // namespace

std::optional<Format> formatNamed(const QString &name)
{
    if (name == QLatin1String("txt"))
        return Format::Text;
    if (name == QLatin1String("rtf"))
        return Format::Rtf;
    if (name == QLatin1String("html"))
        return Format::Html;
    return std::nullopt;
}

QByteArray exportText(const QString &title, const QString &text, Field field, Format format)
{
    return exportText(title, text, field, format, highlight::VisualBasic);
}

QByteArray exportText(const QString &title, const QString &text, Field field, Format format, const QString &language)
{
    switch (format) {
    case Format::Text:
        return (platform::withCrLf(text) + QStringLiteral("\r\n")).toUtf8();
    case Format::Rtf:
        // Everything outside ASCII is escaped in it.
        return snippetRtf(text, field == Field::Learn, language).toLatin1();
    case Format::Html: {
        QString html = rtfTohtml::ConvertRtfToHtml(snippetRtf(text, field == Field::Learn, language),
                                                   QStringLiteral("+H +CR ") + titleOption(title));
        html += QStringLiteral("\r\n");
        return utf8(html);
    }
    }
    return {};
}

QByteArray exportSnippet(const store::Snippet &snippet, Field field, Format format)
{
    return exportSnippet(snippet, field, format, highlight::VisualBasic);
}

QByteArray exportSnippet(const store::Snippet &snippet, Field field, Format format, const QString &language)
{
    const QVariant &value = field == Field::Code ? snippet.code : snippet.learn;
    return exportText(snippet.head.toString(), value.isNull() ? QString() : value.toString(), field, format, language);
}

QByteArray exportSnippet(store::Library &library, qint32 id, Field field, Format format)
{
    return exportSnippet(library, id, field, format, highlight::VisualBasic);
}

QByteArray exportSnippet(store::Library &library, qint32 id, Field field, Format format, const QString &language)
{
    const std::optional<store::Snippet> row = library.snippet(id);
    if (!row)
        throw store::StoreError(QStringLiteral("لا يوجد كود بالرقم ") + QString::number(id));
    return exportSnippet(*row, field, format, language);
}

} // namespace exporting::core
