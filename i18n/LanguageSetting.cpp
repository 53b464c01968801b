#include "i18n/LanguageSetting.h"

#include <QSettings>

namespace lumvaris::i18n {
namespace {

const char kKey[] = "window/language";

QString SettingsFile(const QString& dataDirectory) {
    return dataDirectory + QStringLiteral("Lumvaris.ini");
}

}  // namespace

QString SavedLanguage(const QString& dataDirectory) {
    const QSettings settings(SettingsFile(dataDirectory), QSettings::IniFormat);
    return settings.value(QLatin1String(kKey)).toString();
}

bool SaveLanguage(const QString& dataDirectory, const QString& language) {
    QSettings settings(SettingsFile(dataDirectory), QSettings::IniFormat);
    settings.setValue(QLatin1String(kKey), language);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

}  // namespace lumvaris::i18n
