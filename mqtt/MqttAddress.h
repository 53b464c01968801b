#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace lumvaris::mqtt {

// A broker address taken apart:
//   mqtt://[user@]host[:port]/PREFIX    plain TCP, port 1883 by default
//   mqtts://[user@]host[:port]/PREFIX   TLS, port 8883 by default
// PREFIX is one or more topic levels ("plc" or "utility/plc/north") under which every topic of the
// program lies. The password never comes from the address: see ReadMqttPassword.
struct MqttAddress {
    QString Url;  // as given
    bool Tls = false;
    QString User;  // empty: no login
    QString Host;  // an IPv6 address without its brackets
    int Port = 1883;
    QString Prefix;  // without slashes at its ends

    // "host:port", for messages.
    QString Server() const;
};

// False with the message for the user when the address cannot be used.
bool ParseMqttUrl(const QString& url, MqttAddress& address, QString& error);

// Name of the environment variable that may hold the broker password.
inline constexpr const char* kPasswordVariable = "LUMVARIS_MQTT_PASSWORD";

// The password of the address's user: the first line of `passwordFile` (without its line end) when
// one is named, otherwise the environment's LUMVARIS_MQTT_PASSWORD when set; none for an address
// without a user. False with the message when the named file cannot be read, or names a password
// for an address without a user.
bool ReadMqttPassword(const MqttAddress& address, const QString& passwordFile,
                      std::optional<QByteArray>& password, QString& error);

// A text as one topic level: "/", "+", "#" and control characters become "_", and an empty text
// is "-", so that a site's name can neither add levels nor make a topic the broker refuses.
QString TopicLevel(const QString& text);

}  // namespace lumvaris::mqtt
