#pragma once
// Open and save dialogs that take filter text as every caller's filter constant is written
// ("description|pattern|description|pattern", filter index counted from 1).
// A dialog without a title gets "فتح" or "حفظ باسم". Tests answer them through FileDialogSeam.
#include "platform/TestSeam.h"

#include <QList>
#include <QString>

class QWidget;

namespace platform {

struct FileDialogRequest {
    enum Kind { Open, Save, Folder };
    Kind kind = Open;
    QString title;
    QString filter;
    int filterIndex = 1;
    QString fileName; // proposed name
    QString directory; // where it opens: the folder of the last file chosen, else the home folder
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

// A folder that exists; the answer's fileName is its path.
FileDialogResult getExistingFolder(QWidget *parent, const QString &title);

class FileDialogSeam : public TestSeam<FileDialogSeam, FileDialogRequest, FileDialogResult>
{
public:
    // Without an answer the dialog is cancelled.
    static void setNextFileName(const QString &fileName, int filterIndex = 1)
    {
        script(FileDialogResult{true, fileName, filterIndex});
    }
    static void setNextCancel() { script(FileDialogResult{}); }
};

} // namespace platform
