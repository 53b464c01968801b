#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <memory>

namespace Ui {
class TFormHashCalculate;
}

namespace lumvaris::keys {
class KeyDerivation;
}

namespace lumvaris::session {
class ITimer;
class ITimerFactory;
}  // namespace lumvaris::session

namespace lumvaris::app {

// "Вычисление бинарного ключа, подождите, пожалуйста ...": shows the binary key while it is derived
// or taken from the key file, modal for the whole program. The window drives a KeyDerivation on its
// timers: TimerStart (100 ms, once per showing) starts the settling pause, then each step is one
// firing of a single-shot timer (0 ms while deriving, so the window repaints and hears Cancel
// between the 100 steps; the pause length around a pause). It closes with Accepted when the key is
// to be sent, Rejected otherwise; finished() tells the key panel.
class TFormHashCalculate : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kTimerStartInterval = 100;

    explicit TFormHashCalculate(QWidget* parent = nullptr);
    ~TFormHashCalculate() override;

    Ui::TFormHashCalculate& Form() { return *ui_; }

    // FormShow: the derivation takes the key text (key source chosen, the first hash taken for a
    // new name) and the window shows what it holds. Returns false, showing nothing, when the
    // derivation ended at once (a refused name: its ErrorText says why). The timers come from
    // `timers`, the window's own factory, so a test drives them.
    bool Calculate(keys::KeyDerivation& derivation, const QString& keyText, session::ITimerFactory& timers);
    bool Running() const { return derivation_ != nullptr; }

    void TimerStartTimer();
    // Cancel, Esc and the title bar's close box: the derivation ends as cancelled.
    void ButtonCancelClick();

  protected:
    void showEvent(QShowEvent* event) override;
    // Esc and the close box come here.
    void reject() override;

  private:
    void CreateTimers(session::ITimerFactory& timers);
    void StepTimerTimer(session::ITimer& fired);
    // Paints the key and the progress, then closes or arms the timer of the next step.
    void Continue();
    void Finish();

    std::unique_ptr<Ui::TFormHashCalculate> ui_;
    session::ITimerFactory* timerFactory_ = nullptr;
    std::unique_ptr<session::ITimer> timerStart_;
    std::unique_ptr<session::ITimer> timerStep_;   // 0 ms: the next of the 100 steps
    std::unique_ptr<session::ITimer> timerPause_;  // the settling and the closing pause
    keys::KeyDerivation* derivation_ = nullptr;
    // The derivation's clock: the time of this window's timers, each firing adding its interval.
    // So a pause lasts what its timer lasts, and tests that drive the timers drive the pauses.
    std::int64_t nowMs_ = 0;
};

}  // namespace lumvaris::app
