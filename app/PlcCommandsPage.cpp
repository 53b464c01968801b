#include "app/PlcCommandsPage.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "app/IMessageBox.h"
#include "app/ModeButtons.h"
#include "app/TFormDebug.h"
#include "commands/CommandSender.h"
#include "commands/HexField.h"
#include "commands/IConnectionControl.h"
#include "commands/ModeTable.h"
#include "commands/PlcCommands.h"
#include "session/ITimer.h"
#include "ui_FormDebug.h"
#include "ui_FormMain.h"

namespace lumvaris::app {

using commands::ModeAction;
using commands::ModeButton;
namespace request = commands::request;

PlcCommandsPage::PlcCommandsPage(Ui::TFormMain& form, const PageServices& services)
    : form_(form), services_(services) {
    QFont fixedPitch(QStringLiteral("Courier New"));
    fixedPitch.setStyleHint(QFont::TypeWriter);
    fixedPitch.setPointSize(9);
    form_.ComboBoxFill->setFont(fixedPitch);
    form_.ComboBoxFill->view()->setFont(fixedPitch);
    connect(form_.ComboBoxFill, &QComboBox::activated, this,
            [this](int index) { services_.guarded([this, index] { ComboBoxFillSelect(index); }); });
    connect(form_.ButtonSetPlcComm, &QPushButton::clicked, this,
            services_.Guard([this] { ButtonSetPlcCommClick(); }));
    connect(form_.ButtonPlcEmpty, &QPushButton::clicked, this,
            services_.Guard([this] { ButtonPlcEmptyClick(); }));
    connect(form_.CheckBoxBroadcast, &QCheckBox::toggled, this,
            services_.Guard([this] { CheckBoxBroadcastClick(); }));
    connect(form_.ButtonSetLongCommand, &QPushButton::clicked, this,
            services_.Guard([this] { ButtonSetLongCommandClick(); }));
    connect(form_.ComboBoxLongCommand, &QComboBox::activated, this,
            [this](int index) { services_.guarded([this, index] { ComboBoxLongCommandSelect(index); }); });
    stepTimer_ = services_.timers.Create("TimerLongCommand", kLongCommandStepMs,
                                         services_.Guard([this] { LongCommandStep(); }));
    CheckBoxBroadcastClick();
}

PlcCommandsPage::~PlcCommandsPage() = default;

// ---------------------------------------------------------------------------------------------
// Short commands and the PLC buffer

void PlcCommandsPage::ComboBoxFillSelect(int index) {
    const auto preset = commands::PresetOfItem(index, form_.ComboBoxFill->itemText(index));
    if (!preset) {
        return;
    }
    form_.EditCommandTYPE->setText(preset->type);
    form_.EditSSLhex->setText(preset->ssssLow);
    form_.EditSSHhex->setText(preset->ssssHigh);
    form_.EditDDLhex->setText(preset->ddddLow);
    form_.EditDDHhex->setText(preset->ddddHigh);
}

void PlcCommandsPage::ButtonSetPlcCommClick() {
    const commands::ShortPlcCommand command = commands::ShortPlcCommandOfFields(
        form_.EditCommandTYPE->text(), form_.EditSSLhex->text(), form_.EditSSHhex->text(),
        form_.EditDDLhex->text(), form_.EditDDHhex->text());
    // The field shows the number it was read as; the request carries its low byte.
    form_.EditCommandTYPE->setText(
        QString::asprintf("%02X", commands::HexFieldParse(form_.EditCommandTYPE->text())));
    services_.sender.Send(request::PlcCommandQueue(command));
}

void PlcCommandsPage::ButtonPlcEmptyClick() {
    services_.sender.Send(request::Plain(commands::RequestType::PlcFreeCellsRead));
}

void PlcCommandsPage::ShowPlcFreeCells(int cells) {
    form_.LabelPlcEmpty->setText(QString::number(cells));
}

// ---------------------------------------------------------------------------------------------
// Long commands

void PlcCommandsPage::CheckBoxBroadcastClick() {
    form_.SpinEditAddress->setEnabled(!form_.CheckBoxBroadcast->isChecked());
}

void PlcCommandsPage::ButtonSetLongCommandClick() {
    const ModeAction action = services_.modes.ActionAtClick(ModeButton::SetLongCommand);
    if (LongCommandGoing()) {
        return;
    }
    const QString typed = form_.ComboBoxLongCommand->currentText();
    if (const QString refusal = commands::LongCommandTextRefusal(typed); !refusal.isEmpty()) {
        services_.messages.Error(services_.window, refusal);
        return;
    }
    const std::vector<std::uint8_t> bytes = commands::LongCommandBytes(typed);
    if (const QString refusal = commands::LongCommandRefusal(bytes.size()); !refusal.isEmpty()) {
        services_.messages.Error(services_.window, refusal);
        return;
    }
    const std::uint16_t destination = commands::LongCommandDestination(form_.CheckBoxBroadcast->isChecked(),
                                                                       form_.SpinEditAddress->value());
    commands::LongCommand command =
        commands::BuildLongCommand(bytes, destination, form_.SpinEditLongCommandType->value());

    if (action == ModeAction::ToClipboard) {
        QString text;
        for (const commands::Request& r : command.requests) {
            text += commands::LongCommandClipboardLine(services_.sender.Frame(r));
        }
        QGuiApplication::clipboard()->setText(text);
        RecordLongCommand(typed, command.controlByte);
        return;
    }
    if (action != ModeAction::Execute) {
        return;
    }
    // The header goes at once; a port that fails it leaves the page as it was.
    services_.sender.Send(command.requests.front());
    RecordLongCommand(typed, command.controlByte);
    pending_.assign(command.requests.begin() + 1, command.requests.end());
    next_ = 0;
    // A disabled button hands its focus down the chain to the port field, where a keystroke
    // would overwrite the port's name; the command text is where the engineer goes on.
    if (form_.ButtonSetLongCommand->hasFocus()) {
        form_.ComboBoxLongCommand->setFocus();
    }
    form_.ButtonSetLongCommand->setEnabled(false);
    stepTimer_->Start();
}

void PlcCommandsPage::LongCommandStep() {
    stepTimer_->Stop();
    if (!LongCommandGoing() || !services_.connection.IsOpen()) {
        FinishLongCommand();
        return;
    }
    try {
        services_.sender.Send(pending_[next_++]);
    } catch (...) {
        FinishLongCommand();
        throw;
    }
    if (LongCommandGoing()) {
        stepTimer_->Start();
    } else {
        FinishLongCommand();
    }
}

void PlcCommandsPage::FinishLongCommand() {
    stepTimer_->Stop();
    pending_.clear();
    next_ = 0;
    form_.ButtonSetLongCommand->setEnabled(true);
}

void PlcCommandsPage::RecordLongCommand(const QString& typed, std::uint8_t controlByte) {
    form_.Label25->setText(commands::ControlByteText(controlByte));
    QComboBox* box = form_.ComboBoxLongCommand;
    box->insertItem(0, typed, static_cast<int>(controlByte));
    box->setCurrentIndex(0);
    box->setEditText(typed);
}

void PlcCommandsPage::ComboBoxLongCommandSelect(int index) {
    // Every entry carries the control byte it was sent with, 00 included.
    const QVariant controlByte = form_.ComboBoxLongCommand->itemData(index);
    form_.Label25->setText(controlByte.isValid()
                               ? commands::ControlByteText(static_cast<std::uint8_t>(controlByte.toInt()))
                               : QStringLiteral("***"));
}

// ---------------------------------------------------------------------------------------------
// Debug mode

void PlcCommandsPage::DebugModeClick() {
    if (debugDialog_ == nullptr) {
        return;
    }
    // The dialog clears both boxes as it shows; its close box is Cancel.
    if (debugDialog_->exec() != QDialog::Accepted) {
        return;
    }
    const Ui::TFormDebug& d = debugDialog_->Form();
    services_.sender.Send(
        request::DebugModeWrite(d.CheckBoxABC->isChecked(), d.CheckBoxIdleMode->isChecked()));
}

}  // namespace lumvaris::app
