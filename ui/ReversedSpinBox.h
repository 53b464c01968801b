#pragma once

#include <QSpinBox>

namespace lumvaris::ui {

// A spin box whose arrows run the other way: the up arrow lowers the value. The meter-number
// fields of the buffer commands count this way.
class ReversedSpinBox : public QSpinBox {
    Q_OBJECT
  public:
    explicit ReversedSpinBox(QWidget* parent = nullptr);

    void stepBy(int steps) override;

  protected:
    StepEnabled stepEnabled() const override;
};

}  // namespace lumvaris::ui
