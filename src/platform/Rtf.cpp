#include "platform/Rtf.h"

#include <QTextDocument>

// Placeholder until the real writer and reader land.
namespace platform {
QString documentToRtf(const QTextDocument &document) { return document.toPlainText(); }
bool rtfToDocument(const QString &rtf, QTextDocument *document)
{
    document->setPlainText(rtf);
    return true;
}
bool looksLikeRtf(const QString &text) { return text.startsWith(QLatin1String("{\\rtf")); }
} // namespace platform
