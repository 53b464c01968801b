#include "TFormGauge.h"

#include "app/Desktop.h"
#include "ui_FormGauge.h"

namespace lumvaris::app {

TFormGauge::TFormGauge(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), ui_(new Ui::TFormGauge) {
    ui_->setupUi(this);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    ui_->LabelInfo->setMinimumWidth(280);
}

TFormGauge::~TFormGauge() = default;

void TFormGauge::showEvent(QShowEvent* event) {
    CentreOnScreen(*this);
    QDialog::showEvent(event);
}

}  // namespace lumvaris::app
