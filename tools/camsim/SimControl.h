#pragma once
// The simulator's control protocol: one text command per line, one reply line per command
// ("ok ..." or "err ..."); "log" and "list" answer with several lines and then "end".

#include "tools/camsim/CamSimulator.h"

#include <string>
#include <string_view>
#include <utility>

class CSimControl {
  public:
    explicit CSimControl(CCamSimulator& simulator) : m_simulator(simulator) {}

    // The reply to one command line, every line ending in '\n'.
    std::string Execute(std::string_view line);

    bool ShutdownRequested() const { return m_bShutdown; }
    // Set by "quit": the connection that sent it is closed after the reply.
    bool TakeCloseRequest() { return std::exchange(m_bClose, false); }

    // Replaces the fleet: "default" or a count; false with a message when the argument is bad.
    bool LoadFleet(std::string_view which, std::string& error);

  private:
    CCamSimulator& m_simulator;
    bool m_bShutdown = false;
    bool m_bClose = false;
};
