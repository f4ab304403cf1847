#include "gui/ui/Settings.h"

#include <QSettings>

namespace pictrove::shell {

namespace {
// The application name is the settings file's organisation, the program's title its
// file name; sections are groups inside it.
QSettings open(const QString& appName) {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, appName,
                     QStringLiteral("Pictrove"));
}
}  // namespace

QString GetSetting(const QString& appName, const QString& section, const QString& key,
                   const QString& defaultValue) {
    QSettings settings = open(appName);
    settings.beginGroup(section);
    return settings.value(key, defaultValue).toString();
}

void SaveSetting(const QString& appName, const QString& section, const QString& key,
                 const QString& value) {
    QSettings settings = open(appName);
    settings.beginGroup(section);
    settings.setValue(key, value);
    settings.endGroup();
    settings.sync();
}

}  // namespace pictrove::shell
