#pragma once

#include "app/ISaveDialog.h"

namespace lumvaris::app {

// The save dialog over QFileDialog: "Сохранить обмен", text files (*.txt), default extension
// "txt". The folder last chosen is offered again.
class QtSaveDialog final : public ISaveDialog {
  public:
    QString Execute(QWidget* parent) override;

  private:
    QString directory_;
};

}  // namespace lumvaris::app
