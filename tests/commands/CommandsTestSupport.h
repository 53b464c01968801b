#pragma once

#include <QString>

#include <string>
#include <vector>

#include "commands/CommandSender.h"
#include "commands/IConnectionControl.h"
#include "commands/ProtectedAccess.h"
#include "commands/ReplyHandler.h"
#include "commands/RequestStatusText.h"
#include "link/Requester.h"
#include "meterdata/IClock.h"
#include "support/FakeSerialPort.h"
#include "support/QuietLink.h"

namespace lumvaris::commands::test {

// The status panel as the window fills it: a blank, then the status text.
struct View : link::IRequestListener {
    void StatusShown(link::RequestStatus s, const std::string& text) override {
        status = " " + RequestStatusText(s, text).toStdString();
    }
    std::string status;
};

using testing::NoPause;

struct Connection : IConnectionControl {
    bool IsOpen() const override { return true; }
    std::uint16_t UartId() const override { return uartId; }
    void ShowUartId(std::uint16_t a) override {
        calls.push_back("uart-id " + QString::asprintf("%04X", a).toStdString());
    }
    void SwitchRate(int index) override { calls.push_back("switch-rate " + std::to_string(index)); }
    std::uint16_t uartId = 0x2FFF;
    std::vector<std::string> calls;
};

struct FixedClock : meterdata::IClock {
    QDateTime Now() const override { return now; }
    QDateTime now{QDate(2026, 12, 7), QTime(10, 0, 0)};
};

// The link of a window without the window: a fake port, the sender and the reply handler.
struct Link {
    Link() {
        port.Open();
        requester.AddListener(&view);
    }
    testing::FakeSerialPort port;
    View view;
    NoPause pause;
    link::Requester requester{port, pause};
    Connection connection;
    FixedClock clock;
    ProtectedAccess access;
    CommandSender sender{requester, connection, access};
    ReplyHandler handler{requester, connection, clock, access};

    // The last frame written, as hex.
    std::string Written() const {
        return port.writes.empty() ? std::string() : testing::ToHex(port.writes.back());
    }
    // A reply from the concentrator to the workstation with this payload (type code first).
    static link::FrameBuffer Reply(const std::vector<std::uint8_t>& payload,
                                   std::uint16_t destination = 0xFFFF, std::uint16_t source = 0x2FFF) {
        link::FrameBuffer f{};
        link::FillHeader(f, source, destination, static_cast<std::uint8_t>(payload.size()),
                         payload.empty() ? 0 : payload[0]);
        for (std::size_t i = 0; i < payload.size(); ++i) {
            link::Payload(f)[i] = payload[i];
        }
        link::CompleteFrame(f);
        return f;
    }
};

}  // namespace lumvaris::commands::test
