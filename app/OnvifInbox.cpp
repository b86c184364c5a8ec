#include "app/OnvifInbox.h"

#include <iterator>

bool COnvifInbox::Put(std::vector<OnvifAnnouncement>&& batch)
{
    std::lock_guard<std::mutex> hold(m_lock);
    const bool bWasEmpty = m_waiting.empty();
    const std::size_t room = MAX_WAITING - m_waiting.size();
    const std::size_t kept = batch.size() < room ? batch.size() : room;
    m_waiting.insert(m_waiting.end(), std::make_move_iterator(batch.begin()),
                     std::make_move_iterator(batch.begin() + static_cast<std::ptrdiff_t>(kept)));
    m_nDropped += batch.size() - kept;
    return bWasEmpty && kept > 0;
}

std::vector<OnvifAnnouncement> COnvifInbox::Take()
{
    std::vector<OnvifAnnouncement> taken;
    std::lock_guard<std::mutex> hold(m_lock);
    taken.swap(m_waiting);
    return taken;
}

bool COnvifInbox::IsEmpty() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_waiting.empty();
}
