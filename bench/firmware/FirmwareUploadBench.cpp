// A firmware upload of 2,000 lines of 43 characters to the simulator on a pseudo-terminal, which
// answers at once; the time per line of the line phase. Three ways of waiting for each
// acknowledgement, in one run, each against a simulator of its own:
//   Program    the program as built: the window, the version group and the upload; the frame
//              dispatch runs on the receive notification, the next line goes from a zero-delay step.
//   Poll10ms   a wait loop that polls: after each line, pause 10 ms, handle pending events, run the
//              frame assembler, look at the acknowledgement count; again until it moved.
//   RoundTrip  the floor of this link: the same serial port, reply wait and frame assembler, the
//              next line sent as soon as the receive notification has dispatched the acknowledgement.
// The overhead of a way of waiting is its time per line less RoundTrip's.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <memory>
#include <vector>

#include "app/IMessageBox.h"
#include "app/IModifierKeys.h"
#include "app/IOpenDialog.h"
#include "app/TFormGauge.h"
#include "app/TFormMain.h"
#include "app/VersionPanel.h"
#include "firmware/FirmwareUpload.h"
#include "link/Frame.h"
#include "link/QtSerialPort.h"
#include "link/Receiver.h"
#include "link/Requester.h"
#include "session/QtTimerFactory.h"
#include "support/QtBench.h"
#include "support/QuietLink.h"
#include "ui_FormMain.h"

namespace lumvaris {
namespace {

constexpr int kLines = 2000;

QApplication& App() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    return bench::BenchApplication("firmware_bench");
}

// 1,999 data records of 16 bytes and the end-of-file record.
const std::vector<QByteArray>& Image() {
    static const std::vector<QByteArray> image = [] {
        std::vector<QByteArray> lines;
        for (int k = 0; k + 1 < kLines; ++k) {
            const int address = 16 * k;
            QByteArray record = "10" + QByteArray::number(address, 16).rightJustified(4, '0') + "00";
            unsigned sum = 16 + (address >> 8) + (address & 0xFF);
            for (int i = 0; i < 16; ++i) {
                const unsigned byte = (k * 7 + i * 13) & 0xFF;
                sum += byte;
                record += QByteArray::number(byte, 16).rightJustified(2, '0');
            }
            record += QByteArray::number((0x100 - (sum & 0xFF)) & 0xFF, 16).rightJustified(2, '0');
            lines.push_back(":" + record.toUpper());
        }
        lines.push_back(":00000001FF");
        return lines;
    }();
    return image;
}

// The simulator in its own process, without meters; its first line of output is its port.
class Simulator {
  public:
    Simulator() {
        process_.setProgram(QString::fromUtf8(LUMVARIS_SIM_PATH));
        process_.setArguments({QStringLiteral("--meters"), QStringLiteral("0"), QStringLiteral("--quiet")});
        process_.start();
        if (process_.waitForStarted(5000) && process_.waitForReadyRead(10000)) {
            path_ = QString::fromUtf8(process_.readLine()).trimmed();
        }
    }
    ~Simulator() {
        process_.terminate();
        if (!process_.waitForFinished(3000)) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }
    const QString& Path() const { return path_; }

  private:
    QProcess process_;
    QString path_;
};

// --- Program

class HeldCtrl final : public app::IModifierKeys {
  public:
    Qt::KeyboardModifiers Modifiers() const override { return Qt::ControlModifier; }
};

class AnswerOk final : public app::IMessageBox {
  public:
    void Error(QWidget*, const QString& text) override { errors << text; }
    void Inform(QWidget*, const QString&) override {}
    bool Confirm(QWidget*, const QString&) override { return true; }
    bool Warning(QWidget*, const QString&) override { return true; }
    bool Retry(QWidget*, const QString&, const QString&) override { return false; }
    std::optional<QString> AskText(QWidget*, const QString&, const QString&) override { return std::nullopt; }
    QStringList errors;
};

class ChosenFile final : public app::IOpenDialog {
  public:
    QString Execute(QWidget*) override { return path; }
    QString path;
};

// The line phase is the time the progress window shows.
class ShowTime final : public QObject {
  public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            clock.start();
        } else if (event->type() == QEvent::Hide && clock.isValid()) {
            seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        }
        return false;
    }
    QElapsedTimer clock;
    double seconds = 0;
};

void Program(benchmark::State& state) {
    App();
    Simulator sim;
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("image.hex")));
    if (sim.Path().isEmpty() || !file.open(QIODevice::WriteOnly)) {
        state.SkipWithError("no simulator or no file");
        return;
    }
    for (const QByteArray& line : Image()) {
        file.write(line + "\r\n");
    }
    file.close();

    link::QtSerialPort port;
    link::ThreadPause pause;
    HeldCtrl keys;
    AnswerOk messages;
    session::QtTimerFactory timers;
    app::MainWindowPlatform platform{
        port, pause, keys, messages, timers, dir.path() + QStringLiteral("/"), QStringLiteral("Lumvaris"),
        {},   {}};
    app::TFormMain window(platform);
    app::TFormGauge gauge;
    ChosenFile openDialog;
    openDialog.path = file.fileName();
    window.SetDialogs({&gauge, nullptr, nullptr, nullptr, nullptr, &openDialog});
    window.show();
    window.Form().ComboBoxPortName->setEditText(sim.Path());
    window.OpenConnection();
    ShowTime shown;
    gauge.installEventFilter(&shown);
    const firmware::FirmwareUpload& upload = window.Version().Upload();
    QPushButton* button = window.Form().ButtonVersion;
    while (button->text() != QStringLiteral("Загрузить новую")) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

    for (auto _ : state) {
        button->click();
        while (upload.State() != firmware::UploadState::Idle) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        if (upload.Outcome() != firmware::UploadOutcome::Complete) {
            state.SkipWithError("the upload did not complete");
            return;
        }
        state.SetIterationTime(shown.seconds / kLines);
    }
    state.counters["lines"] = kLines;
    window.Connection().Close();
}

