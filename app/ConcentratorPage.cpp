#include "app/ConcentratorPage.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QSpinBox>

#include "app/Highlights.h"
#include "app/ModeButtons.h"
#include "app/RequestStatusView.h"
#include "commands/CommandSender.h"
#include "commands/IConnectionControl.h"
#include "commands/ModeTable.h"
#include "commands/ReplyHandler.h"
#include "link/Requester.h"
#include "session/ITimer.h"
#include "ui/RadioGroup.h"
#include "ui_FormMain.h"

namespace lumvaris::app {

using commands::ModeAction;
using commands::ModeButton;
using commands::RequestType;
namespace request = commands::request;

ConcentratorPage::ConcentratorPage(Ui::TFormMain& form, const PageServices& services,
                                   commands::ReplyHandler& replies, std::function<int()> networkMeters)
    : form_(form), services_(services), replies_(replies), networkMeters_(std::move(networkMeters)) {
    connect(form_.ButtonConfig, &QPushButton::clicked, this,
            services_.Guard([this] { ButtonConfigClick(); }));
    connect(form_.ButtonLP, &QPushButton::clicked, this, services_.Guard([this] { ButtonLPClick(); }));
    connect(form_.ButtonLM, &QPushButton::clicked, this, services_.Guard([this] { ButtonLMClick(); }));
    connect(form_.ButtonForceTimeDate, &QPushButton::clicked, this,
            services_.Guard([this] { ButtonForceTimeDateClick(); }));
    // The two meter-number fields always name the same meter.
    connect(form_.SpinEditBuffSlotNumber, &QSpinBox::valueChanged, this,
            [this](int value) { form_.SpinEditBuffSlotNumberMonth->setValue(value); });
    connect(form_.SpinEditBuffSlotNumberMonth, &QSpinBox::valueChanged, this,
            [this](int value) { form_.SpinEditBuffSlotNumber->setValue(value); });
    stepTimer_ =
        services_.timers.Create("TimerReadAll", kReadAllStepMs, services_.Guard([this] { ReadAllStep(); }));
    awaitTimer_ =
        services_.timers.Create("TimerReadAllEnd", kAwaitTickMs, services_.Guard([this] { AwaitTick(); }));
}

ConcentratorPage::~ConcentratorPage() {
    replies_.SetBufferReplyObserver(nullptr);
}

void ConcentratorPage::ButtonConfigClick() {
    const ModeAction action = services_.modes.ActionAtClick(ModeButton::Config);
    if (action == ModeAction::Read) {
        services_.sender.Send(request::Plain(RequestType::ConfigRead));
    } else if (action == ModeAction::Write) {
        commands::ConfigurationByte config;
        config.portMode = ui::RadioGroupItemIndex(form_.RadioGroupPortMode);
        config.operatingMode = ui::RadioGroupItemIndex(form_.RadioGroupRET);
        config.plcStopped = ui::RadioGroupItemIndex(form_.RadioGroupPlcStop);
        config.winterTime = form_.CheckBoxSwitchTime->isChecked();
        services_.sender.Send(request::ConfigWrite(form_.SpinEditSetAMCount->value(), config));
    } else if (action == ModeAction::Debug && debugAction_) {
        debugAction_();
    }
}

void ConcentratorPage::ButtonLPClick() {
    switch (services_.modes.ActionAtClick(ModeButton::LP)) {
        case ModeAction::Read:
            services_.sender.Send(request::PacketBufferRead(form_.SpinEditBuffSlotNumber->value()));
            break;
        case ModeAction::ReadAll:
            StartReadAll(RequestType::PacketBufferRead);
            break;
        case ModeAction::ClearAll:
            services_.sender.Send(request::Plain(RequestType::PacketBufferClear));
            break;
        default:
            break;
    }
}

void ConcentratorPage::ButtonLMClick() {
    const int meter = form_.SpinEditBuffSlotNumberMonth->value();
    switch (services_.modes.ActionAtClick(ModeButton::LM)) {
        case ModeAction::Read:
            services_.sender.Send(request::MonthBufferRead(meter));
            break;
        case ModeAction::ReadAll:
            StartReadAll(RequestType::MonthBufferRead);
            break;
        case ModeAction::ClearAll:
            services_.sender.Send(request::Plain(RequestType::MonthBufferClear));
            break;
        case ModeAction::ClearOne:
            services_.sender.Send(request::MonthRecordClear(meter));
            break;
        default:
            break;
    }
}

void ConcentratorPage::ButtonForceTimeDateClick() {
    services_.sender.Send(request::Plain(RequestType::SlaveClockSync));
}

void ConcentratorPage::ShowConfiguration(const commands::ConfigurationByte& c, int networkSize) {
    ui::SetRadioGroupItemIndex(form_.RadioGroupPortMode, c.portMode);
    ui::SetRadioGroupItemIndex(form_.RadioGroupRET, c.operatingMode);
    form_.CheckBoxSwitchTime->setChecked(c.winterTime);
    ui::SetRadioGroupItemIndex(form_.RadioGroupPlcStop, c.plcStopped);
    form_.SpinEditSetAMCount->setValue(networkSize);
    for (QWidget* control :
         {static_cast<QWidget*>(form_.RadioGroupPortMode), static_cast<QWidget*>(form_.RadioGroupPlcStop),
          static_cast<QWidget*>(form_.RadioGroupRET), static_cast<QWidget*>(form_.SpinEditSetAMCount),
          static_cast<QWidget*>(form_.CheckBoxSwitchTime), static_cast<QWidget*>(form_.GroupBox9)}) {
        services_.highlights.Highlight(control);
    }
}

// ---------------------------------------------------------------------------------------------
// Read-all

void ConcentratorPage::StartReadAll(RequestType type) {
    if (loop_.Running() || !services_.connection.IsOpen()) {
        return;
    }
    loop_.Start(type, networkMeters_ ? networkMeters_() : 0);
    if (!loop_.Running()) {
        return;
    }
    replies_.SetBufferReplyObserver(&loop_);
    // The progress stands in the status panel for the whole run, and the port, rate and
    // UART-ID stay locked until the end (Esc stops the loop).
    services_.status.BeginLongOperation();
    ReadAllStep();
}

void ConcentratorPage::ReadAllStep() {
    stepTimer_->Stop();
    if (loop_.CurrentState() != commands::ReadAllLoop::State::Sending) {
        return;
    }
    if (!services_.connection.IsOpen()) {
        loop_.Stop();
        FinishReadAll();
        return;
    }
    const int meter = loop_.Next();
    if (meter == 0) {
        // Every request has gone out: the last replies have until the port timeout.
        awaitTicks_ = services_.requester.TimeoutSeconds() * link::Requester::kTicksPerSecond;
        AwaitTick();
        return;
    }
    form_.SpinEditBuffSlotNumber->setValue(meter);  // the mirror sets the other field
    try {
        services_.sender.Send(loop_.Type() == RequestType::PacketBufferRead
                                  ? request::PacketBufferRead(meter)
                                  : request::MonthBufferRead(meter));
    } catch (...) {
        // A port lost in the middle: stop here, the summary says how far the loop came.
        loop_.SendFailed();
        FinishReadAll();
        throw;
    }
    services_.status.ShowProgress(loop_.ProgressText());
    stepTimer_->Start();
}

void ConcentratorPage::AwaitTick() {
    if (loop_.CurrentState() != commands::ReadAllLoop::State::AwaitingLast) {
        awaitTimer_->Stop();
        return;
    }
    if (loop_.AllAnswered() || awaitTicks_-- <= 0) {
        FinishReadAll();
        return;
    }
    if (!awaitTimer_->IsActive()) {
        awaitTimer_->Start();
    }
}

bool ConcentratorPage::StopReadAll() {
    if (!loop_.Running()) {
        return false;
    }
    loop_.Stop();
    FinishReadAll();
    return true;
}

void ConcentratorPage::FinishReadAll() {
    stepTimer_->Stop();
    awaitTimer_->Stop();
    if (!loop_.Running()) {
        return;
    }
    loop_.Finish();
    replies_.SetBufferReplyObserver(nullptr);
    // The summary is the last word, whatever replies or timeouts of the loop's requests follow.
    services_.status.EndLongOperation(loop_.SummaryText());
}

}  // namespace lumvaris::app
