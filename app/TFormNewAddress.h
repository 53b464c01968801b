#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TFormNewAddress;
}

namespace lumvaris::app {

// "Смена адреса концентратора": the previous and the new UART-ID of an address change. The ranges
// beside the fields are shown, not enforced.
class TFormNewAddress : public QDialog {
    Q_OBJECT
  public:
    explicit TFormNewAddress(QWidget* parent = nullptr);
    ~TFormNewAddress() override;

    Ui::TFormNewAddress& Form() { return *ui_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void CheckBoxForcedClick();

    std::unique_ptr<Ui::TFormNewAddress> ui_;
};

}  // namespace lumvaris::app
