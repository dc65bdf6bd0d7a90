#include "platform/Settings.h"

#include <QSettings>

namespace platform {

void saveSetting(const QString &appName, const QString &section, const QString &key, const QString &value)
{
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, appName, appName);
    settings.setValue(section + QLatin1Char('/') + key, value);
    settings.sync();
}

QString getSetting(const QString &appName, const QString &section, const QString &key, const QString &defaultValue)
{
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, appName, appName);
    return settings.value(section + QLatin1Char('/') + key, defaultValue).toString();
}

void deleteSettingSection(const QString &appName, const QString &section)
{
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, appName, appName);
    settings.remove(section);
    settings.sync();
}

} // namespace platform
