#pragma once

#include <QDialog>
#include <memory>

class QTimer;

namespace Ui {
class TFormHashCalculate;
}

namespace lumvaris::app {

// "Вычисление бинарного ключа, подождите, пожалуйста ...": shows the binary key while it is derived
// or taken from the key file. TimerStart (100 ms, disabled at start) starts the work once the window
// is on screen.
class TFormHashCalculate : public QDialog {
    Q_OBJECT
  public:
    explicit TFormHashCalculate(QWidget* parent = nullptr);
    ~TFormHashCalculate() override;

    Ui::TFormHashCalculate& Form() { return *ui_; }
    QTimer& TimerStart() { return *timerStart_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    std::unique_ptr<Ui::TFormHashCalculate> ui_;
    QTimer* timerStart_;
};

}  // namespace lumvaris::app
