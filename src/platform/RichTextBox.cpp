#include "platform/RichTextBox.h"

#include "platform/Rtf.h"
#include "platform/Text.h"

#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextLayout>

namespace platform {

namespace {
bool isWordChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_') || c.isMark(); }

// The layouts' formats of the characters from..to of source, merged into copy, whose
// position 0 is source's from.
void mergeLayoutFormats(const QTextDocument &source, int from, int to, QTextDocument &copy)
{
    QTextCursor c(&copy);
    for (QTextBlock b = source.findBlock(from); b.isValid() && b.position() < to; b = b.next()) {
        const QTextLayout *layout = b.layout();
        if (!layout)
            continue;
        for (const QTextLayout::FormatRange &r : layout->formats()) {
            const int start = std::max(from, b.position() + r.start);
            const int end = std::min(to, b.position() + r.start + r.length);
            if (start >= end)
                continue;
            c.setPosition(start - from);
            c.setPosition(end - from, QTextCursor::KeepAnchor);
            c.mergeCharFormat(r.format);
        }
    }
}

bool hasLayoutFormats(const QTextDocument &doc)
{
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        if (b.layout() && !b.layout()->formats().isEmpty())
            return true;
    return false;
}

// Code is drawn by a fixed-pitch face; Arabic in it (comments, strings) by an Arabic text face.
// A fixed-pitch face that has Arabic letters of its own draws them as typewriter cells, so
// such faces come after the Arabic face, and lead only when no other fixed-pitch face is there.
QStringList codeFamilies(const QString &preferred)
{
    static const QStringList fixedFaces = {QStringLiteral("Courier New (Arabic)"), QStringLiteral("Courier New"),
                                           QStringLiteral("Noto Sans Mono"), QStringLiteral("Liberation Mono"),
                                           QStringLiteral("DejaVu Sans Mono")};
    static const QStringList arabicFaces = {QStringLiteral("Noto Sans Arabic"), QStringLiteral("Noto Naskh Arabic"),
                                            QStringLiteral("Noto Kufi Arabic"), QStringLiteral("DejaVu Sans")};
    QStringList fixed = fixedFaces;
    if (!preferred.isEmpty()) {
        fixed.removeAll(preferred);
        fixed.prepend(preferred);
    }
    fixed.append(QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
    const QStringList installed = QFontDatabase::families();
    QStringList latinOnly, withArabic, arabic;
    for (const QString &f : fixed) {
        if (!installed.contains(f) || latinOnly.contains(f) || withArabic.contains(f))
            continue;
        (QFontDatabase::writingSystems(f).contains(QFontDatabase::Arabic) ? withArabic : latinOnly).append(f);
    }
    for (const QString &f : arabicFaces)
        if (installed.contains(f))
            arabic.append(f);
    QStringList families = latinOnly.isEmpty() ? withArabic + arabic : latinOnly + arabic + withArabic;
    // The face asked for is named even where it is missing (it is passed over there), so that
    // the text says what it was meant to be drawn in.
    if (!preferred.isEmpty() && !installed.contains(preferred))
        families.prepend(preferred);
    return families;
}

QFont fontOf(const QStringList &families, double pointSize)
{
    QFont font(families.value(0, QStringLiteral("monospace")));
    font.setFamilies(families);
    font.setPointSizeF(pointSize);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}
} // namespace

QFont codeFont(double pointSize)
{
    static const QStringList families = codeFamilies(QStringLiteral("Courier New (Arabic)"));
    return fontOf(families, pointSize);
}

QFont codeFont(const QString &preferredFamily, double pointSize)
{
    return fontOf(codeFamilies(preferredFamily), pointSize);
}

RichTextBox::RichTextBox(QWidget *parent)
    : QTextEdit(parent)
{
    setAcceptRichText(false);
    setUndoRedoEnabled(true);
}

QString RichTextBox::text() const { return withCrLf(document()->toPlainText()); }

void RichTextBox::setText(const QString &text)
{
    QString plain = text;
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    plain.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // Unformatted: the text takes the document's default font, set by setFontNameSize.
    document()->setPlainText(plain);
}

QString RichTextBox::textRTF() const
{
    if (m_finishFormatting)
        m_finishFormatting();
    if (!hasLayoutFormats(*document()))
        return documentToRtf(*document());
    QTextDocument copy;
    copy.setDefaultFont(document()->defaultFont());
    QTextCursor(&copy).insertFragment(QTextDocumentFragment(document()));
    mergeLayoutFormats(*document(), 0, document()->characterCount(), copy);
    return documentToRtf(copy);
}

void RichTextBox::setFinishFormatting(std::function<void()> finish) { m_finishFormatting = std::move(finish); }

void RichTextBox::setTextRTF(const QString &rtf)
{
    if (rtf.isEmpty()) {
        const QFont keep = document()->defaultFont();
        document()->clear();
        document()->setDefaultFont(keep);
        setCurrentCharFormat(QTextCharFormat());
        return;
    }
    if (!looksLikeRtf(rtf) || !rtfToDocument(rtf, document()))
        setText(rtf);
    keepLinesLeftToRight();
}

int RichTextBox::selStart() const { return textCursor().selectionStart(); }

int RichTextBox::selLength() const
{
    const QTextCursor c = textCursor();
    return c.selectionEnd() - c.selectionStart();
}

QString RichTextBox::selText() const
{
    QString s = textCursor().selectedText();
    s.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    s.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return withCrLf(s);
}

void RichTextBox::setSelText(const QString &text)
{
    QString plain = text;
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QTextCursor c = textCursor();
    c.insertText(plain);
    setTextCursor(c);
}

void RichTextBox::setSelColor(const QColor &color)
{
    QTextCharFormat f;
    f.setForeground(color);
    QTextCursor c = textCursor();
    if (c.hasSelection())
        c.mergeCharFormat(f);
    else
        mergeCurrentCharFormat(f);
}

int RichTextBox::find(const QString &needle, int start, bool wholeWord, bool matchCase)
{
    if (needle.isEmpty())
        return -1;
    const QString hay = document()->toPlainText();
    const Qt::CaseSensitivity cs = matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    qsizetype pos = std::max(0, start);
    while ((pos = hay.indexOf(needle, pos, cs)) >= 0) {
        const qsizetype end = pos + needle.size();
        const bool startOk = pos == 0 || !isWordChar(hay.at(pos - 1));
        const bool endOk = end >= hay.size() || !isWordChar(hay.at(end));
        if (!wholeWord || (startOk && endOk)) {
            QTextCursor c(document());
            c.setPosition(int(pos));
            c.setPosition(int(end), QTextCursor::KeepAnchor);
            setTextCursor(c);
            return int(pos);
        }
        ++pos;
    }
    return -1;
}

void RichTextBox::setFontNameSize(const QString &family, double pointSize)
{
    const QFont font = family.isEmpty() ? codeFont(pointSize) : codeFont(family, pointSize);
    document()->setDefaultFont(font);
    QTextCharFormat f;
    f.setFontFamilies(font.families());
    f.setFontPointSize(pointSize);
    QTextCursor all(document());
    all.select(QTextCursor::Document);
    all.mergeCharFormat(f);
    QTextCharFormat current = currentCharFormat();
    current.merge(f);
    setCurrentCharFormat(current);
}

void RichTextBox::setNoWrap() { setLineWrapMode(QTextEdit::NoWrap); }

void RichTextBox::setLeftToRightLines()
{
    setLayoutDirection(Qt::LeftToRight);
    // The document's own option rules every paragraph without a direction of its own: the
    // lines typed, pasted or loaded later as well as those there now.
    QTextOption option = document()->defaultTextOption();
    option.setTextDirection(Qt::LeftToRight);
    option.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    document()->setDefaultTextOption(option);
    m_leftToRightLines = true;
    keepLinesLeftToRight();
}

void RichTextBox::keepLinesLeftToRight()
{
    if (!m_leftToRightLines)
        return;
    // Rich text may bring paragraphs marked right to left.
    QTextCursor c(document());
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
        if (b.blockFormat().layoutDirection() != Qt::RightToLeft)
            continue;
        QTextBlockFormat f;
        f.setLayoutDirection(Qt::LeftToRight);
        f.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
        c.setPosition(b.position());
        c.mergeBlockFormat(f);
    }
}

void RichTextBox::loadFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(QStringLiteral("تعذر فتح الملف: ") + file.errorString());
    const QByteArray bytes = file.readAll();
    if (looksBinary(bytes))
        throw FileError(QStringLiteral("الملف ليس ملفاً نصياً ولا يمكن عرضه"));
    const QString text = decodeText(bytes);
    if (looksLikeRtf(text))
        setTextRTF(text);
    else
        setText(text);
}

void RichTextBox::printTo(QPrinter *printer, bool selectionOnly) const
{
    if (m_finishFormatting)
        m_finishFormatting();
    QTextDocument copy;
    // Lines keep the direction they are shown with (code left to right).
    copy.setDefaultTextOption(document()->defaultTextOption());
    if (selectionOnly && textCursor().hasSelection()) {
        QTextCursor c(&copy);
        c.insertFragment(textCursor().selection());
        mergeLayoutFormats(*document(), textCursor().selectionStart(), textCursor().selectionEnd(), copy);
    } else {
        copy.setHtml(document()->toHtml());
        mergeLayoutFormats(*document(), 0, document()->characterCount(), copy);
    }
    copy.setDefaultFont(document()->defaultFont());
    copy.print(printer);
}

void RichTextBox::mouseReleaseEvent(QMouseEvent *event)
{
    QTextEdit::mouseReleaseEvent(event);
    emit mouseReleased(event->button(), event->globalPosition().toPoint());
}

void RichTextBox::contextMenuEvent(QContextMenuEvent *event)
{
    // The windows show their own pop-up menus on the right button's release.
    event->accept();
}

} // namespace platform
