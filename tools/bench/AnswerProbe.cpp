#include "tools/bench/AnswerProbe.h"

#include <algorithm>

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

CAnswerProbe::~CAnswerProbe()
{
    if (m_hThread) {
        ::InterlockedExchange(&m_stop, 1);
        ::WaitForSingleObject(m_hThread, TIMEOUT_MS + 1000);
        ::CloseHandle(m_hThread);
    }
}

void CAnswerProbe::Start(HWND hWnd)
{
    m_hWnd = hWnd;
    m_stop = 0;
    m_samples.clear();
    m_samples.reserve(100000);
    m_hThread = ::CreateThread(nullptr, 0, Loop, this, 0, nullptr);
}

void CAnswerProbe::Stop(int (*pump)())
{
    if (!m_hThread)
        return;
    ::InterlockedExchange(&m_stop, 1);
    while (::MsgWaitForMultipleObjects(1, &m_hThread, FALSE, 100, QS_ALLINPUT) != WAIT_OBJECT_0)
        pump();
    ::CloseHandle(m_hThread);
    m_hThread = nullptr;
}

CAnswerProbe::Figures CAnswerProbe::Until(double end) const
{
    Figures figures;
    std::vector<double> times;
    for (const Sample& sample : m_samples) {
        if (sample.start > end)
            continue;
        times.push_back(sample.seconds);
        if (!sample.answered)
            ++figures.unanswered;
    }
    if (times.empty())
        return figures;
    std::sort(times.begin(), times.end());
    figures.count = times.size();
    figures.longest = times.back();
    figures.median = times[times.size() / 2];
    figures.p99 = times[std::min(times.size() - 1, times.size() * 99 / 100)];
    return figures;
}

DWORD WINAPI CAnswerProbe::Loop(LPVOID pParam)
{
    auto* self = static_cast<CAnswerProbe*>(pParam);
    while (!::InterlockedCompareExchange(&self->m_stop, 0, 0)) {
        DWORD_PTR result = 0;
        const double start = Now();
        const LRESULT answered =
            ::SendMessageTimeoutW(self->m_hWnd, WM_NULL, 0, 0, SMTO_NORMAL, TIMEOUT_MS, &result);
        self->m_samples.push_back({start, Now() - start, answered != 0});
        ::Sleep(2);
    }
    return 0;
}
