#pragma once

#include <QObject>

#include <cstddef>
#include <memory>
#include <vector>

#include "app/PageServices.h"
#include "commands/ReplyDisplays.h"
#include "commands/Requests.h"

namespace Ui {
class TFormMain;
}

namespace lumvaris::session {
class ITimer;
}  // namespace lumvaris::session

namespace lumvaris::app {

class TFormDebug;

// The "PLC-команды" page: short commands queued in the concentrator's PLC buffer (with the preset
// list), the free cells of that buffer, long commands to one meter or to all (sent, or copied to
// the clipboard for a scripting tool), and the concentrator's debug mode behind "Отладка".
//
// A long command goes out one frame per step of its own timer, each frame followed by the
// catalogue's 100 ms pause, so the window handles its events and replies between the frames.
// While it goes, ButtonSetLongCommand is disabled and its click does nothing: a second command
// never mixes its blocks into the first.
class PlcCommandsPage final : public QObject, public commands::IPlcDisplay {
    Q_OBJECT
  public:
    static constexpr int kLongCommandStepMs = 1;

    PlcCommandsPage(Ui::TFormMain& form, const PageServices& services);
    ~PlcCommandsPage() override;

    void SetDebugDialog(TFormDebug* dialog) { debugDialog_ = dialog; }

    void ComboBoxFillSelect(int index);
    void ButtonSetPlcCommClick();
    void ButtonPlcEmptyClick();
    void CheckBoxBroadcastClick();
    void ButtonSetLongCommandClick();
    // A history entry chosen: its control byte.
    void ComboBoxLongCommandSelect(int index);
    // ButtonConfig showing "Отладка": the debug dialog, then DebugModeWrite unless it was cancelled.
    void DebugModeClick();

    // Frames of a long command are still to go.
    bool LongCommandGoing() const { return next_ < pending_.size(); }

    // commands::IPlcDisplay
    void ShowPlcFreeCells(int cells) override;

  private:
    void LongCommandStep();
    void FinishLongCommand();
    // Label25 and the top of the history: the text as typed, with its control byte.
    void RecordLongCommand(const QString& typed, std::uint8_t controlByte);

    Ui::TFormMain& form_;
    PageServices services_;
    TFormDebug* debugDialog_ = nullptr;
    std::unique_ptr<session::ITimer> stepTimer_;
    std::vector<commands::Request> pending_;  // the blocks after the header, in order
    std::size_t next_ = 0;
};

}  // namespace lumvaris::app
