#pragma once

#include <QString>

#include <utility>
#include <vector>

#include "link/Requester.h"
#include "session/RecentAddresses.h"

namespace lumvaris::session {

// What opening a port means for the window's choices, decided without widgets: the port timeout
// to tick, the recent network addresses, and the note, once a run, that raw TCP sets no rate.
class NetworkPortChoice {
  public:
    // Over a mobile network the round trip alone takes up to 3 s; a local port waits the default.
    static constexpr int kNetworkTimeoutSeconds = 4;

    explicit NetworkPortChoice(QString programDirectory) : recent_(std::move(programDirectory)) {}

    // The engineer ticked a timeout: it stays for every port of this run.
    void ChooseTimeout() { timeoutChosen_ = true; }

    struct Opened {
        int timeoutSeconds = 0;  // to tick; 0 when the engineer's choice stands
        QString note;            // for the status line; empty when there is nothing to say
    };
    // The port is open: a network address goes first in the recent ones.
    Opened PortOpened(const QString& portName);

    // The port dropdown's entries below the local ports: name and description.
    std::vector<std::pair<QString, QString>> RecentEntries() const;

  private:
    RecentAddresses recent_;
    bool timeoutChosen_ = false;
    bool rateNoteShown_ = false;
};

}  // namespace lumvaris::session
