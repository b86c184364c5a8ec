// AnswerProbe.h - the benchmarks' clock, and the probe that times the main window's answers.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

// Seconds on the performance counter.
double Now();

// Another thread asks the main window for a harmless message (WM_NULL) every few milliseconds
// and times each round trip: how long a user's click would wait while the window thread works.
class CAnswerProbe {
  public:
    struct Sample {
        double start; // Now() when the message was sent
        double seconds;
        bool answered;
    };
    struct Figures {
        size_t count = 0;
        size_t unanswered = 0;
        double longest = 0;
        double median = 0;
        double p99 = 0;
    };

    CAnswerProbe() = default;
    CAnswerProbe(const CAnswerProbe&) = delete;
    CAnswerProbe& operator=(const CAnswerProbe&) = delete;
    ~CAnswerProbe();

    void Start(HWND hWnd);
    // The window thread keeps answering (through pump) until the probe has ended, or its last
    // message would wait for ever.
    void Stop(int (*pump)());
    // Over the messages sent before the given moment (Now() clock).
    Figures Until(double end) const;

  private:
    static DWORD WINAPI Loop(LPVOID pParam);

    static constexpr UINT TIMEOUT_MS = 10000;
    HWND m_hWnd = nullptr;
    HANDLE m_hThread = nullptr;
    volatile LONG m_stop = 0;
    std::vector<Sample> m_samples;
};
