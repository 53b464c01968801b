#pragma once

// A main window on the offscreen platform with a fake serial port, fake timers, fake message
// boxes and keys, the real dialogs, and a real local database and key file in a temporary program
// directory: the command pages are driven by clicks and read by the frames they write.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "AppTestDoubles.h"
#include "app/Revision.h"
#include "app/TFormAppOptions.h"
#include "app/TFormDebug.h"
#include "app/TFormGauge.h"
#include "app/TFormHashCalculate.h"
#include "app/TFormMain.h"
#include "app/TFormNewAddress.h"
#include "app/TVersionInfo.h"
#include "keys/KeyFile.h"
#include "link/Frame.h"
#include "meterdata/IClock.h"
#include "support/FakeSerialPort.h"
#include "ui/WidgetColours.h"
#include "ui_FormMain.h"

namespace lumvaris::testing {

class WindowClock final : public meterdata::IClock {
  public:
    QDateTime Now() const override { return now; }
    QDateTime now{QDate(2026, 12, 7), QTime(10, 0, 0)};  // a Monday
};

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        const app::TVersionInfo version(QCoreApplication::applicationFilePath());
        const app::RevisionValues revision =
            app::MakeRevisionValues(QCoreApplication::applicationFilePath(), version);
        app::MainWindowPlatform platform{port_,
                                         pause_,
                                         keys_,
                                         messages_,
                                         timers_,
                                         dir_.path() + QStringLiteral("/"),
                                         revision.versionCaption,
                                         {},
                                         [](const QString& path) { return keys::KeyFile(path).KeyNames(); },
                                         &clock_};
        window_ = std::make_unique<app::TFormMain>(platform);
        window_->SetDialogs({&gauge_, &newAddress_, &options_, &debug_, &hash_, &openDialog_, &saveDialog_});
        window_->show();
    }
    void TearDown() override { window_.reset(); }

    Ui::TFormMain& F() { return window_->Form(); }

    void Connect(const QString& port = QStringLiteral("ttyS0")) {
        F().ComboBoxPortName->setEditText(port);
        QTest::keyClick(F().ComboBoxPortName->lineEdit(), Qt::Key_Return);
        ASSERT_TRUE(port_.IsOpen());
    }
    // Holds the modifier keys and lets the mode tick relabel the buttons.
    void Hold(Qt::KeyboardModifiers keys) {
        keys_.held = keys;
        timers_.Advance(100);
    }
    void Click(QAbstractButton* button, Qt::KeyboardModifiers keys = Qt::NoModifier) {
        Hold(keys);
        port_.writes.clear();
        QTest::mouseClick(button, Qt::LeftButton);
    }
    // The frames written since the last click: "to 2FFF: 80" each.
    std::vector<std::string> Written() const {
        std::vector<std::string> frames;
        for (const auto& w : port_.writes) {
            link::FrameBuffer f{};
            std::copy(w.begin(), w.end(), f.begin());
            const std::vector<std::uint8_t> payload(link::Payload(f),
                                                    link::Payload(f) + link::PayloadLength(f));
            frames.push_back("to " + QString::asprintf("%04X", link::DestinationAddress(f)).toStdString() +
                             ": " + ToHex(payload));
        }
        return frames;
    }
    // A reply of the concentrator (UART-ID 2FFF) to the workstation, through the port and one
    // step of the frame dispatch (no time passes).
    void Reply(const std::string& payloadHex, std::uint16_t source = 0x2FFF) {
        const std::vector<std::uint8_t> payload = Hex(payloadHex);
        link::FrameBuffer f{};
        link::FillHeader(f, source, link::kWorkstationAddress, static_cast<std::uint8_t>(payload.size()),
                         payload[0]);
        std::copy(payload.begin(), payload.end(), link::Payload(f));
        link::CompleteFrame(f);
        port_.Feed(std::vector<std::uint8_t>(f.begin(), f.begin() + link::FrameLength(f)));
        window_->Connection().TimerRXTimer();
    }
    QString Status() { return window_->StatusPanel(2)->text(); }
    bool Maroon(QWidget* w) { return ui::FontColour(w) == ui::kHighlightColour; }

    QTemporaryDir dir_;
    FakeSerialPort port_;
    FakePause pause_;
    FakeModifierKeys keys_;
    FakeMessageBox messages_;
    FakeOpenDialog openDialog_;
    FakeSaveDialog saveDialog_;
    FakeTimerFactory timers_;
    WindowClock clock_;
    app::TFormGauge gauge_;
    app::TFormNewAddress newAddress_;
    app::TFormAppOptions options_;
    app::TFormDebug debug_;
    app::TFormHashCalculate hash_;
    std::unique_ptr<app::TFormMain> window_;
};

}  // namespace lumvaris::testing
