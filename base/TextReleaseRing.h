#pragma once
// The process-wide ring that owns every text conversion result: a result stays valid for the
// next SLOT_COUNT - 1 conversions (from any thread) and is freed when its slot comes round again.

#include <windows.h>

class TextReleaseRing {
  public:
    static constexpr int SLOT_COUNT = 200;

    // Called with each buffer just before the ring frees it (tests watch the ring through it).
    using ReleaseHook = void (*)(const void* pBuffer);

    // The one ring of the process. It is created on first use (thread-safe) and never destroyed,
    // so a conversion on a worker thread during process exit still finds it in place.
    static TextReleaseRing& Instance();

    // Takes ownership of a buffer from std::malloc; frees the buffer that held the slot before.
    // A null buffer is ignored. Returns the buffer.
    void* Keep(void* pBuffer);

    void SetReleaseHook(ReleaseHook hook);

    TextReleaseRing(const TextReleaseRing&) = delete;
    TextReleaseRing& operator=(const TextReleaseRing&) = delete;

  private:
    TextReleaseRing();
    ~TextReleaseRing() = delete;

    CRITICAL_SECTION m_lock;
    void* m_pSlots[SLOT_COUNT] = {};
    int m_nNext = 0;
    ReleaseHook m_releaseHook = nullptr;
};
