#include "cli/DataSinks.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <chrono>

namespace lumvaris::cli {
namespace {

// How long the end waits for the queues to be written and published (a destination that cannot
// be reached is not waited for).
constexpr std::chrono::seconds kStopWait{30};

}  // namespace

DataSinks::DataSinks(const Options& options, Output& output, meterdata::MeterDatabase& database)
    : options_(options), output_(output), live_(database) {
    connect(&live_, &session::LiveSinks::Message, this,
            [this](const QString& text) { output_.Message(text); });
}

ExitStatus DataSinks::Open(const QString& site) {
    live_.SetSite(site);
    live_.SetUartId(options_.uartId);
    for (const QString& url : options_.databases) {
        const session::Result added = live_.AddDatabase(url);
        if (!added.IsDone()) {
            output_.Message(added.Message());
            return ExitStatus::Usage;
        }
    }
    if (!options_.mqtt.isEmpty()) {
        for (const QString& file : {options_.mqttPasswordFile, options_.mqttCa}) {
            if (!file.isEmpty() && !QFileInfo(file).isReadable()) {
                output_.Message(QStringLiteral("Файл «%1» не читается.").arg(file));
                return ExitStatus::FileError;
            }
        }
        mqtt::MqttOptions mqttOptions;
        mqttOptions.CaFile = options_.mqttCa;
        mqttOptions.PasswordFile = options_.mqttPasswordFile;
        const session::Result opened = live_.SetBroker(options_.mqtt, mqttOptions);
        if (!opened.IsDone()) {
            output_.Message(opened.Message());
            return ExitStatus::Usage;
        }
    }
    return ExitStatus::Done;
}

ExitStatus DataSinks::Stop() {
    ExitStatus status = ExitStatus::Done;
    for (const session::LiveSinks::Unsent& unsent : live_.Stop(kStopWait)) {
        if (unsent.destination == session::LiveSinks::Destination::Broker) {
            output_.Message(QStringLiteral("Брокер MQTT «%1» не подтвердил показаний: %2. Они есть в "
                                           "локальной базе данных порта.")
                                .arg(unsent.url)
                                .arg(unsent.records));
            continue;
        }
        output_.Message(QStringLiteral("В «%1» не записано показаний: %2. Они есть в локальной базе "
                                       "данных порта; команда export допишет их позже.")
                            .arg(unsent.url)
                            .arg(unsent.records));
        if (unsent.destination == session::LiveSinks::Destination::File) {
            status = ExitStatus::FileError;
        }
    }
    // The destinations' last messages, sent from their worker threads.
    QCoreApplication::sendPostedEvents();
    return status;
}

}  // namespace lumvaris::cli
