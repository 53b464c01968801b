#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace lumvaris::collect {

// How the collector reaches a site.
enum class PortKind {
    Serial,   // a local serial port: "ttyUSB0", "/dev/serial/by-id/..."
    Network,  // the collector connects: "tcp://HOST:PORT", "rfc2217://HOST:PORT"
    CallsIn,  // the site's modem connects to the collector and is known by its UART-ID
};

// What the collector does with a site besides keeping its port open.
struct SiteSchedule {
    bool listen = true;                // hear the meter packets the concentrator sends by itself
    int readPacketsEveryHours = 0;     // 0: never
    int readMonthsOnDay = 0;           // day of the month 1..28; 0: never
    bool clockCheck = false;           // once a day
    int clockSetWhenOffBySeconds = 0;  // set the clock when the check finds it this far off; 0: never

    bool operator==(const SiteSchedule&) const = default;
};

// One concentrator of the fleet as the sites file describes it, every default applied.
struct Site {
    QString name;
    QString port;  // as written; "calls-in" for a site that calls
    PortKind portKind = PortKind::Serial;
    std::optional<std::uint16_t> uartId;  // always set for a site that calls in
    int baudRate = 38400;
    int timeoutSeconds = 2;
    QString passwordFile;     // absolute; empty: none
    QStringList databases;    // sink addresses (sinks/SinkUrl.h)
    QStringList mqtt;         // broker addresses (mqtt/MqttAddress.h)
    bool localFiles = false;  // also keep the port's own database files
    SiteSchedule schedule;
    int line = 0;  // of its [[site]] header in the file, for later messages

    bool operator==(const Site&) const = default;
};

// How fast the collector makes its network connections (first ones and retries alike), from the
// sites file's [collector] table: so many being made at once, so many begun a second.
struct CollectorLimits {
    int maxConnecting = 8;
    int connectsPerSecond = 20;
    // /healthz answers 503 when no site was heard for so long (0: never); read at the start.
    int unhealthyWhenSilentSeconds = 0;

    bool operator==(const CollectorLimits&) const = default;
};

}  // namespace lumvaris::collect
