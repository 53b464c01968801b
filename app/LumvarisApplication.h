#pragma once

#include <QApplication>
#include <functional>

namespace lumvaris::app {

// The application object. An exception that escapes an event handler is reported through the
// general error report instead of ending the program.
class LumvarisApplication : public QApplication {
    Q_OBJECT
  public:
    LumvarisApplication(int& argc, char** argv);

    void SetErrorReport(std::function<void(const QString&)> report) { report_ = std::move(report); }

    bool notify(QObject* receiver, QEvent* event) override;

  private:
    std::function<void(const QString&)> report_;
};

}  // namespace lumvaris::app
