#pragma once

#include "app/IOpenDialog.h"

namespace lumvaris::app {

// OpenDialog over QFileDialog: "Прошивка новой версии кода концентратора", one filter "Hex файлы"
// (*.hex), default extension "hex". The folder last chosen is offered again.
class QtOpenDialog final : public IOpenDialog {
  public:
    QString Execute(QWidget* parent) override;

  private:
    QString directory_;
};

}  // namespace lumvaris::app
