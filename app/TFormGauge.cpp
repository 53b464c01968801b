#include "TFormGauge.h"

#include <QCloseEvent>

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

void TFormGauge::closeEvent(QCloseEvent* event) {
    // The program hides it; a close from outside would leave no window of the program on screen.
    if (event->spontaneous()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

}  // namespace lumvaris::app
