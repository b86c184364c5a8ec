#include "base/MyThreadHost.h"

#include <mmsystem.h>
#include <process.h>

#include <new>
#include <utility>
#include <vector>

namespace {

// The record of the worker running on this thread, so that IsThreadRunning can tell a worker
// left over from an earlier start of its index.
thread_local const CMyThreadHost::ThreadStartRecord* t_pWorkerRecord = nullptr;

bool IsValidIndex(int nIndex)
{
    return nIndex >= 0 && nIndex < CMyThreadHost::MAX_THREADS;
}

// Workers sleep 1 ms before each pass and poll with 1 ms waits; without a 1 ms timer period
// Windows rounds those up to the 15.6 ms scheduler tick. Asked once, for the life of the process.
void UseOneMillisecondTimer()
{
    static const bool s_bDone = [] {
        timeBeginPeriod(1);
        return true;
    }();
    (void)s_bDone;
}

// Waits for a thread to end while handling messages sent to this thread: a worker blocked in
// SendMessage to the joining thread could not finish otherwise.
void JoinPumpingSentMessages(HANDLE hThread)
{
    for (;;) {
        const DWORD r =
            MsgWaitForMultipleObjectsEx(1, &hThread, INFINITE, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
        if (r == WAIT_OBJECT_0)
            return;
        if (r != WAIT_OBJECT_0 + 1) {
            WaitForSingleObject(hThread, INFINITE);
            return;
        }
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

// Installs a lazily created object once; the loser of a race releases its own copy.
template <typename T, typename Make, typename Free>
T* InstallOnce(std::atomic<T*>& slot, Make make, Free release)
{
    T* pExisting = slot.load();
    if (pExisting)
        return pExisting;
    T* pNew = make();
    if (!pNew)
        return nullptr;
    if (slot.compare_exchange_strong(pExisting, pNew))
        return pNew;
    release(pNew);
    return pExisting;
}

HANDLE MakeAutoResetEvent()
{
    return CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

} // namespace

CMyThreadHost::~CMyThreadHost()
{
    StopAllThreads();
}

int CMyThreadHost::StartThread(int nIndex)
{
    return SetThreadRun(nIndex, 1);
}

int CMyThreadHost::StopThread(int nIndex)
{
    return SetThreadRun(nIndex, 0);
}

void CMyThreadHost::StartThreads(int nCount, int nFirst)
{
    for (int k = 0; k < nCount; ++k)
        StartThread(nFirst + k);
}

void CMyThreadHost::StopThreads(int nCount, int nFirst)
{
    for (int k = 0; k < nCount; ++k)
        StopThread(nFirst + k);
}

int CMyThreadHost::SetThreadRun(int nIndex, int nRun)
{
    if (!IsValidIndex(nIndex))
        return 0;
    if (!nRun) {
        std::lock_guard<std::mutex> guard(m_tableLock);
        m_nRunning[nIndex] = 0;
        if (m_threads[nIndex].hThread) {
            SetSignal(nIndex); // wakes a worker waiting on its own slot
            RetireThread(nIndex);
        }
        return 1;
    }

    if (m_nClosing)
        return 0;
    if (m_nRunning[nIndex])
        return 1;
    // Creates the slot's event before the worker exists and swallows a signal left from before.
    WaitSignal(nIndex, 1);
    // The worker rests between passes on this event, so that closing the host wakes it.
    ClosingEvent();
    UseOneMillisecondTimer();

    std::lock_guard<std::mutex> guard(m_tableLock);
    PruneRetired();
    // A worker that ended on its own (a failed pass) leaves its handle behind.
    if (m_threads[nIndex].hThread)
        RetireThread(nIndex);
    m_nRunning[nIndex] = 1;
    const unsigned nGeneration = ++m_nGenerations[nIndex];
    auto* pRecord = new (std::nothrow) ThreadStartRecord{nIndex, this, nGeneration};
    if (!pRecord)
        return 1;
    unsigned nThreadId = 0;
    const uintptr_t h = _beginthreadex(nullptr, 0, &CMyThreadHost::WorkerMain, pRecord, 0, &nThreadId);
    if (!h) {
        delete pRecord;
        return 1;
    }
    m_threads[nIndex] = {CUniqueKernelHandle(reinterpret_cast<HANDLE>(h)), static_cast<DWORD>(nThreadId)};
    return 1;
}

// Called with m_tableLock held. A stopped worker may still be inside its pass: its handle is
// kept so that StopAllThreads can wait for it.
void CMyThreadHost::RetireThread(int nIndex)
{
    WorkerThread worker = std::move(m_threads[nIndex]);
    m_threads[nIndex] = {};
    try {
        m_retired.push_back(std::move(worker)); // untouched when it throws
    } catch (...) {
        // No room to remember it: wait for it now rather than lose track of it.
        JoinPumpingSentMessages(worker.hThread.Get());
    }
}

// Called with m_tableLock held: forgets retired workers that have already ended.
void CMyThreadHost::PruneRetired()
{
    std::erase_if(m_retired, [](const WorkerThread& worker) {
        return WaitForSingleObject(worker.hThread.Get(), 0) == WAIT_OBJECT_0;
    });
}

int CMyThreadHost::IsThreadRunning(int nIndex) const
{
    if (!IsValidIndex(nIndex))
        return 0;
    const ThreadStartRecord* pRecord = t_pWorkerRecord;
    if (pRecord && pRecord->pHost == this && pRecord->nIndex == nIndex &&
        pRecord->nGeneration != m_nGenerations[nIndex])
        return 0;
    return m_nRunning[nIndex] ? 1 : 0;
}

bool CMyThreadHost::KeepsRunning(const ThreadStartRecord& record) const
{
    return !m_nClosing && m_nRunning[record.nIndex] && m_nGenerations[record.nIndex] == record.nGeneration;
}

unsigned __stdcall CMyThreadHost::WorkerMain(void* pParam)
{
    auto* pRecord = static_cast<ThreadStartRecord*>(pParam);
    CMyThreadHost* pHost = pRecord->pHost;
    t_pWorkerRecord = pRecord;
    // After the last check below the worker no longer touches the host: the host's
    // StopAllThreads waits for this thread before it releases anything.
    try {
        // The rest between passes waits on the closing event, and the flags are read again after
        // it: a worker that the host's closing wakes (or that rested through it) begins no pass.
        while (pHost->KeepsRunning(*pRecord) && pHost->RestBetweenPasses() && pHost->KeepsRunning(*pRecord))
            pHost->ThreadProc(pRecord->nIndex);
    } catch (...) {
        // No exception leaves a thread entry. The index is freed for a new start and the failure
        // is counted where the owner can see it.
        pHost->RecordFailure(*pRecord);
    }
    t_pWorkerRecord = nullptr;
    delete pRecord;
    return 0;
}

bool CMyThreadHost::RestBetweenPasses()
{
    const HANDLE hClosing = m_hClosing.load();
    if (!hClosing) {
        Sleep(1);
        return true;
    }
    return WaitForSingleObject(hClosing, 1) != WAIT_OBJECT_0;
}

void CMyThreadHost::RecordFailure(const ThreadStartRecord& record)
{
    // Clears the flag only while it still belongs to this worker's start: a stop and restart made
    // meanwhile owns it now. The table lock is not needed when the index was already stopped
    // (a stop may hold it while it waits for this thread).
    for (;;) {
        if (!m_nRunning[record.nIndex] || m_nGenerations[record.nIndex] != record.nGeneration)
            break;
        if (m_tableLock.try_lock()) {
            if (m_nGenerations[record.nIndex] == record.nGeneration)
                m_nRunning[record.nIndex] = 0;
            m_tableLock.unlock();
            break;
        }
        Sleep(0);
    }
    m_nLastFailedIndex = record.nIndex;
    ++m_nFailures;
}

int CMyThreadHost::GetThreadFailures() const
{
    return m_nFailures;
}

int CMyThreadHost::GetLastFailedIndex() const
{
    return m_nLastFailedIndex;
}

HANDLE CMyThreadHost::SignalEvent(int nIndex)
{
    return InstallOnce(m_hSignals[nIndex], MakeAutoResetEvent, CloseHandle);
}

HANDLE CMyThreadHost::ClosingEvent()
{
    return InstallOnce(
        m_hClosing, [] { return CreateEventW(nullptr, TRUE, FALSE, nullptr); }, CloseHandle);
}

CRITICAL_SECTION* CMyThreadHost::SlotLock(int nIndex)
{
    return InstallOnce(
        m_pLocks[nIndex],
        [] {
            auto* pLock = new (std::nothrow) CRITICAL_SECTION;
            if (pLock)
                InitializeCriticalSection(pLock);
            return pLock;
        },
        [](CRITICAL_SECTION* pLock) {
            DeleteCriticalSection(pLock);
            delete pLock;
        });
}

DWORD CMyThreadHost::WaitSignal(int nIndex, DWORD dwTimeout)
{
    if (!IsValidIndex(nIndex) || m_nClosing)
        return 0;
    const HANDLE hClosing = ClosingEvent();
    // Checked after the closing event is in place: StopAllThreads raises the flag and then sets
    // that event, so a wait that begins before the flag is seen still wakes.
    if (m_nClosing)
        return WAIT_OBJECT_0;
    const HANDLE hSignal = SignalEvent(nIndex);
    if (!hSignal)
        return WAIT_FAILED;
    if (!hClosing)
        return WaitForSingleObject(hSignal, dwTimeout);
    const HANDLE handles[2] = {hSignal, hClosing};
    const DWORD r = WaitForMultipleObjects(2, handles, FALSE, dwTimeout);
    return r == WAIT_OBJECT_0 + 1 ? WAIT_OBJECT_0 : r;
}

int CMyThreadHost::SetSignal(int nIndex)
{
    if (!IsValidIndex(nIndex))
        return 0;
    if (const HANDLE h = m_hSignals[nIndex].load())
        SetEvent(h);
    return 0;
}

void CMyThreadHost::LockSlot(int nIndex)
{
    if (!IsValidIndex(nIndex))
        return;
    if (CRITICAL_SECTION* pLock = SlotLock(nIndex))
        EnterCriticalSection(pLock);
}

void CMyThreadHost::UnlockSlot(int nIndex)
{
    if (!IsValidIndex(nIndex))
        return;
    if (CRITICAL_SECTION* pLock = m_pLocks[nIndex].load())
        LeaveCriticalSection(pLock);
}

int CMyThreadHost::ThreadProc(int)
{
    return 0;
}

void CMyThreadHost::StopAllThreads()
{
    try {
        m_nClosing = 1;
        if (const HANDLE h = m_hClosing.load())
            SetEvent(h);
        for (int i = 0; i < MAX_THREADS; ++i) {
            StopThread(i);
            SetSignal(i);
        }

        std::vector<WorkerThread> workers;
        {
            std::lock_guard<std::mutex> guard(m_tableLock);
            workers.swap(m_retired);
        }
        const DWORD dwSelf = GetCurrentThreadId();
        for (const WorkerThread& worker : workers) {
            if (worker.dwThreadId != dwSelf)
                JoinPumpingSentMessages(worker.hThread.Get());
        }
        workers.clear();

        // Every worker has left: nothing can use the events and locks any more.
        for (int i = 0; i < MAX_THREADS; ++i) {
            if (const HANDLE h = m_hSignals[i].exchange(nullptr))
                CloseHandle(h);
            if (CRITICAL_SECTION* pLock = m_pLocks[i].exchange(nullptr)) {
                DeleteCriticalSection(pLock);
                delete pLock;
            }
        }
        if (const HANDLE h = m_hClosing.exchange(nullptr))
            CloseHandle(h);
    } catch (...) {
        // The destructor completes whatever happens here.
    }
}
