#include "protocol/ReplyQueue.h"

#include <new>

bool CReplyQueue::Push(const std::vector<QueuedDatagram>& datagrams)
{
    std::lock_guard<std::mutex> guard(m_lock);
    const bool bWasEmpty = m_items.empty();
    std::size_t nKept = 0;
    try {
        for (const QueuedDatagram& datagram : datagrams) {
            if (m_items.size() >= m_nCapacity)
                break;
            m_items.push_back(datagram);
            ++nKept;
        }
    } catch (const std::bad_alloc&) {
        // Dropped below, as a full queue's are.
    }
    m_nDropped.fetch_add(static_cast<long long>(datagrams.size() - nKept));
    return bWasEmpty && nKept > 0;
}

bool CReplyQueue::Take(std::vector<QueuedDatagram>& out, std::size_t nMax)
{
    out.clear();
    std::lock_guard<std::mutex> guard(m_lock);
    while (out.size() < nMax && !m_items.empty()) {
        out.push_back(m_items.front());
        m_items.pop_front();
    }
    return !m_items.empty();
}

void CReplyQueue::Clear()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_items.clear();
}

std::size_t CReplyQueue::Size() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_items.size();
}
