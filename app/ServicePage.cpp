#include "app/ServicePage.h"
#include "app/Highlights.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>

#include "app/IMessageBox.h"
#include "app/ModeButtons.h"
#include "commands/CommandSender.h"
#include "commands/HexField.h"
#include "commands/ModeTable.h"
#include "ui/WidgetColours.h"
#include "ui_FormMain.h"

namespace lumvaris::app {

using commands::ModeAction;
using commands::RequestType;
namespace request = commands::request;

ServicePage::ServicePage(Ui::TFormMain& form, const PageServices& services)
    : form_(form), services_(services) {
    connect(form_.ButtonRTC, &QPushButton::clicked, this, services_.Guard([this] { ButtonRTCClick(); }));
    connect(form_.ButtonSRAMtest, &QPushButton::clicked, this,
            services_.Guard([this] { ButtonSRAMtestClick(); }));
    connect(form_.ButtonReset, &QPushButton::clicked, this, services_.Guard([this] { ButtonResetClick(); }));
    connect(form_.ButtonGetReg, &QPushButton::clicked, this,
            services_.Guard([this] { ButtonGetRegClick(); }));

    ui::SetReadOnlyBackground(form_.MemoReg);
    QFont fixedPitch(QStringLiteral("Courier New"));
    fixedPitch.setStyleHint(QFont::TypeWriter);
    fixedPitch.setPointSize(9);
    form_.MemoReg->setFont(fixedPitch);
}

void ServicePage::ButtonRTCClick() {
    const ModeAction action = services_.modes.ActionAtClick(commands::ModeButton::RTC);
    if (action == ModeAction::Read) {
        services_.sender.Send(request::Plain(RequestType::ClockTrimRead));
    } else if (action == ModeAction::Write) {
        services_.sender.Send(request::ClockTrimWrite(form_.SpinEditRTCppm->value()));
    }
}

void ServicePage::ButtonSRAMtestClick() {
    // The test wipes every record the concentrator holds.
    if (services_.messages.Warning(services_.window, tr(kMemoryTestWarning))) {
        services_.sender.Send(request::Plain(RequestType::MemoryTest));
    }
}

void ServicePage::ButtonResetClick() {
    services_.sender.Send(request::Plain(RequestType::Restart));
}

void ServicePage::ButtonGetRegClick() {
    services_.sender.Send(request::RegisterRead(commands::HexFieldParse(form_.EditPage->text()),
                                                commands::HexFieldParse(form_.EditOffset->text()),
                                                form_.SpinEditWrdLen->value()));
}

void ServicePage::ShowClockTrim(int ppm) {
    form_.SpinEditRTCppm->setValue(ppm);
    services_.highlights.Highlight(form_.SpinEditRTCppm);
    services_.highlights.Highlight(form_.Label20);
    services_.highlights.Highlight(form_.Label24);
}

QString ServicePage::RegisterPageText() const {
    return form_.EditPage->text();
}

QString ServicePage::RegisterOffsetText() const {
    return form_.EditOffset->text();
}

void ServicePage::ShowRegisters(const QStringList& lines) {
    form_.MemoReg->clear();
    for (const QString& line : lines) {
        form_.MemoReg->appendPlainText(line);
    }
}

}  // namespace lumvaris::app
