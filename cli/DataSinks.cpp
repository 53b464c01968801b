#include "cli/DataSinks.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <chrono>

namespace lumvaris::cli {
namespace {

// How long the start waits for the databases' first answer, to refuse a login before the port opens.
constexpr std::chrono::seconds kFirstAnswerWait{5};

}  // namespace

DataSinks::DataSinks(const Options& options, Output& output, meterdata::MeterDatabase& database)
    : options_(options), output_(output), live_(database) {
    live_.SetCloseWait(kStopWait);
    connect(&live_, &session::LiveSinks::Message, this,
            [this](const QString& text) { output_.Message(text); });
}

ExitStatus DataSinks::Open(const QString& site, bool awaitFirstAnswer) {
    live_.SetSite(site);
    live_.SetUartId(options_.uartId);
    for (const QString& url : options_.databases) {
        const session::Result added = live_.AddDatabase(url);
        if (!added.IsDone()) {
            output_.Message(added.Message());
            return ExitStatus::Usage;
        }
    }
    if (const QString refused = awaitFirstAnswer ? live_.FirstRefusal(kFirstAnswerWait) : QString();
        !refused.isEmpty()) {
        output_.Message(refused);
        return ExitStatus::Usage;
    }
    if (!options_.mqtt.isEmpty()) {
        for (const QString& file : {options_.mqttPasswordFile, options_.mqttCa}) {
            if (!file.isEmpty() && !QFileInfo(file).isReadable()) {
                output_.Message(
                    QCoreApplication::translate("cli::DataSinks", "Файл «%1» не читается.").arg(file));
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

ExitStatus DataSinks::Stop(bool oneShot) {
    ExitStatus status = ExitStatus::Done;
    for (const session::LiveSinks::Unsent& unsent : live_.Stop(kStopWait)) {
        const QString where =
            unsent.outbox.isEmpty()
                ? QCoreApplication::translate(
                      "cli::DataSinks", "Они есть в локальной базе данных порта; команда export допишет их.")
                : QCoreApplication::translate(
                      "cli::DataSinks",
                      "Они ждут в очереди «%1» и будут отправлены при следующем запуске "
                      "с этим портом и адресом.")
                      .arg(QDir::toNativeSeparators(unsent.outbox));
        if (unsent.destination == session::LiveSinks::Destination::Broker) {
            output_.Message(QCoreApplication::translate("cli::DataSinks",
                                                        "Брокер MQTT «%1» не подтвердил показаний: %2. %3")
                                .arg(unsent.url)
                                .arg(unsent.records)
                                .arg(where));
        } else {
            output_.Message(
                QCoreApplication::translate("cli::DataSinks", "В «%1» не записано показаний: %2. %3")
                    .arg(unsent.url)
                    .arg(unsent.records)
                    .arg(where));
        }
        if (unsent.destination == session::LiveSinks::Destination::File) {
            status = Worse(status, ExitStatus::FileError);
        } else if (oneShot) {
            status = Worse(status, ExitStatus::KeptBack);
        }
    }
    // The destinations' last messages, sent from their worker threads.
    QCoreApplication::sendPostedEvents();
    return status;
}

}  // namespace lumvaris::cli
