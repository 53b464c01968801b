// Hostile replies: whatever a frame holds, the reply handler reads only inside it, never crashes,
// and the records it files stay inside small stores.
//   byte 0: the type the last request awaited; byte 1: bit 0 the reply's destination is not ours;
//   the rest: the reply's payload (type code first), at most 255 bytes.
#include <cstdint>
#include <cstring>

#include "commands/CommandSender.h"
#include "commands/IConnectionControl.h"
#include "commands/ProtectedAccess.h"
#include "commands/ReplyHandler.h"
#include "link/Requester.h"
#include "meterdata/IClock.h"
#include "meterdata/TMatrixInterface.h"
#include "support/BytesSerialPort.h"
#include "support/QuietLink.h"

namespace {

using namespace lumvaris;

struct Clock final : meterdata::IClock {
    QDateTime Now() const override { return QDateTime(QDate(2026, 12, 7), QTime(10, 0)); }
};

// Every display reads every value it is given, so a bad one shows under the sanitizers.
struct Targets final : commands::IConcentratorDisplay,
                       commands::IProtectedDisplay,
                       commands::IServiceDisplay,
                       commands::ILineStateDisplay,
                       commands::IPlcDisplay,
                       commands::IKeyDisplay,
                       commands::IVersionDisplay,
                       commands::IFirmwareReplies,
                       commands::IMeterIntake,
                       commands::IReplyMessages,
                       commands::IConnectionControl {
    Targets() {
        for (meterdata::TMatrixInterface* s : {&packets, &days}) {
            s->SetRowCount(17);
            s->SetColCount(5);
        }
        net.SetRowCount(2);
        net.SetColCount(17);
    }
    void ShowConfiguration(const commands::ConfigurationByte& c, int size) override {
        sum += c.Encode() + size;
    }
    void ShowClock(const commands::ClockReading& c) override { sum += c.offsetSeconds + c.weekday.size(); }
    void ShowUartRate(int index) override { sum += index; }
    void ShowBillingDay(int day) override { sum += day; }
    QString CurrentPassword() const override { return QStringLiteral("пароль"); }
    void ShowClockTrim(int ppm) override { sum += ppm; }
    void ShowLastStart(const QDate& d, int h, int m) override { sum += d.day() + h + m; }
    QString RegisterPageText() const override { return QStringLiteral("FFFFFFFF"); }
    QString RegisterOffsetText() const override { return QStringLiteral("FFFFFFF0"); }
    void ShowRegisters(const QStringList& lines) override { sum += lines.join(QString()).size(); }
    void ShowLineState(const commands::LineState& s) override {
        sum += s.CorrectionText(2).size() + s.Level(2, 15);
    }
    void ShowPlcFreeCells(int cells) override { sum += cells; }
    void ShowFingerprint(const QString& f) override { sum += f.size(); }
    void ShowVersion(const QString& text) override { sum += text.size(); }
    std::optional<link::RequestStatus> FirmwareReply(std::uint8_t type, int n) override {
        sum += type + n;
        // Now and then the upload speaks for its replies, as during a line phase.
        if ((type ^ n) & 1) {
            return link::RequestStatus::Ok;
        }
        return std::nullopt;
    }
    bool ReportsRefusals() const override { return (sum & 1) != 0; }
    meterdata::IntakeResult StoreBufferRecord(const meterdata::PacketFrame& f) override {
        return meterdata::StoreMeterPacket({&packets, &days, &net}, f, clock, nullptr);
    }
    meterdata::MonthBufferResult StoreMonthBuffer(const meterdata::PacketFrame& f) override {
        return meterdata::StoreMonthBuffer({&packets, &days, &net}, f, clock, nullptr);
    }
    void ApplyNetworkSize(int meters) override { sum += meters; }
    void ShowReplyError(const QString& text) override { sum += text.size(); }
    bool IsOpen() const override { return true; }
    std::uint16_t UartId() const override { return 0x2FFF; }
    void ShowUartId(std::uint16_t a) override { sum += a; }
    void SwitchRate(int index) override { sum += index; }

    Clock clock;
    meterdata::TMatrixInterface packets{QString()};
    meterdata::TMatrixInterface days{QString()};
    meterdata::TMatrixInterface net{QString()};
    long long sum = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    static const std::uint8_t none = 0;
    static testing::BytesSerialPort port(&none, 0, 1);  // takes every request, brings nothing
    static testing::NoPause pause;
    static link::Requester requester(port, pause);
    static Targets targets;
    static commands::ProtectedAccess access;
    static commands::ReplyHandler handler(requester, targets, targets.clock, access);
    static bool wired = false;
    if (!wired) {
        handler.Targets() = {&targets, &targets, &targets, &targets, &targets,
                             &targets, &targets, &targets, &targets, &targets};
        wired = true;
    }

    link::FrameBuffer request{};
    link::FillHeader(request, link::kWorkstationAddress, 0x2FFF, 1, 0x80);
    requester.SendRequest(request, data[0], 0);

    const std::size_t n = std::min<std::size_t>(size - 2, link::kMaxPayload);
    link::FrameBuffer frame{};
    link::FillHeader(frame, 0x2FFF, (data[1] & 1) ? 0x1234 : link::kWorkstationAddress,
                     static_cast<std::uint8_t>(n), data[2]);
    std::memcpy(link::Payload(frame), data + 2, n);
    link::CompleteFrame(frame);
    try {
        handler.HandleReply(frame);
    } catch (const commands::ReplyError&) {
        // a clock or buffer record that forms no date: reported to the user
    }
    return 0;
}