// --- The bare link, for Poll10ms and RoundTrip

// The reply wait's tick, running while a wait does.
class QuietView final : public link::IRequestListener {
  public:
    void WaitStarted(int) override { gauge.start(); }
    void WaitEnded(link::WaitOutcome, int, int) override { gauge.stop(); }
    QTimer gauge;
};

class SleepPause final : public link::IPause {
  public:
    void Pause(int milliseconds) override { QThread::msleep(static_cast<unsigned long>(milliseconds)); }
};

// The reply wait, the receive path and the acceptance of an acknowledgement, without a window.
class BareLink final : public link::IFrameConsumer {
  public:
    // dispatchOnNotify: the frame assembler runs right after each receive notification.
    BareLink(const QString& path, bool dispatchOnNotify) {
        requester.AddListener(&view_);
        view_.gauge.setInterval(100);
        QObject::connect(&view_.gauge, &QTimer::timeout, [this] { requester.GaugeTick(); });
        timerRX_.setInterval(100);
        QObject::connect(&timerRX_, &QTimer::timeout, [this] { receiver.Step(); });
        receiver.SetConsumer(this);
        port_.SetName(path.toStdString());
        port_.SetReceiveNotification([this, dispatchOnNotify] {
            receiver.ReceiveNotification();
            if (dispatchOnNotify) {
                receiver.Step();
            }
        });
        port_.Open();
        timerRX_.start();
    }
    void Send(std::uint8_t type, const QByteArray& body, int pause) {
        link::FrameBuffer frame{};
        link::FillHeader(frame, link::kWorkstationAddress, link::kDefaultConcentratorAddress,
                         static_cast<std::uint8_t>(1 + body.size()), type);
        std::copy(body.begin(), body.end(), link::Payload(frame) + 1);
        requester.SendRequest(frame, type, pause);
    }
    bool Start() {
        Send(0x7A, QByteArray("\xD0\x07", 2), 100);
        while (requester.WaitInProgress()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        acknowledged = 0;
        return requester.Outcome() == link::WaitOutcome::Answered;
    }
    bool TimedOut() const {
        return !requester.WaitInProgress() && requester.Outcome() == link::WaitOutcome::TimedOut;
    }

    void HandleReply(link::FrameBuffer& frame) override {
        const int type = link::TypeCode(frame);
        if (link::DestinationAddress(frame) != link::kWorkstationAddress ||
            (type != requester.ExpectedReplyType() && type != 0x40)) {
            return;
        }
        if (type == 0x7E && link::PayloadLength(frame) == 1) {
            ++acknowledged;
        }
        requester.EndReplyWait(true);
    }
    void HandleMeterPacket(const link::FrameBuffer&) override {}
    void ShowByteCounter(std::uint32_t) override {}

    link::QtSerialPort port_;
    SleepPause pause_;
    QuietView view_;
    QTimer timerRX_;
    link::Requester requester{port_, pause_};
    link::Receiver receiver{port_};
    int acknowledged = 0;
};

void Poll10ms(benchmark::State& state) {
    App();
    Simulator sim;
    BareLink link(sim.Path(), false);
    const std::vector<QByteArray>& image = Image();
    for (auto _ : state) {
        if (!link.Start()) {
            state.SkipWithError("the start was not answered");
            return;
        }
        QElapsedTimer clock;
        clock.start();
        for (int k = 0; k < kLines; ++k) {
            int tries = 0;
            for (bool sent = false; !sent;) {
                link.Send(0x7E, image[static_cast<std::size_t>(link.acknowledged)], 0);
                sent = true;
                while (link.acknowledged == k) {
                    QThread::msleep(10);
                    QCoreApplication::processEvents();
                    link.receiver.Step();
                    if (link.TimedOut() && link.acknowledged == k) {
                        if (++tries >= firmware::kMaxTries) {
                            state.SkipWithError("ten timeouts");
                            return;
                        }
                        sent = false;
                        break;
                    }
                }
            }
        }
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9 / kLines);
    }
    state.counters["lines"] = kLines;
}

void RoundTrip(benchmark::State& state) {
    App();
    Simulator sim;
    BareLink link(sim.Path(), true);
    const std::vector<QByteArray>& image = Image();
    for (auto _ : state) {
        if (!link.Start()) {
            state.SkipWithError("the start was not answered");
            return;
        }
        QElapsedTimer clock;
        clock.start();
        for (int k = 0; k < kLines; ++k) {
            link.Send(0x7E, image[static_cast<std::size_t>(k)], 0);
            while (link.acknowledged == k) {
                if (link.TimedOut()) {
                    state.SkipWithError("a line was not acknowledged");
                    return;
                }
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            }
        }
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9 / kLines);
    }
    state.counters["lines"] = kLines;
}

// Each iteration is one whole upload; the time reported is per line.
BENCHMARK(Program)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(5);
BENCHMARK(Poll10ms)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(2);
BENCHMARK(RoundTrip)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(5);

}  // namespace
}  // namespace lumvaris
