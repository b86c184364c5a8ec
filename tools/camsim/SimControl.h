#pragma once
// The simulator's control protocol: one text command per line, one reply line per command
// ("ok ..." or "err ..."); "log" and "list" answer with several lines and then "end".

#include "tools/camsim/CamSimulator.h"
#include "tools/camsim/SimOnvif.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

    // The ONVIF devices ("onvif ..." commands); `startFleet` ("none", "default" or a count) is what
    // "reset" returns to. False with a message when the fleet is bad.
    bool AttachOnvif(CSimOnvif& onvif, std::string_view startFleet, std::string& error);

  private:
    std::string ExecuteOnvif(const std::vector<std::string_view>& words);
    bool LoadOnvifFleet(std::string_view which, std::string& error);

    CCamSimulator& m_simulator;
    CSimOnvif* m_pOnvif = nullptr;
    std::string m_onvifStart = "none";
    bool m_bShutdown = false;
    bool m_bClose = false;
};
