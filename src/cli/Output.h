#pragma once
// What the command line writes: results on standard output (UTF-8), messages on standard error
// in the user's language, progress only when standard error is a terminal.
#include <QByteArray>
#include <QString>

namespace cli {

// Whether messages are to be Arabic: the user's locale is.
bool arabicMessages();
// The Arabic text under an Arabic locale, else the English one.
QString say(const QString &english, const QString &arabic);

// One line of plain output holds no tab or line break of a title or name.
QString oneLine(const QString &text);

void out(const QString &text);
void outBytes(const QByteArray &bytes);
void error(const QString &message);

// "done/total" on one line of a terminal, redrawn in place; nothing in a pipe.
class Progress
{
public:
    explicit Progress(const QString &what);
    ~Progress();
    void show(qint64 done, qint64 total);

private:
    QString m_what;
    bool m_terminal = false;
    bool m_shown = false;
    qint64 m_lastMs = -1;
};

} // namespace cli
