#include "platform/MessageBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QHash>
#include <QMessageBox>
#include <QPushButton>

namespace platform {

namespace {
void (*g_seamHook)(const MessageBoxSeam::Record &) = nullptr;

int defaultResult(int style)
{
    const QList<int> results = buttonResults(mb::buttonsOf(style));
    const int index = mb::defaultButtonOf(style) >> 8;
    return index < results.size() ? results.at(index) : results.first();
}

QMessageBox::ButtonRole roleFor(int result)
{
    switch (result) {
    case mb::OK:
    case mb::Yes:
    case mb::Retry:
        return QMessageBox::AcceptRole;
    case mb::No:
        return QMessageBox::NoRole;
    case mb::Cancel:
    case mb::Abort:
        return QMessageBox::RejectRole;
    default:
        return QMessageBox::ActionRole;
    }
}

// The platform's own captions: Qt keeps them, and their translations, under QPlatformTheme.
QString systemCaption(int result)
{
    switch (result) {
    case mb::OK:
        return QCoreApplication::translate("QPlatformTheme", "OK");
    case mb::Cancel:
        return QCoreApplication::translate("QPlatformTheme", "Cancel");
    case mb::Abort:
        return QCoreApplication::translate("QPlatformTheme", "Abort");
    case mb::Retry:
        return QCoreApplication::translate("QPlatformTheme", "Retry");
    case mb::Ignore:
        return QCoreApplication::translate("QPlatformTheme", "Ignore");
    case mb::Yes:
        return QCoreApplication::translate("QPlatformTheme", "&Yes");
    case mb::No:
        return QCoreApplication::translate("QPlatformTheme", "&No");
    }
    return {};
}
} // namespace

QList<int> buttonResults(int buttonSet)
{
    switch (buttonSet) {
    case mb::OkCancel:
        return {mb::OK, mb::Cancel};
    case mb::AbortRetryIgnore:
        return {mb::Abort, mb::Retry, mb::Ignore};
    case mb::YesNoCancel:
        return {mb::Yes, mb::No, mb::Cancel};
    case mb::YesNo:
        return {mb::Yes, mb::No};
    case mb::RetryCancel:
        return {mb::Retry, mb::Cancel};
    default:
        return {mb::OK};
    }
}

int showMessageBox(QWidget *owner, const QString &prompt, const QString &title, int style,
                   const QMap<int, QString> &buttonCaptions)
{
    if (MessageBoxSeam::enabled()) {
        MessageBoxSeam::Record record{prompt, title, style, buttonCaptions, {}};
        for (int result : buttonResults(mb::buttonsOf(style)))
            record.shown.append(buttonCaptions.value(result, systemCaption(result)));
        MessageBoxSeam::record(record);
        if (g_seamHook)
            g_seamHook(record);
        return MessageBoxSeam::takeAnswer(defaultResult(style));
    }

    QMessageBox box(owner);
    box.setWindowTitle(title);
    box.setText(prompt);
    box.setTextFormat(Qt::PlainText);
    switch (mb::iconOf(style)) {
    case mb::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case mb::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case mb::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case mb::Information:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }
    // The icon is a picture only; screen readers are told what it says.
    if (auto *icon = box.findChild<QLabel *>(QStringLiteral("qt_msgboxex_icon_label"))) {
        static const QHash<int, QString> iconNames = {{mb::Critical, QStringLiteral("خطأ")},
                                                      {mb::Question, QStringLiteral("استفهام")},
                                                      {mb::Exclamation, QStringLiteral("تحذير")},
                                                      {mb::Information, QStringLiteral("معلومات")}};
        icon->setAccessibleName(iconNames.value(mb::iconOf(style)));
    }
    const bool rtl = (style & mb::RtlReading) != 0;
    box.setLayoutDirection(rtl ? Qt::RightToLeft : Qt::LeftToRight);
    if (auto *label = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))) {
        // With right-to-left reading the mirrored layout already puts "leading" on the right.
        const bool right = (style & mb::Right) != 0;
        label->setAlignment(Qt::AlignVCenter | (right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignAbsolute);
    }

    QMap<QAbstractButton *, int> results;
    const QList<int> set = buttonResults(mb::buttonsOf(style));
    for (int result : set) {
        const QString caption = buttonCaptions.value(result, systemCaption(result));
        QPushButton *button = box.addButton(caption, roleFor(result));
        button->setObjectName(QStringLiteral("button%1").arg(result));
        results.insert(button, result);
    }
    QPushButton *help = nullptr;
    if (style & mb::HelpButton) {
        help = box.addButton(QCoreApplication::translate("QPlatformTheme", "Help"), QMessageBox::HelpRole);
        // Help must not answer the box: it stays open when help is pressed.
        help->disconnect();
    }
    const int defaultIndex = mb::defaultButtonOf(style) >> 8;
    QList<QAbstractButton *> ordered;
    for (int result : set)
        ordered.append(results.key(result));
    if (help)
        ordered.append(help);
    if (defaultIndex < ordered.size())
        box.setDefaultButton(qobject_cast<QPushButton *>(ordered.at(defaultIndex)));
    if (set.contains(mb::Cancel))
        box.setEscapeButton(results.key(mb::Cancel));
    else if (set.size() == 1)
        box.setEscapeButton(results.key(set.first()));

    box.setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    if (style & mb::SystemModal)
        box.setWindowModality(Qt::ApplicationModal);
    if (style & mb::SetForeground) {
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
    }
    box.exec();
    if (style & mb::SetForeground)
        box.activateWindow();
    const int result = results.value(box.clickedButton(), 0);
    if (result)
        return result;
    // Closed by the title bar, which answers no button: Cancel where the set has one, else the first.
    return set.contains(mb::Cancel) ? mb::Cancel : set.first();
}

const QMap<int, QString> &arabicButtonCaptions()
{
    static const QMap<int, QString> captions = {
        {mb::OK, QStringLiteral("موافق")},     {mb::Cancel, QStringLiteral("إلغاء الأمر")},
        {mb::Abort, QStringLiteral("إحباط")},  {mb::Retry, QStringLiteral("إعادة المحاولة")},
        {mb::Ignore, QStringLiteral("تجاهل")}, {mb::Yes, QStringLiteral("نعم")},
        {mb::No, QStringLiteral("لا")},
    };
    return captions;
}

void showErrorBox(QWidget *owner, const QString &prompt)
{
    showMessageBox(owner, prompt, ErrorBoxTitle, mb::OkOnly + mb::Critical + mb::RtlReading + mb::Right,
                   arabicButtonCaptions());
}

void MessageBoxSeam::clear()
{
    TestSeam::clear();
    g_seamHook = nullptr;
}
void MessageBoxSeam::setHook(void (*hook)(const Record &)) { g_seamHook = hook; }

} // namespace platform
