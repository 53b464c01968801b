#include "TFormHashCalculate.h"

#include <QTimer>

#include "app/Desktop.h"
#include "ui_FormHashCalculate.h"

namespace lumvaris::app {

TFormHashCalculate::TFormHashCalculate(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      ui_(new Ui::TFormHashCalculate),
      timerStart_(new QTimer(this)) {
    ui_->setupUi(this);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    QFont hashFont(QStringLiteral("Courier New"));
    hashFont.setStyleHint(QFont::TypeWriter);
    hashFont.setPixelSize(13);
    ui_->LabelHash->setFont(hashFont);
    timerStart_->setObjectName(QStringLiteral("TimerStart"));
    timerStart_->setInterval(100);
    timerStart_->setSingleShot(false);
}

TFormHashCalculate::~TFormHashCalculate() = default;

void TFormHashCalculate::showEvent(QShowEvent* event) {
    CentreOnScreen(*this);
    QDialog::showEvent(event);
}

}  // namespace lumvaris::app
