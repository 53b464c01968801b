#include "session/SiteName.h"

#include <QCoreApplication>
#include <QSysInfo>

#include "meterdata/MeterDatabase.h"

namespace lumvaris::session {

QString DefaultSite(const QString& portName) {
    QString port = meterdata::MeterDatabase::DatabaseFileName(QString(), portName, "");
    if (port.isEmpty()) {
        port = portName;
    }
    QString host = QSysInfo::machineHostName();
    host.truncate(host.indexOf(QLatin1Char('.')) < 0 ? host.size() : host.indexOf(QLatin1Char('.')));
    QString site = host.isEmpty() ? port : port + QLatin1Char('@') + host;
    // A port name is the user's text: what a topic level cannot hold becomes "_".
    for (QChar& c : site) {
        if (c == QLatin1Char('/') || c == QLatin1Char('+') || c == QLatin1Char('#') ||
            c.category() == QChar::Other_Control) {
            c = QLatin1Char('_');
        }
    }
    if (site.startsWith(QLatin1Char('$')) || site.startsWith(QLatin1Char('=')) ||
        site.startsWith(QLatin1Char('-')) || site.startsWith(QLatin1Char('@'))) {
        site[0] = QLatin1Char('_');
    }
    return site.left(kMaxSiteNameLength);
}

QString SiteNameError(const QString& name) {
    if (name.trimmed().isEmpty()) {
        return QCoreApplication::translate("session::SiteName", "Имя концентратора не может быть пустым.");
    }
    if (name.size() > kMaxSiteNameLength) {
        return QCoreApplication::translate("session::SiteName", "Имя концентратора длиннее %1 символов (%2).")
            .arg(kMaxSiteNameLength)
            .arg(name.size());
    }
    if (name.startsWith(QLatin1Char('$'))) {
        return QCoreApplication::translate(
                   "session::SiteName",
                   "Имя концентратора «%1» начинается с «$»: такие темы MQTT принадлежат брокеру.")
            .arg(name);
    }
    // A CSV cell that begins so is a formula to a spreadsheet.
    if (name.startsWith(QLatin1Char('=')) || name.startsWith(QLatin1Char('-')) ||
        name.startsWith(QLatin1Char('@'))) {
        return QCoreApplication::translate(
                   "session::SiteName",
                   "Имя концентратора «%1» начинается с «%2»: в таблице CSV такая ячейка читается как "
                   "формула.")
            .arg(name, name.left(1));
    }
    for (const QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('+') || c == QLatin1Char('#')) {
            return QCoreApplication::translate(
                       "session::SiteName",
                       "Имя концентратора «%1» содержит «%2»: в теме MQTT это разделитель или "
                       "подстановочный знак.")
                .arg(name, c);
        }
        if (c.category() == QChar::Other_Control) {
            return QCoreApplication::translate("session::SiteName",
                                               "Имя концентратора содержит управляющий символ (код %1).")
                .arg(c.unicode());
        }
    }
    return {};
}

}  // namespace lumvaris::session
