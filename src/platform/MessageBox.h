#pragma once
// The platform's modal message box, asked for by style number (buttons 0-5, icons 16/32/48/64,
// default button, modality, MB_RIGHT, MB_RTLREADING, help button, foreground) and answering with
// result numbers 1-7: the numbers the message-box code generator writes into the code it makes.
// Tests replace the box through MessageBoxSeam: every request is recorded and the answer is scripted.
#include "platform/TestSeam.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

class QWidget;

namespace platform {

namespace mb {
// Button sets.
constexpr int OkOnly = 0, OkCancel = 1, AbortRetryIgnore = 2, YesNoCancel = 3, YesNo = 4, RetryCancel = 5;
// Icons.
constexpr int Critical = 16, Question = 32, Exclamation = 48, Information = 64;
// Default button, modality and extra flags.
constexpr int DefaultButton1 = 0, DefaultButton2 = 0x100, DefaultButton3 = 0x200, DefaultButton4 = 0x300;
constexpr int ApplicationModal = 0, SystemModal = 0x1000;
constexpr int HelpButton = 0x4000, SetForeground = 0x10000, Right = 0x80000, RtlReading = 0x100000;
// Results.
constexpr int OK = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7;

constexpr int buttonsOf(int style) { return style & 0xF; }
constexpr int iconOf(int style) { return style & 0xF0; }
constexpr int defaultButtonOf(int style) { return style & 0xF00; }
} // namespace mb

// Result numbers of the buttons of a set, in the order they are shown.
QList<int> buttonResults(int buttonSet);

// Shows a modal message box and returns the result number of the pressed button.
// buttonCaptions replaces the captions of the buttons by result number (empty: the system's).
int showMessageBox(QWidget *owner, const QString &prompt, const QString &title, int style,
                   const QMap<int, QString> &buttonCaptions = {});

// Plain platform message box with the system's captions.
inline int plainMessageBox(QWidget *owner, const QString &prompt, const QString &title, int style = mb::OkOnly)
{
    return showMessageBox(owner, prompt, title, style);
}

// The program's own boxes show these Arabic captions, by result number 1-7.
const QMap<int, QString> &arabicButtonCaptions();

// The program's error box: OK, critical icon, this title, right-to-left with the Arabic captions.
// Here rather than with the other Arabic boxes (messages), so that every library can report a failure.
inline const QString ErrorBoxTitle = QStringLiteral("رسالة خطأ");
void showErrorBox(QWidget *owner, const QString &prompt);

struct MessageBoxRecord {
    QString prompt;
    QString title;
    int style = 0;
    QMap<int, QString> captions; // empty for the plain box
    QStringList shown; // the buttons' captions as shown, in order
    int buttons() const { return mb::buttonsOf(style); }
    int icon() const { return mb::iconOf(style); }
    bool arabic() const { return !captions.isEmpty(); }
};

// Test seam: while enabled no box is shown; each request is recorded and answered from the script.
class MessageBoxSeam : public TestSeam<MessageBoxSeam, MessageBoxRecord, int>
{
public:
    using Record = MessageBoxRecord;

    // Without an answer the box's default button answers.
    static void setNextAnswer(int result) { script(result); }
    // Drops the hook as well.
    static void clear();
    static const QList<Record> &records() { return requests(); }
    static int count() { return int(requests().size()); }
    static Record last() { return requests().isEmpty() ? Record{} : requests().last(); }
    // Called with each request while enabled, before the answer is taken (may queue answers).
    static void setHook(void (*hook)(const Record &));
};

} // namespace platform
