#include "app/ConcentratorPage.h"

#include <QAction>
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
#include "ui/RadioGroup.h"
#include "ui_FormMain.h"

namespace lumvaris::app {

using commands::ModeAction;
using commands::ModeButton;
using commands::RequestType;
namespace request = commands::request;

ConcentratorPage::ConcentratorPage(Ui::TFormMain& form, const PageServices& services,
                                   commands::ReplyHandler& replies, std::function<int()> networkMeters)
    : form_(form),
      services_(services),
      replies_(replies),
      networkMeters_(std::move(networkMeters)),
      readAll_(services.sender, services.requester, replies, services.connection, services.timers,
               services.guarded) {
    readAll_.SetView(this);
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
}

ConcentratorPage::~ConcentratorPage() = default;

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
    // The pace is read at every start: a change in the menu takes effect with the next read.
    readAll_.Start(type, 1, networkMeters_ ? networkMeters_() : 0,
                   form_.NMainOptionsPaceReply->isChecked() ? session::ReadAllPace::Reply
                                                            : session::ReadAllPace::Window);
}

void ConcentratorPage::ReadAllStarted(const commands::ReadAllLoop&) {
    // The progress stands in the status panel for the whole run, and the port, rate and
    // UART-ID stay locked until the end (Esc stops the loop).
    services_.status.BeginLongOperation();
}

void ConcentratorPage::ReadAllSending(int meter) {
    form_.SpinEditBuffSlotNumber->setValue(meter);  // the mirror sets the other field
}

void ConcentratorPage::ReadAllSent(const commands::ReadAllLoop& loop) {
    services_.status.ShowProgress(loop.ProgressText());
}

bool ConcentratorPage::StopReadAll() {
    return readAll_.Stop();
}

void ConcentratorPage::ReadAllFinished(const commands::ReadAllLoop& loop) {
    // The summary is the last word, whatever replies or timeouts of the loop's requests follow.
    services_.status.EndLongOperation(loop.SummaryText());
}

}  // namespace lumvaris::app
