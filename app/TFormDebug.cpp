#include "TFormDebug.h"

#include "ui_FormDebug.h"

namespace lumvaris::app {

TFormDebug::TFormDebug(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      ui_(new Ui::TFormDebug) {
    ui_->setupUi(this);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    connect(ui_->ButtonOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TFormDebug::~TFormDebug() = default;

void TFormDebug::showEvent(QShowEvent* event) {
    ui_->CheckBoxABC->setChecked(false);
    ui_->CheckBoxIdleMode->setChecked(false);
    QDialog::showEvent(event);
}

}  // namespace lumvaris::app
