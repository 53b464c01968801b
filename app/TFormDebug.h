#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TFormDebug;
}

namespace lumvaris::app {

// "Концентратор: отладка": the two debug switches of the concentrator, cleared at every showing.
class TFormDebug : public QDialog {
    Q_OBJECT
  public:
    explicit TFormDebug(QWidget* parent = nullptr);
    ~TFormDebug() override;

    Ui::TFormDebug& Form() { return *ui_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    std::unique_ptr<Ui::TFormDebug> ui_;
};

}  // namespace lumvaris::app
