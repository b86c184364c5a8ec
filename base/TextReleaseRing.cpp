#include "base/TextReleaseRing.h"

#include <cstdlib>
#include <new>

TextReleaseRing& TextReleaseRing::Instance()
{
    // A function-local static is initialised exactly once even when several threads convert
    // their first text at the same time; the lock therefore exists before anyone takes it.
    static TextReleaseRing* s_pRing = new TextReleaseRing;
    return *s_pRing;
}

TextReleaseRing::TextReleaseRing()
{
    InitializeCriticalSection(&m_lock);
}

void* TextReleaseRing::Keep(void* pBuffer)
{
    if (!pBuffer)
        return nullptr;
    EnterCriticalSection(&m_lock);
    const int nSlot = m_nNext;
    m_nNext = (m_nNext + 1) % SLOT_COUNT;
    void* pOld = m_pSlots[nSlot];
    m_pSlots[nSlot] = pBuffer;
    if (pOld) {
        if (m_releaseHook)
            m_releaseHook(pOld);
        std::free(pOld);
    }
    LeaveCriticalSection(&m_lock);
    return pBuffer;
}

void TextReleaseRing::SetReleaseHook(ReleaseHook hook)
{
    EnterCriticalSection(&m_lock);
    m_releaseHook = hook;
    LeaveCriticalSection(&m_lock);
}
