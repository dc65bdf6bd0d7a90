#pragma once
// What the message-box designer writes: a Visual Basic MsgBox statement in three forms
// (named constants, their numbers, one total), independent of any window.
#include <QList>
#include <QString>

namespace messages {

// The choices of the designer. The four option indexes are kept as the option clicks set them;
// the four flags are read from their check boxes when the code is built.
struct MsgBoxDesign {
    int buttonSet = 0; // 0..5
    int iconKind = 0; // 0 none, 1 critical, 2 question, 3 exclamation, 4 information
    int defaultButton = 0; // 0..3: first to fourth button
    int modality = 0; // 0 application, 1 system
    bool alignRight = true;
    bool rtlReading = true;
    bool setForeground = false;
    bool helpButton = false;
};

struct MsgBoxStyleText {
    QString constants; // "vbOKOnly + vbDefaultButton1 + vbApplicationModal ..."
    QString numbers; // "0 + 0 + 0 + 0 ..."
    int total = 0; // the style value the platform's message box takes
};

MsgBoxStyleText buildStyleText(const MsgBoxDesign &design);

// A Visual Basic string expression for the text: quotes doubled, each line break
// (CR LF, LF or CR) written as " & vbCrLf & ", so the statement always compiles.
QString vbStringExpression(const QString &text);

// MsgBox("message", style, "title")
QString msgBoxStatement(const QString &message, const QString &style, const QString &title);

// The seven lines of the output box, joined by CR LF, no line break after the last.
QString generatedCode(const MsgBoxDesign &design, const QString &message, const QString &title);

// Which of the four default-button options are enabled for a button set, with or without
// the help button (which counts as one more button).
QList<bool> enabledDefaultButtons(int buttonSet, bool helpButton);

} // namespace messages
