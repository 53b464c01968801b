#include "TFormNewAddress.h"

#include "ui_FormNewAddress.h"

namespace lumvaris::app {

TFormNewAddress::TFormNewAddress(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      ui_(new Ui::TFormNewAddress) {
    ui_->setupUi(this);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    connect(ui_->ButtonOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui_->CheckBoxForced, &QCheckBox::toggled, this, [this] { CheckBoxForcedClick(); });
}

TFormNewAddress::~TFormNewAddress() = default;

void TFormNewAddress::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    ui_->EditNewAddress->setFocus();
}

void TFormNewAddress::CheckBoxForcedClick() {
    // A forced change goes to the default address, so the previous address is of no use then.
    const bool previousShown = !ui_->CheckBoxForced->isChecked();
    for (QWidget* w :
         {static_cast<QWidget*>(ui_->EditOldAddress), static_cast<QWidget*>(ui_->LabelOldAddress),
          static_cast<QWidget*>(ui_->Label1), static_cast<QWidget*>(ui_->Label2)}) {
        w->setVisible(previousShown);
    }
}

}  // namespace lumvaris::app
