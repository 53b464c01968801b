#pragma once

#include "firmware/FirmwareUpload.h"
#include "link/Requester.h"
#include "support/FakeSerialPort.h"
#include "support/QuietLink.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lumvaris::firmware::test {

// The window's side of an upload as the program wires it: the real reply wait (link::Requester)
// over a fake port that keeps every frame written, a reply handler with the program's acceptance
// rule (expected type or 0x40; "Ошибка!" unless the rule says otherwise; then the wait ends as
// answered), TimerGauge ticked by the test, and scheduled steps run once the event that asked for
// them is over, as the event loop would.
class UploadHarness : public IFirmwareLink,
                      public IFirmwareUploadView,
                      public link::IRequestListener,
                      public link::IPause {
  public:
    UploadHarness();

    // IFirmwareLink
    bool PortOpen() const override { return port.IsOpen(); }
    void SendFirmwareBegin(std::uint16_t lineCount) override;
    void SendFirmwareBeginLegacy() override;
    void SendFirmwareLine(std::span<const std::uint8_t> line) override;
    void ScheduleStep() override { stepDue = true; }

    // IFirmwareUploadView
    void ShowProgressWindow(const QString& caption) override;
    void HideProgressWindow() override;
    void ShowLinesLeft(qsizetype linesLeft) override { linesLeftShown.push_back(linesLeft); }
    void ShowRequestStatus(link::RequestStatus status) override;
    void ShowMessage(const QString& text) override { messages.push_back(text); }

    // link::IRequestListener (the status panel as the window fills it), link::IPause
    void StatusShown(link::RequestStatus status, const std::string& text) override;
    void Pause(int milliseconds) override { pauses.push_back(milliseconds); }

    // The file dialog and the confirmation answered with OK; false if the upload did not reach
    // the start request.
    bool Start(const QByteArray& fileContent, UploadMode mode = UploadMode::New);
    QString WriteFile(const QByteArray& content, const QString& name = QStringLiteral("image.hex"));

    // A reply frame handed to the reply handler; false if the handler ignored it. Without
    // runSteps the next reply follows in the same frame-assembler step.
    bool Reply(std::uint8_t type, std::size_t length = 1, bool runSteps = true);
    bool Acknowledge(bool runSteps = true) { return Reply(kFirmwareLineType, 1, runSteps); }
    // TimerGauge until the running reply wait times out; returns the ticks it took.
    int TimeOut(bool runSteps = true);
    void RunSteps();
    // The adapter pulled: the port closes and reports its error.
    void LosePort();

    // Frames written, as "TT PP PP ..." (type code and payload) per frame; and the text of every
    // FirmwareLine sent, in order.
    std::vector<std::string> Payloads() const;
    std::vector<QByteArray> LinesSent() const;
    std::size_t FramesWritten() const { return port.writes.size(); }

    testing::FakeSerialPort port;
    link::Requester requester{port, *this};
    FirmwareUpload upload{*this, *this};

    // Runs inside SendFirmwareLine after the frame is written (a reply that comes back at once).
    std::function<void()> duringLineSend;

    bool stepDue = false;
    bool progressShown = false;
    QString progressCaption;
    std::vector<std::string> windowEvents;  // "gauge shown", "gauge hidden"
    std::vector<qsizetype> linesLeftShown;
    std::vector<QString> messages;
    std::vector<int> pauses;
    std::vector<int> expectedTypes;  // expected reply type passed with each frame
    std::string statusPanel;

  private:
    void Send(std::uint8_t type, const std::uint8_t* data, std::size_t count, int expected, int pause);
    QTemporaryDir dir_;
};

// "L0", "L1", … : n distinct lines of a firmware file (line k reads "Lk").
QByteArray NumberedLines(int count, const char* lineEnd = "\r\n");

}  // namespace lumvaris::firmware::test
