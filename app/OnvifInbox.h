#pragma once
// COnvifInbox: what the WS-Discovery receiver heard, on its way from the receiver's thread to the
// window thread. The receiver puts each batch in and returns at once; the window takes all that
// waits when it gets to it. A flood must not grow memory without limit while the window is busy:
// past MAX_WAITING announcements the excess is dropped and counted.

#include "protocol/OnvifDevice.h"

#include <atomic>
#include <cstddef>
#include <mutex>
#include <vector>

class COnvifInbox {
  public:
    static constexpr std::size_t MAX_WAITING = 4096;

    // Any thread. Keeps what fits; true when the inbox was empty, so that the caller wakes the
    // window thread once for everything that gathers until it takes it.
    bool Put(std::vector<OnvifAnnouncement>&& batch);
    // Everything waiting, in the order heard; the inbox is empty afterwards.
    std::vector<OnvifAnnouncement> Take();
    bool IsEmpty() const;
    // Announcements dropped since construction.
    std::size_t GetDropped() const { return m_nDropped.load(); }

  private:
    mutable std::mutex m_lock;
    std::vector<OnvifAnnouncement> m_waiting;
    std::atomic<std::size_t> m_nDropped{0};
};
