#pragma once

#include <QString>

namespace pictrove::shell {

// The per-user settings store: string values addressed by application, section and
// key. Outside tests the store is the INI file QSettings keeps for the user under the
// organisation "Tarnwick" and the application "Pictrove".
inline const QString kAppName = QStringLiteral("Tarnwick");
inline const QString kSection = QStringLiteral("Pictrove");

// The stored value, or `defaultValue` when the key was never written.
QString GetSetting(const QString& appName, const QString& section, const QString& key,
                   const QString& defaultValue);

// Stores the value at once (the file is written before this returns).
void SaveSetting(const QString& appName, const QString& section, const QString& key,
                 const QString& value);

}  // namespace pictrove::shell
