#pragma once

#include <QObject>

#include <functional>
#include <memory>

#include "app/PageServices.h"
#include "commands/ReadAllLoop.h"
#include "commands/ReplyDisplays.h"

namespace Ui {
class TFormMain;
}

namespace lumvaris::commands {
class ReplyHandler;
}

namespace lumvaris::session {
class ITimer;
}  // namespace lumvaris::session

namespace lumvaris::app {

// The "Концентратор" page: the configuration, the two buffers of one meter or of all meters, and
// the clock of the subordinate nodes. It owns the click handlers of its buttons (each acting on
// its button's caption) and shows the configuration the concentrator reports.
class ConcentratorPage final : public QObject, public commands::IConcentratorDisplay {
    Q_OBJECT
  public:
    // The read-all loop sends its next request 1 ms after the previous one's pause, so pending
    // events and replies are handled in between.
    static constexpr int kReadAllStepMs = 1;
    // After the last request, the replies still due are awaited for the port timeout, in ticks.
    static constexpr int kAwaitTickMs = 100;

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
    bool ReadAllRunning() const { return loop_.Running(); }
    const commands::ReadAllLoop& ReadAll() const { return loop_; }

    // commands::IConcentratorDisplay
    void ShowConfiguration(const commands::ConfigurationByte& configuration, int networkSize) override;

  private:
    void StartReadAll(commands::RequestType type);
    void ReadAllStep();
    void AwaitTick();
    void FinishReadAll();

    Ui::TFormMain& form_;
    PageServices services_;
    commands::ReplyHandler& replies_;
    std::function<int()> networkMeters_;
    std::function<void()> debugAction_;
    commands::ReadAllLoop loop_;
    std::unique_ptr<session::ITimer> stepTimer_;
    std::unique_ptr<session::ITimer> awaitTimer_;
    int awaitTicks_ = 0;
};

}  // namespace lumvaris::app
