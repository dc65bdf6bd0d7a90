#pragma once
// Open and save dialogs that take the old platform's filter text
// ("description|pattern|description|pattern", filter index counted from 1).
// Tests answer them through FileDialogSeam.
#include <QList>
#include <QString>

class QWidget;

namespace platform {

struct FileDialogRequest {
    enum Kind { Open, Save };
    Kind kind = Open;
    QString title;
    QString filter;
    int filterIndex = 1;
    QString fileName; // proposed name
};

struct FileDialogResult {
    bool accepted = false;
    QString fileName;
    int filterIndex = 1; // 1-based, of the filter chosen
};

// Converts "desc|*.txt|desc2|*.a;*.b" into Qt's name filters, "desc (*.txt)" and "desc2 (*.a *.b)": the
// patterns are shown after each description, so a description does not repeat them.
QStringList qtNameFilters(const QString &filter);

FileDialogResult getOpenFileName(QWidget *parent, const QString &title, const QString &filter, int filterIndex = 1);
// Asks no overwrite question: callers that must ask do so themselves.
FileDialogResult getSaveFileName(QWidget *parent, const QString &title, const QString &filter, int filterIndex = 1,
                                 const QString &fileName = {});

class FileDialogSeam
{
public:
    static void enable(bool on = true);
    static bool enabled();
    // Answers are used first in, first out; without one the dialog is cancelled.
    static void setNextFileName(const QString &fileName, int filterIndex = 1);
    static void setNextCancel();
    static void clear();
    static const QList<FileDialogRequest> &requests();
};

} // namespace platform
