#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace lumvaris::session {

// SIGTERM, SIGHUP and SIGINT as events of the event loop: the signal handler only writes the
// signal's number into a pipe, and the loop (also a nested one under a message box) calls
// `onStop` with it, once per signal in the order they came. So the program ends the way its own "exit" ends
// it, saving what it holds, when it is stopped by `kill`, a logout, a shutdown, `systemctl stop` or Ctrl+C.
// One per process.
class StopSignals final : public QObject {
    Q_OBJECT
  public:
    explicit StopSignals(std::function<void(int signal)> onStop, QObject* parent = nullptr);
    ~StopSignals() override;

    // The signal that arrived last, 0 for none.
    int Received() const { return received_; }

  private:
    void Read();

    std::function<void(int)> onStop_;
    QSocketNotifier* notifier_ = nullptr;
    int received_ = 0;
};

}  // namespace lumvaris::session
