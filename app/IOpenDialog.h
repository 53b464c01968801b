#pragma once

#include <QString>

class QWidget;

namespace lumvaris::app {

// OpenDialog: the choice of the firmware file. Tests answer it without a window.
class IOpenDialog {
  public:
    virtual ~IOpenDialog() = default;
    // The full path of the chosen file; empty when the dialog was cancelled.
    virtual QString Execute(QWidget* parent) = 0;
};

}  // namespace lumvaris::app
