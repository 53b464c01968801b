#pragma once

#include <QString>

class QWidget;

namespace lumvaris::app {

// The choice of a file to write (the monitor's saved traffic). Tests answer it without a window.
class ISaveDialog {
  public:
    virtual ~ISaveDialog() = default;
    // The full path chosen; empty when the dialog was cancelled.
    virtual QString Execute(QWidget* parent) = 0;
};

}  // namespace lumvaris::app
