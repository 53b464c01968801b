#pragma once

#include <QApplication>
#include <functional>

#include "i18n/Translators.h"

namespace lumvaris::app {

// The application object. An exception that escapes an event handler is reported through the
// general error report instead of ending the program.
class LumvarisApplication : public QApplication {
    Q_OBJECT
  public:
    LumvarisApplication(int& argc, char** argv);

    // Chooses the language (LUMVARIS_LANG, the window's saved choice in `dataDirectory`, the desktop's
    // locale) and installs its translators; returns it. Before any window is made.
    QString InstallLanguage(const QString& dataDirectory);

    void SetErrorReport(std::function<void(const QString&)> report) { report_ = std::move(report); }

    bool notify(QObject* receiver, QEvent* event) override;

  private:
    std::function<void(const QString&)> report_;
    i18n::Translators translators_;
};

}  // namespace lumvaris::app
