#pragma once
// The replies taken off the reply socket and not yet handled: filled by the thread that drains
// the socket, emptied a batch at a time by the receive pass. Bounded, so that a flood cannot
// grow memory without limit: a datagram offered to a full queue is dropped and counted.

#include "protocol/WireMessage.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

struct QueuedDatagram {
    WireMessage message;
    int length = 0;
    char sender[16];
    std::uint32_t scanId = 0; // the scan open when it was taken off the socket
};

class CReplyQueue {
  public:
    explicit CReplyQueue(std::size_t nCapacity) : m_nCapacity(nCapacity) {}
    CReplyQueue(const CReplyQueue&) = delete;
    CReplyQueue& operator=(const CReplyQueue&) = delete;

    // Appends what fits, in order, and counts the rest as dropped; true when the queue was empty
    // before (its taker may be waiting). Memory running out drops the datagrams too.
    bool Push(const std::vector<QueuedDatagram>& datagrams);
    // Moves up to nMax of the oldest into `out` (which it clears first); true when more wait.
    bool Take(std::vector<QueuedDatagram>& out, std::size_t nMax);
    void Clear();
    std::size_t Size() const;
    // Datagrams dropped because the queue was full.
    long long Dropped() const { return m_nDropped.load(); }

  private:
    const std::size_t m_nCapacity;
    mutable std::mutex m_lock;
    std::deque<QueuedDatagram> m_items;
    std::atomic<long long> m_nDropped{0};
};
