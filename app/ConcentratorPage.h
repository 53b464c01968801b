#pragma once

#include <QObject>

#include <functional>
#include <memory>

#include "app/PageServices.h"
#include "commands/ReadAllLoop.h"
#include "commands/ReplyDisplays.h"
#include "session/ReadAll.h"

namespace Ui {
class TFormMain;
}

namespace lumvaris::commands {
class ReplyHandler;
}

namespace lumvaris::app {

// The "Концентратор" page: the configuration, the two buffers of one meter or of all meters, and
// the clock of the subordinate nodes. It owns the click handlers of its buttons (each acting on
// its button's caption) and shows the configuration the concentrator reports. The read of all
// buffers runs on session::ReadAll, at the pace "Настройки" chooses, with its progress and summary
// in the status panel.
class ConcentratorPage final : public QObject,
                               public commands::IConcentratorDisplay,
                               private session::IReadAllView {
    Q_OBJECT
  public:
    // networkMeters: the meter count of the local network store (its columns - 1).
    ConcentratorPage(Ui::TFormMain& form, const PageServices& services, commands::ReplyHandler& replies,
                     std::function<int()> networkMeters);
    ~ConcentratorPage() override;

    // What "Отладка" opens (the debug dialog of the PLC page).
    void SetDebugAction(std::function<void()> action) { debugAction_ = std::move(action); }

    void ButtonConfigClick();
    void ButtonLPClick();
    void ButtonLMClick();
    void ButtonForceTimeDateClick();

    // Esc while a read-all runs stops it; true when the key was taken.
    bool StopReadAll();
    bool ReadAllRunning() const { return readAll_.Running(); }
    const commands::ReadAllLoop& ReadAll() const { return readAll_.Loop(); }

    // commands::IConcentratorDisplay
    void ShowConfiguration(const commands::ConfigurationByte& configuration, int networkSize) override;

  private:
    void StartReadAll(commands::RequestType type);
    // session::IReadAllView
    void ReadAllStarted(const commands::ReadAllLoop& loop) override;
    void ReadAllSending(int meter) override;
    void ReadAllSent(const commands::ReadAllLoop& loop) override;
    void ReadAllFinished(const commands::ReadAllLoop& loop) override;

    Ui::TFormMain& form_;
    PageServices services_;
    commands::ReplyHandler& replies_;
    std::function<int()> networkMeters_;
    std::function<void()> debugAction_;
    session::ReadAll readAll_;
};

}  // namespace lumvaris::app
