#include "messages/MsgBoxCode.h"

#include "platform/MessageBox.h"

#include <QStringList>

namespace messages {

namespace {
const char *const ButtonConstants[] = {"vbOKOnly + ",      "vbOKCancel + ", "vbAbortRetryIgnore + ",
                                       "vbYesNoCancel + ", "vbYesNo + ",    "vbRetryCancel + "};
const char *const IconConstants[] = {"", "vbCritical + ", "vbQuestion + ", "vbExclamation + ", "vbInformation + "};
const char *const DefaultButtonConstants[] = {"vbDefaultButton1", "vbDefaultButton2", "vbDefaultButton3",
                                              "vbDefaultButton4"};
const char *const ModalityConstants[] = {" + vbApplicationModal", " + vbSystemModal"};

template <size_t N>
QString constantAt(const char *const (&table)[N], int index)
{
    return index >= 0 && size_t(index) < N ? QString::fromLatin1(table[index]) : QString();
}

const QString Plus = QStringLiteral(" + ");
} // namespace

MsgBoxStyleText buildStyleText(const MsgBoxDesign &d)
{
    MsgBoxStyleText out;
    const int icon = d.iconKind * 16;
    const int defaultButton = d.defaultButton * 256;
    const int modality = d.modality * 4096;
    out.numbers = QString::number(d.buttonSet) + Plus + QString::number(icon) + Plus + QString::number(defaultButton)
                  + Plus + QString::number(modality);
    out.total = d.buttonSet + icon + defaultButton + modality;
    out.constants = constantAt(ButtonConstants, d.buttonSet) + constantAt(IconConstants, d.iconKind)
                    + constantAt(DefaultButtonConstants, d.defaultButton) + constantAt(ModalityConstants, d.modality);

    const struct {
        bool on;
        const char *constant;
        int value;
    } extras[] = {
        {d.alignRight, " + vbMsgBoxRight", platform::mb::Right},
        {d.rtlReading, " + vbMsgBoxRtlReading", platform::mb::RtlReading},
        {d.setForeground, " + vbMsgBoxSetForeground", platform::mb::SetForeground},
        {d.helpButton, " + vbMsgBoxHelpButton", platform::mb::HelpButton},
    };
    for (const auto &extra : extras) {
        if (!extra.on)
            continue;
        out.constants += QString::fromLatin1(extra.constant);
        out.numbers += Plus + QString::number(extra.value);
        out.total += extra.value;
    }
    return out;
}

QString vbStringExpression(const QString &text)
{
    QString body = text;
    body.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    body.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    body.replace(QLatin1Char('\n'), QStringLiteral("\" & vbCrLf & \""));
    return QLatin1Char('"') + body + QLatin1Char('"');
}

QString msgBoxStatement(const QString &message, const QString &style, const QString &title)
{
    return QStringLiteral("MsgBox(") + vbStringExpression(message) + QStringLiteral(", ") + style + QStringLiteral(", ")
           + vbStringExpression(title) + QLatin1Char(')');
}

QString generatedCode(const MsgBoxDesign &design, const QString &message, const QString &title)
{
    const MsgBoxStyleText style = buildStyleText(design);
    const QStringList lines = {
        QStringLiteral("كقيمة نصية : "),
        msgBoxStatement(message, style.constants, title),
        QString(),
        QStringLiteral("كقيمة رقيمة : "),
        msgBoxStatement(message, style.numbers, title),
        QStringLiteral("كرقم واحد : "),
        msgBoxStatement(message, QString::number(style.total), title),
    };
    return lines.join(QStringLiteral("\r\n"));
}

QList<bool> enabledDefaultButtons(int buttonSet, bool helpButton)
{
    QList<bool> enabled = {true, false, false, false};
    if (buttonSet != 0)
        enabled[1] = true;
    if (buttonSet == 2 || buttonSet == 3)
        enabled[2] = true;
    if (helpButton) {
        for (int i = 1; i < 4; ++i) {
            if (!enabled[i]) {
                enabled[i] = true;
                break;
            }
        }
    }
    return enabled;
}

} // namespace messages
