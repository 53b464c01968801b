#pragma once

#include <memory>

#include "app/IOpenDialog.h"

class QFileDialog;

namespace lumvaris::app {

// OpenDialog over QFileDialog: "Прошивка новой версии кода концентратора", one filter "Hex файлы"
// (*.hex), default extension "hex". The folder last chosen is offered again.
class QtOpenDialog final : public IOpenDialog {
  public:
    static constexpr const char* kTitle = "Прошивка новой версии кода концентратора";
    static constexpr const char* kFilter = "Hex файлы (*.hex)";
    static constexpr const char* kDefaultExtension = "hex";

    QString Execute(QWidget* parent) override;
    // The dialog as Execute shows it.
    std::unique_ptr<QFileDialog> Make(QWidget* parent) const;

  private:
    QString directory_;
};

}  // namespace lumvaris::app
