#include "app/UartIdPanel.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "app/IMessageBox.h"
#include "app/ModeButtons.h"
#include "app/TFormNewAddress.h"
#include "commands/AddressRules.h"
#include "commands/CommandSender.h"
#include "commands/HexField.h"
#include "commands/IConnectionControl.h"
#include "commands/ModeTable.h"
#include "link/Frame.h"
#include "ui_FormMain.h"
#include "ui_FormNewAddress.h"

namespace lumvaris::app {

using commands::ModeAction;
using commands::ModeButton;
namespace request = commands::request;

UartIdPanel::UartIdPanel(Ui::TFormMain& form, const PageServices& services)
    : form_(form), services_(services) {
    connect(form_.ButtonAddress, &QPushButton::clicked, this,
            services_.Guard([this] { ButtonAddressClick(); }));
}

void UartIdPanel::ButtonAddressClick() {
    switch (services_.modes.ActionAtClick(ModeButton::Address)) {
        case ModeAction::Read:
            services_.sender.Send(request::Plain(commands::RequestType::AddressRead));
            break;
        case ModeAction::Write:
            ChangeAddress();
            break;
        default:
            break;
    }
}

void UartIdPanel::ChangeAddress() {
    if (dialog_ == nullptr || !services_.messages.Confirm(services_.window, tr(kConfirmText))) {
        return;
    }
    Ui::TFormNewAddress& d = dialog_->Form();
    d.EditOldAddress->setText(QString::asprintf("%04X", services_.connection.UartId()));
    if (dialog_->exec() != QDialog::Accepted) {
        return;
    }
    const std::uint16_t destination =
        d.CheckBoxForced->isChecked()
            ? link::kDefaultConcentratorAddress
            : static_cast<std::uint16_t>(commands::HexFieldParse(d.EditOldAddress->text()));
    const auto address = static_cast<std::uint16_t>(commands::HexFieldParse(d.EditNewAddress->text()));
    if (const QString reason = commands::UnreachableAddressReason(address); !reason.isEmpty()) {
        services_.messages.Error(services_.window, reason + tr("\nАдрес не изменён."));
        return;
    }
    // The UART-ID field changes only when the concentrator reports its new address.
    services_.sender.Send(request::AddressWrite(destination, address));
}

}  // namespace lumvaris::app
