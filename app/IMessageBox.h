#pragma once

#include <QString>

#include <optional>

class QWidget;

namespace lumvaris::app {

// Modal message boxes. The program shows them through this interface so that tests can answer
// them without a nested event loop.
class IMessageBox {
  public:
    virtual ~IMessageBox() = default;
    // An error with one OK button.
    virtual void Error(QWidget* parent, const QString& text) = 0;
    // A notice with one OK button.
    virtual void Inform(QWidget* parent, const QString& text) = 0;
    // A confirmation with OK and Cancel; true for OK.
    virtual bool Confirm(QWidget* parent, const QString& text) = 0;
    // A warning with OK and Cancel; true for OK.
    virtual bool Warning(QWidget* parent, const QString& text) = 0;
    // A failure that can be tried again: "Повторить" (true) or the caption of giving up (false).
    virtual bool Retry(QWidget* parent, const QString& text, const QString& giveUpCaption) = 0;
    // A line of text to type, starting from `text`; nothing when cancelled.
    virtual std::optional<QString> AskText(QWidget* parent, const QString& label, const QString& text) = 0;
};

}  // namespace lumvaris::app
