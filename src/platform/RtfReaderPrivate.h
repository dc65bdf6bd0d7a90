#pragma once
// What the parts of the RTF reader share: the state a group carries, the control words it knows
// and the reader itself. Only the reader's own files include this.
//   RtfReaderTokens.cpp        splits the text into groups, control words, escapes and characters
//   RtfReaderDestinations.cpp  what a control word or a character does where it appears
//   RtfReaderTables.cpp        the font and colour tables, and the code page escapes are read in
//   RtfReader.cpp              building the document from what the others read
#include "platform/RtfAlign.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QString>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFormat>

#include <vector>

namespace platform::rtfreader {

enum class Destination { Body, FontTable, ColourTable, Skip };

struct CharState {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool hidden = false;
    int colour = -1; // index into the colour table, -1 = automatic
    int font = -1;
    int size = 24; // half-points
    bool operator==(const CharState &) const = default;
};

struct ParaState {
    int direction = 0; // 0 automatic, 1 left to right, 2 right to left
    RtfAlign align = RtfAlign::None;
    bool operator==(const ParaState &) const = default;
};

struct GroupState {
    CharState chars;
    ParaState para;
    Destination destination = Destination::Body;
    int unicodeSkip = 1; // \ucN
};

struct FontEntry {
    QString name;
    int charset = -1;
    bool fixed = false;
};

// Windows code page used by a font character set, 0 when the document's own applies.
int codePageOfCharset(int charset);

enum class Word {
    Unknown,
    SkipDestination,
    FontTable,
    ColourTable,
    AnsiCodePage,
    DefaultFont,
    UnicodeSkip,
    Unicode,
    Par,
    Line,
    Tab,
    Symbol,
    Plain,
    Bold,
    Italic,
    Underline,
    UnderlineNone,
    Strike,
    Hidden,
    Colour,
    Font,
    FontSize,
    FontCharset,
    FontModern,
    Pard,
    RtlPar,
    LtrPar,
    AlignLeft,
    AlignRight,
    AlignCenter,
    AlignJustify,
    Red,
    Green,
    Blue,
};

struct WordInfo {
    Word word = Word::Unknown;
    char16_t symbol = 0;
};

// The control words the reader acts on, by name; any other is Word::Unknown.
const QHash<QString, WordInfo> &wordTable();

class Reader
{
public:
    Reader(const QString &rtf, QTextDocument *document)
        : m_rtf(rtf)
        , m_document(document)
        , m_cursor(document)
        , m_defaultFamily(document->defaultFont().family())
    { }

    void run();

private:
    // Tokens
    void skipGroup();

    // Destinations
    void controlWord(const WordInfo &info, bool hasParam, int param);
    void controlSymbol(QChar symbol);
    void text(QChar c);
    void text(QStringView s);
    void hexByte(unsigned char byte);
    void flushBytes();

    // Tables
    void fontTableWord(const WordInfo &info, int param);
    void colourTableWord(const WordInfo &info, int param);
    void fontTableText(QStringView s);
    void colourTableText(QStringView s);
    void commitColour();
    int codePage() const;

    // Output
    void beginContent();
    void startFirstParagraph();
    void paragraphBreak();
    void flushText();
    void finish();
    QTextCharFormat charFormat(const CharState &state) const;
    QTextBlockFormat blockFormat(const ParaState &state) const;

    const QString &m_rtf;
    qsizetype m_pos = 0;
    QTextDocument *m_document;
    QTextCursor m_cursor;
    QString m_defaultFamily;
    QString m_word; // reused so reading a control word allocates nothing

    std::vector<GroupState> m_stack;
    GroupState m_state;
    int m_skipFallback = 0; // characters of a \u fallback still to skip

    int m_ansiCodePage = 1252;
    int m_defaultFont = 0;
    QHash<int, FontEntry> m_fonts;
    int m_fontBeingDefined = -1;
    QList<QColor> m_colours;
    int m_red = -1, m_green = -1, m_blue = -1;

    QByteArray m_bytes; // consecutive \'hh escapes, decoded together (double-byte code pages)
    int m_bytesCodePage = 0;

    QString m_buffer; // text not yet in the document, all in m_bufferState
    CharState m_bufferState;
    bool m_started = false;
    int m_pendingBreaks = 0;
    ParaState m_appliedPara;
};

} // namespace platform::rtfreader
