#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TFormGauge;
}

namespace lumvaris::app {

// "Загрузка hex-файла": the progress window of a firmware upload. The user cannot close it (no
// close box, Esc and the window manager's close do nothing): while it shows, the main window is
// hidden, and ButtonAbort is the one way to stop the upload.
class TFormGauge : public QDialog {
    Q_OBJECT
  public:
    explicit TFormGauge(QWidget* parent = nullptr);
    ~TFormGauge() override;

    Ui::TFormGauge& Form() { return *ui_; }

    // Esc: the window stays.
    void reject() override {}

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    std::unique_ptr<Ui::TFormGauge> ui_;
};

}  // namespace lumvaris::app
