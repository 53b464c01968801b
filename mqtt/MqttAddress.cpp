#include "mqtt/MqttAddress.h"

#include <QCoreApplication>
#include <QFile>
#include <QUrl>

#include <mosquitto.h>

namespace lumvaris::mqtt {

namespace {

QString Forms() {
    return QCoreApplication::translate("mqtt::MqttAddress",
                                       "Ожидается mqtt://[пользователь@]сервер[:порт]/ПРЕФИКС или "
                                       "mqtts://[пользователь@]сервер[:порт]/ПРЕФИКС.");
}

}  // namespace

QString MqttAddress::Server() const {
    const QString host = Host.contains(QLatin1Char(':')) ? QLatin1Char('[') + Host + QLatin1Char(']') : Host;
    return host + QLatin1Char(':') + QString::number(Port);
}

bool ParseMqttUrl(const QString& text, MqttAddress& address, QString& error) {
    address = MqttAddress();
    address.Url = text;
    error.clear();
    if (text.trimmed().isEmpty()) {
        error = QCoreApplication::translate("mqtt::MqttAddress", "Адрес брокера MQTT не указан. ") + Forms();
        return false;
    }
    const QUrl url(text, QUrl::StrictMode);
    // Never repeat a password in a message.
    const QString shown = url.isValid() ? url.toString(QUrl::RemovePassword) : text;
    const QString scheme = url.scheme();
    if (!url.isValid() || (scheme != QLatin1String("mqtt") && scheme != QLatin1String("mqtts"))) {
        error = QCoreApplication::translate("mqtt::MqttAddress", "Адрес брокера MQTT «%1» не распознан. ")
                    .arg(shown) +
                Forms();
        return false;
    }
    if (!url.password().isNull()) {
        error = QCoreApplication::translate(
                    "mqtt::MqttAddress",
                    "Адрес «%1» содержит пароль. Пароль в адресе не принимается, чтобы он не попал в "
                    "файлы настроек и в список процессов: укажите его в переменной окружения %2 или в "
                    "файле пароля.")
                    .arg(shown, QLatin1String(kPasswordVariable));
        return false;
    }
    if (url.host().isEmpty()) {
        error =
            QCoreApplication::translate("mqtt::MqttAddress", "В адресе «%1» не указан сервер. ").arg(shown) +
            Forms();
        return false;
    }
    if (url.hasQuery() || url.hasFragment()) {
        error = QCoreApplication::translate(
                    "mqtt::MqttAddress", "Адрес «%1»: после префикса тем ничего не должно быть («?…», «#…»).")
                    .arg(shown);
        return false;
    }
    address.Tls = scheme == QLatin1String("mqtts");
    address.User = url.userName(QUrl::FullyDecoded);
    address.Host = url.host(QUrl::FullyDecoded);
    address.Port = url.port(address.Tls ? 8883 : 1883);
    if (address.Port == 0) {
        error =
            QCoreApplication::translate("mqtt::MqttAddress", "В адресе «%1» порт 0 не годится.").arg(shown);
        return false;
    }
    QString prefix = url.path(QUrl::FullyDecoded);
    while (prefix.startsWith(QLatin1Char('/'))) {
        prefix.remove(0, 1);
    }
    while (prefix.endsWith(QLatin1Char('/'))) {
        prefix.chop(1);
    }
    if (prefix.isEmpty()) {
        error = QCoreApplication::translate("mqtt::MqttAddress",
                                            "В адресе «%1» не указан префикс тем (…/ПРЕФИКС). ")
                    .arg(shown) +
                Forms();
        return false;
    }
    const QByteArray bytes = prefix.toUtf8();
    bool control = false;
    for (const QChar c : prefix) {
        control = control || c.category() == QChar::Other_Control;
    }
    if (prefix.startsWith(QLatin1Char('$')) || control ||
        mosquitto_pub_topic_check2(bytes.constData(), static_cast<std::size_t>(bytes.size())) !=
            MOSQ_ERR_SUCCESS) {
        error = QCoreApplication::translate(
                    "mqtt::MqttAddress",
                    "В адресе «%1» префикс тем «%2» не годится: в нём не может быть «+», «#» и управляющих "
                    "символов, и он не может начинаться с «$».")
                    .arg(shown, prefix);
        return false;
    }
    address.Prefix = prefix;
    return true;
}

bool ReadMqttPassword(const MqttAddress& address, const QString& passwordFile,
                      std::optional<QByteArray>& password, QString& error) {
    password.reset();
    error.clear();
    if (!passwordFile.isEmpty()) {
        QFile file(passwordFile);
        if (!file.open(QIODevice::ReadOnly)) {
            error = QCoreApplication::translate("mqtt::MqttAddress",
                                                "Файл пароля брокера MQTT «%1» не читается: %2.")
                        .arg(passwordFile, file.errorString());
            return false;
        }
        if (address.User.isEmpty()) {
            error = QCoreApplication::translate("mqtt::MqttAddress",
                                                "Указан файл пароля «%1», но в адресе «%2» нет пользователя "
                                                "(mqtt://пользователь@сервер/…).")
                        .arg(passwordFile, address.Url);
            return false;
        }
        QByteArray line = file.readLine();
        while (line.endsWith('\n') || line.endsWith('\r')) {
            line.chop(1);
        }
        password = line;
        return true;
    }
    // A password in the environment without a user in the address is meant for another broker.
    if (!address.User.isEmpty() && qEnvironmentVariableIsSet(kPasswordVariable)) {
        password = qgetenv(kPasswordVariable);
    }
    return true;
}

QString TopicLevel(const QString& text) {
    if (text.isEmpty()) {
        return QStringLiteral("-");
    }
    QString level = text;
    for (QChar& c : level) {
        if (c == QLatin1Char('/') || c == QLatin1Char('+') || c == QLatin1Char('#') ||
            c.category() == QChar::Other_Control) {
            c = QLatin1Char('_');
        }
    }
    return level;
}

}  // namespace lumvaris::mqtt
