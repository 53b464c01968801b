#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TFormAppOptions;
}

namespace lumvaris::app {

// "Настройки локальной базы данных": meter count and the two storage depths. The fields change only
// by their arrows, within their ranges. "Применить" applies and leaves the dialog open; "Выход"
// closes it without applying.
class TFormAppOptions : public QDialog {
    Q_OBJECT
  public:
    explicit TFormAppOptions(QWidget* parent = nullptr);
    ~TFormAppOptions() override;

    Ui::TFormAppOptions& Form() { return *ui_; }

  signals:
    // ButtonAopOK: the owner applies the settings.
    void ApplyRequested();

  private:
    std::unique_ptr<Ui::TFormAppOptions> ui_;
};

}  // namespace lumvaris::app
