#pragma once
// CMyThreadHost: gives an object up to 64 numbered worker threads, each calling the virtual
// ThreadProc(index) in a loop, with one signal slot (an auto-reset event) and one lock per index.
//
// Shutdown rules for users of this class:
// - StopAllThreads() stops every worker and waits until each has left its current ThreadProc
//   pass before it releases the events and locks; after it returns no worker touches the host.
//   It is idempotent, and the destructor runs it.
// - A class that overrides ThreadProc must call StopAllThreads() first thing in its own
//   destructor. The base destructor runs only after the derived members are destroyed (and the
//   object no longer dispatches to the derived ThreadProc), too late for a worker inside a pass.
// - While it waits, StopAllThreads() handles messages sent to the calling thread, so a worker
//   blocked in SendMessage to the joining (user-interface) thread can finish its pass. Anything
//   else a pass blocks in (a socket receive with a time-out, a wait on a foreign event) delays
//   the join until it returns: close the socket or set the event before stopping.
// - WaitSignal returns at once (0) on every slot once the host is closing, so a pass that waits
//   more than once still ends.
// - Never destroy a host from one of its own workers (it cannot wait for itself).
// - A worker rests 1 ms between passes on the host's closing event and checks its flags before
//   and after that rest, so no pass begins once the host is closing.
// - A pass that throws ends its worker (no exception leaves the thread); see GetThreadFailures.

#include "base/UniqueHandle.h"

#include <windows.h>

#include <atomic>
#include <mutex>
#include <vector>

class CMyThreadHost {
  public:
    static constexpr int MAX_THREADS = 64;

    // The heap record handed to a new worker; the worker frees it when its loop ends.
    struct ThreadStartRecord {
        int nIndex;
        CMyThreadHost* pHost;
        unsigned nGeneration; // which start of the index this worker belongs to
    };

    CMyThreadHost() = default;
    virtual ~CMyThreadHost();

    CMyThreadHost(const CMyThreadHost&) = delete;
    CMyThreadHost& operator=(const CMyThreadHost&) = delete;

    // 1, or 0 for an index outside 0..63. A second start of a running index does nothing.
    // A closed host (after StopAllThreads) starts nothing and returns 0.
    int StartThread(int nIndex);
    // 1, or 0 for a bad index. Does not wait for the worker to finish its pass.
    int StopThread(int nIndex);
    void StartThreads(int nCount, int nFirst);
    void StopThreads(int nCount, int nFirst);
    int SetThreadRun(int nIndex, int nRun);

    // The running flag (0 or 1). A worker left over from an earlier start of the same index
    // reads 0, so a pass that loops while this is 1 ends after a stop and restart.
    int IsThreadRunning(int nIndex) const;

    // WAIT_OBJECT_0 (0) when the slot was set, WAIT_TIMEOUT (258) on time-out, WAIT_FAILED on
    // failure; 0 at once for a bad index or a closing host. INFINITE waits without limit.
    DWORD WaitSignal(int nIndex, DWORD dwTimeout);
    // Sets the slot, releasing one waiter; dropped when the slot's event was never created.
    int SetSignal(int nIndex);

    // Reentrant per-index locks; a bad index does nothing.
    void LockSlot(int nIndex);
    void UnlockSlot(int nIndex);

    void StopAllThreads();

    // Passes that ended by an exception. Such a worker ends, its running flag is cleared (when no
    // stop and restart came first) and the index can be started again.
    int GetThreadFailures() const;
    // The index of the last failed worker, -1 before any failure.
    int GetLastFailedIndex() const;

    // One pass of the work of worker nIndex; called about every millisecond while it runs.
    virtual int ThreadProc(int nIndex);

  private:
    static unsigned __stdcall WorkerMain(void* pParam);
    bool KeepsRunning(const ThreadStartRecord& record) const;
    // The 1 ms rest before a pass; false when the host's closing ended it.
    bool RestBetweenPasses();
    void RecordFailure(const ThreadStartRecord& record);
    HANDLE SignalEvent(int nIndex);
    HANDLE ClosingEvent();
    CRITICAL_SECTION* SlotLock(int nIndex);
    void RetireThread(int nIndex);
    void PruneRetired();

    std::atomic<int> m_nClosing{0};
    std::atomic<int> m_nFailures{0};
    std::atomic<int> m_nLastFailedIndex{-1};
    std::atomic<int> m_nRunning[MAX_THREADS] = {};
    // The signal and closing events stay plain handles: whichever thread needs one first creates
    // it and installs it with a compare-exchange (a loser closes its own), workers wait on them
    // without the table lock, and StopAllThreads exchanges them out once every worker has left.
    std::atomic<HANDLE> m_hSignals[MAX_THREADS] = {};
    std::atomic<CRITICAL_SECTION*> m_pLocks[MAX_THREADS] = {};
    std::atomic<unsigned> m_nGenerations[MAX_THREADS] = {};
    // Set when the host closes, so that a worker waiting on any slot wakes.
    std::atomic<HANDLE> m_hClosing{nullptr};

    // Thread handles of the running workers and of stopped workers that may still be inside a
    // pass; StopAllThreads waits on all of them.
    struct WorkerThread {
        CUniqueKernelHandle hThread;
        DWORD dwThreadId;
    };
    std::mutex m_tableLock;
    WorkerThread m_threads[MAX_THREADS] = {};
    std::vector<WorkerThread> m_retired;
};
