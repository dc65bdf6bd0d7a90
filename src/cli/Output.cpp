#include "cli/Output.h"

#include <QDateTime>
#include <QLocale>

#include <cstdio>
#include <unistd.h>

namespace cli {

bool arabicMessages()
{
    static const bool arabic = QLocale::system().language() == QLocale::Arabic;
    return arabic;
}

QString say(const QString &english, const QString &arabic) { return arabicMessages() ? arabic : english; }

QString oneLine(const QString &text)
{
    QString s = text;
    for (QChar &c : s)
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    return s;
}

void outBytes(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

void out(const QString &text) { outBytes(text.toUtf8()); }

void error(const QString &message)
{
    std::fflush(stdout);
    const QByteArray bytes = (QStringLiteral("tamrisk-cli: ") + message + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
}

Progress::Progress(const QString &what)
    : m_what(what)
    , m_terminal(isatty(fileno(stderr)) != 0)
{ }

Progress::~Progress()
{
    if (m_shown)
        std::fputs("\n", stderr);
}

void Progress::show(qint64 done, qint64 total)
{
    if (!m_terminal)
        return;
    // Redrawn at most ten times a second, and always at the end.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (done < total && m_lastMs >= 0 && now - m_lastMs < 100)
        return;
    m_lastMs = now;
    m_shown = true;
    const QByteArray line = (QStringLiteral("\r") + m_what + QStringLiteral(" %1/%2").arg(done).arg(total)).toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

} // namespace cli
