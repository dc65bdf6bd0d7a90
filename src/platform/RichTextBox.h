#pragma once
// The rich text control: the operations the windows rely on, over QTextEdit.
#include "platform/Error.h"

#include <QTextEdit>

#include <functional>

class QPrinter;

namespace platform {

class RichTextBox : public QTextEdit
{
    Q_OBJECT
public:
    explicit RichTextBox(QWidget *parent = nullptr);

    // Plain text: get gives CR LF line breaks; set replaces everything with unformatted text.
    QString text() const;
    void setText(const QString &text);
    // Rich text as RTF: set with "" clears content and formatting; set with non-RTF shows it plain.
    QString textRTF() const;
    void setTextRTF(const QString &rtf);

    int selStart() const;
    int selLength() const;
    QString selText() const;
    void setSelText(const QString &text);
    void setSelColor(const QColor &color);
    // Whole-word (letters, digits and '_' make a word) and case-sensitive find from start;
    // selects the match and returns its position, or -1.
    int find(const QString &text, int start, bool wholeWord, bool matchCase);

    // Applies to the present content and to text added later.
    void setFontNameSize(const QString &family, double pointSize);
    // A right margin past the box's width: lines never wrap.
    void setNoWrap();
    // Every line reads left to right from the left edge, whatever its first letters (code).
    void setLeftToRightLines();

    // An RTF file as rich text, any other file as plain text (encoding detected).
    // Throws FileError with an Arabic reason for a file that cannot be read or is not text.
    void loadFile(const QString &path);
    // The selection, or everything when nothing is selected, with its colours.
    void printTo(QPrinter *printer, bool selectionOnly) const;

    // For colours laid over the text in its blocks' layouts (as a highlighter lays them) rather
    // than in its own formats: finish is called first whenever the whole content is printed or
    // written as RTF, which then carry those colours as their own.
    void setFinishFormatting(std::function<void()> finish);

signals:
    void mouseReleased(Qt::MouseButton button, const QPoint &globalPos);

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void keepLinesLeftToRight();

    std::function<void()> m_finishFormatting;
    bool m_leftToRightLines = false;
};

// The code font: "Courier New (Arabic)" 10 when installed, else a fixed-pitch face for the code
// followed by an Arabic text face for the Arabic in it.
QFont codeFont(double pointSize = 10);
// The same with preferredFamily first among the fixed-pitch faces, when it is installed.
QFont codeFont(const QString &preferredFamily, double pointSize);

} // namespace platform
