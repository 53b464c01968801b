#include "UploadHarness.h"

#include "commands/RequestStatusText.h"
#include "link/Frame.h"

#include <QFile>

#include <stdexcept>

namespace lumvaris::firmware::test {

using link::RequestStatus;

UploadHarness::UploadHarness() {
    port.Open();
    requester.AddListener(this);
    port.SetErrorNotification([this](const std::string&) {
        port.Close();
        upload.OnPortLost();
    });
}

void UploadHarness::Send(std::uint8_t type, const std::uint8_t* data, std::size_t count, int expected,
                         int pause) {
    link::FrameBuffer frame{};
    link::FillHeader(frame, link::kWorkstationAddress, link::kDefaultConcentratorAddress,
                     static_cast<std::uint8_t>(1 + count), type);
    std::copy_n(data, count, link::Payload(frame) + 1);
    expectedTypes.push_back(expected);
    requester.SendRequest(frame, expected, pause);
}

void UploadHarness::SendFirmwareBegin(std::uint16_t lineCount) {
    std::uint8_t count[2];
    link::WriteWord(count, lineCount);
    Send(kFirmwareBeginType, count, 2, kFirmwareBeginType, 100);
}

void UploadHarness::SendFirmwareBeginLegacy() {
    Send(kFirmwareBeginLegacyType, nullptr, 0, kFirmwareBeginLegacyType, 100);
}

void UploadHarness::SendFirmwareLine(std::span<const std::uint8_t> line) {
    if (line.size() > link::kMaxPayload - 1) {
        throw std::length_error("line does not fit one frame");
    }
    Send(kFirmwareLineType, line.data(), line.size(), kFirmwareLineType, 0);
    if (duringLineSend) {
        duringLineSend();
    }
}

void UploadHarness::StatusShown(link::RequestStatus status, const std::string& text) {
    statusPanel = " " + commands::RequestStatusText(status, text).toStdString();
}

void UploadHarness::ShowProgressWindow(const QString& caption) {
    progressShown = true;
    progressCaption = caption;
    windowEvents.push_back("gauge shown");
}

void UploadHarness::HideProgressWindow() {
    progressShown = false;
    windowEvents.push_back("gauge hidden");
}

void UploadHarness::ShowRequestStatus(RequestStatus status) {
    requester.SetRequestStatus(status);
    requester.ShowRequestStatus();
}

QString UploadHarness::WriteFile(const QByteArray& content, const QString& name) {
    const QString path = dir_.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
        throw std::runtime_error("cannot write the test file");
    }
    return path;
}

bool UploadHarness::Start(const QByteArray& fileContent, UploadMode mode) {
    if (!upload.Begin(mode)) {
        return false;
    }
    upload.FileChosen(WriteFile(fileContent));
    if (upload.State() != UploadState::Confirming) {
        return false;
    }
    upload.Confirmed();
    RunSteps();
    return upload.State() == UploadState::Starting;
}

bool UploadHarness::Reply(std::uint8_t type, std::size_t length, bool runSteps) {
    if (type != requester.ExpectedReplyType() && type != kAccessDeniedType) {
        return false;
    }
    requester.SetRequestStatus(RequestStatus::Error);
    if (type == kAccessDeniedType) {
        requester.SetRequestStatus(RequestStatus::Ok);  // then the refusal's message box
    }
    if (const auto status = upload.OnReply(type, length)) {
        requester.SetRequestStatus(*status);
    }
    requester.EndReplyWait(true);
    requester.ShowRequestStatus();
    if (runSteps) {
        RunSteps();
    }
    return true;
}

int UploadHarness::TimeOut(bool runSteps) {
    if (!requester.WaitInProgress()) {
        throw std::logic_error("no reply wait to time out");
    }
    int ticks = 0;
    while (requester.WaitInProgress()) {
        requester.GaugeTick();
        ++ticks;
    }
    upload.OnReplyTimeout();
    if (runSteps) {
        RunSteps();
    }
    return ticks;
}

void UploadHarness::RunSteps() {
    while (stepDue) {
        stepDue = false;
        upload.Step();
    }
}

void UploadHarness::LosePort() {
    port.Vanish("device removed");
}

std::vector<std::string> UploadHarness::Payloads() const {
    std::vector<std::string> out;
    for (const auto& frame : port.writes) {
        const std::size_t n = frame[link::kOffsetLength];
        out.push_back(testing::ToHex(std::vector<std::uint8_t>(
            frame.begin() + link::kOffsetPayload,
            frame.begin() + static_cast<std::ptrdiff_t>(link::kOffsetPayload + n))));
    }
    return out;
}

std::vector<QByteArray> UploadHarness::LinesSent() const {
    std::vector<QByteArray> out;
    for (const auto& frame : port.writes) {
        if (frame[link::kOffsetPayload] == kFirmwareLineType) {
            const std::size_t n = frame[link::kOffsetLength];
            out.emplace_back(reinterpret_cast<const char*>(frame.data() + link::kOffsetPayload + 1),
                             static_cast<qsizetype>(n - 1));
        }
    }
    return out;
}

QByteArray NumberedLines(int count, const char* lineEnd) {
    QByteArray out;
    for (int k = 0; k < count; ++k) {
        out += "L" + QByteArray::number(k) + lineEnd;
    }
    return out;
}

}  // namespace lumvaris::firmware::test
