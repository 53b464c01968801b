#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TFormGauge;
}

namespace lumvaris::app {

// "Загрузка hex-файла": the progress window of a firmware upload. It has no close box; the user
// stops an upload with ButtonAbort.
class TFormGauge : public QDialog {
    Q_OBJECT
  public:
    explicit TFormGauge(QWidget* parent = nullptr);
    ~TFormGauge() override;

    Ui::TFormGauge& Form() { return *ui_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    std::unique_ptr<Ui::TFormGauge> ui_;
};

}  // namespace lumvaris::app
