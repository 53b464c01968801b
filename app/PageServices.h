#pragma once

#include <functional>

class QWidget;

namespace lumvaris::link {
class Requester;
}
namespace lumvaris::commands {
class CommandSender;
class IConnectionControl;
}  // namespace lumvaris::commands

namespace lumvaris::session {
class ITimerFactory;
}  // namespace lumvaris::session

namespace lumvaris::app {

class IMessageBox;
class Highlights;
class ModeButtons;
class RequestStatusView;

// What a command page needs of the window: the sender, the reply wait (for the status panel),
// message boxes, timers, the highlight of a reported value and the connection. Pages get this
// and their part of the form, never the window itself.
struct PageServices {
    commands::CommandSender& sender;
    link::Requester& requester;
    // The status panel: a text of the page's own, a long operation's progress and summary.
    RequestStatusView& status;
    const commands::IConnectionControl& connection;
    // What the buttons that follow Shift, Ctrl and Alt do at a click.
    ModeButtons& modes;
    IMessageBox& messages;
    session::ITimerFactory& timers;
    QWidget* window;  // the parent of the page's message boxes and dialogs
    // Paints a reported value maroon until the colour reset.
    Highlights& highlights;
    // Runs a handler; an exception escaping it becomes the general error report.
    std::function<void(const std::function<void()>&)> guarded;

    // A handler for a control's signal, run through guarded.
    template <typename Handler>
    auto Guard(Handler handler) const {
        return [guard = guarded, handler] { guard(handler); };
    }
};

}  // namespace lumvaris::app
