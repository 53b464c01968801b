#include "TFormAppOptions.h"

#include <QLineEdit>

#include "ui_FormAppOptions.h"

namespace lumvaris::app {

TFormAppOptions::TFormAppOptions(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      ui_(new Ui::TFormAppOptions) {
    ui_->setupUi(this);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    for (QSpinBox* field : {ui_->SpinEditCount, ui_->SpinEditPackets, ui_->SpinEditDays}) {
        if (QLineEdit* text = field->findChild<QLineEdit*>()) {
            text->setReadOnly(true);
        }
    }
    connect(ui_->ButtonAopOK, &QPushButton::clicked, this, &TFormAppOptions::ApplyRequested);
    connect(ui_->ButtonAopCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TFormAppOptions::~TFormAppOptions() = default;

}  // namespace lumvaris::app
