#include "TFormHashCalculate.h"

#include <QPushButton>

#include "app/Desktop.h"
#include "keys/KeyDerivation.h"
#include "session/ITimer.h"
#include "ui_FormHashCalculate.h"

namespace lumvaris::app {

TFormHashCalculate::TFormHashCalculate(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      ui_(new Ui::TFormHashCalculate) {
    ui_->setupUi(this);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    QFont hashFont(QStringLiteral("Courier New"));
    hashFont.setStyleHint(QFont::TypeWriter);
    hashFont.setPixelSize(13);
    ui_->LabelHash->setFont(hashFont);
    // The main window is not reachable while a key is being computed.
    setWindowModality(Qt::ApplicationModal);
    connect(ui_->ButtonCancel, &QPushButton::clicked, this, [this] { ButtonCancelClick(); });
}

TFormHashCalculate::~TFormHashCalculate() = default;

void TFormHashCalculate::CreateTimers(session::ITimerFactory& timers) {
    if (timerFactory_ == &timers) {
        return;
    }
    timerFactory_ = &timers;
    timerStart_ = timers.Create("TimerStart", kTimerStartInterval, [this] { TimerStartTimer(); });
    timerStep_ = timers.Create("TimerStep", 0, [this] { StepTimerTimer(*timerStep_); });
    timerPause_ = timers.Create("TimerPause", static_cast<int>(keys::KeyDerivation::kPauseMs),
                                [this] { StepTimerTimer(*timerPause_); });
}

bool TFormHashCalculate::Calculate(keys::KeyDerivation& derivation, const QString& keyText,
                                   session::ITimerFactory& timers) {
    if (Running()) {
        return false;
    }
    CreateTimers(timers);
    derivation.Begin(keyText);
    if (derivation.IsFinished()) {
        return false;
    }
    derivation_ = &derivation;
    nowMs_ = 0;
    ui_->LabelHash->setText(derivation.LabelHash());
    ui_->ProgressBar->setValue(derivation.Progress());
    setResult(0);
    show();
    timerStart_->Start();
    return true;
}

void TFormHashCalculate::showEvent(QShowEvent* event) {
    CentreOnScreen(*this);
    QDialog::showEvent(event);
}

void TFormHashCalculate::TimerStartTimer() {
    timerStart_->Stop();
    if (derivation_ == nullptr) {
        return;
    }
    nowMs_ += timerStart_->Interval();
    derivation_->Start(nowMs_);
    Continue();
}

void TFormHashCalculate::StepTimerTimer(session::ITimer& fired) {
    fired.Stop();
    if (derivation_ == nullptr) {
        return;
    }
    nowMs_ += fired.Interval();
    derivation_->Step(nowMs_);
    Continue();
}

void TFormHashCalculate::Continue() {
    ui_->LabelHash->setText(derivation_->LabelHash());
    ui_->ProgressBar->setValue(derivation_->Progress());
    if (derivation_->IsFinished()) {
        Finish();
        return;
    }
    const std::int64_t wait = derivation_->MsUntilNextStep(nowMs_);
    if (wait == 0) {
        // Back to the event loop first: the label and the bar repaint, Cancel and Esc are seen.
        timerStep_->Start();
    } else if (wait > 0) {
        // A pause is never cut short; the machine's pauses are all one pause timer long.
        timerPause_->Start();
    }
}

void TFormHashCalculate::ButtonCancelClick() {
    if (derivation_ != nullptr) {
        derivation_->Cancel();
        Finish();
    }
}

void TFormHashCalculate::reject() {
    if (derivation_ != nullptr) {
        ButtonCancelClick();
        return;
    }
    QDialog::reject();
}

void TFormHashCalculate::Finish() {
    timerStart_->Stop();
    timerStep_->Stop();
    timerPause_->Stop();
    const bool send = derivation_->ShouldSend();
    derivation_ = nullptr;
    done(send ? QDialog::Accepted : QDialog::Rejected);
}

}  // namespace lumvaris::app
