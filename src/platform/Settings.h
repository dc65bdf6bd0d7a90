#pragma once
// The per-user settings store: text values by application name, section and key.
#include <QString>

namespace platform {

void saveSetting(const QString &appName, const QString &section, const QString &key, const QString &value);
QString getSetting(const QString &appName, const QString &section, const QString &key, const QString &defaultValue);
// Removes every key of a section (used by tests and by "reset window").
void deleteSettingSection(const QString &appName, const QString &section);

} // namespace platform
