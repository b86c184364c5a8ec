#pragma once
// CMyPicture: an animated image view on an existing window. It paints the image (or the text
// "Image Lost") into the window's client area and steps through the frames of a multi-frame image
// (an animated GIF) on its own thread.

#include "controls/SkinImage.h"
#include "base/UniqueHandle.h"

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

class CMyPicture {
  public:
    // How the frame is placed in the client area.
    static constexpr int FIT_CENTER = 0;   // own size, centred
    static constexpr int FIT_TOP_LEFT = 1; // own size at the top-left corner
    static constexpr int FIT_SCALE = 2;    // scaled to fit, aspect ratio kept, centred
    static constexpr int FIT_STRETCH = 3;  // stretched to the client area
    static constexpr int FIT_TILE = 4;     // repeated from the top-left corner

    CMyPicture() = default;
    ~CMyPicture();
    CMyPicture(const CMyPicture&) = delete;
    CMyPicture& operator=(const CMyPicture&) = delete;

    // Takes over the window's painting and clicks; false when window is not a window or another
    // window is attached.
    bool Attach(HWND window);

    // A name without a drive is taken from the default skin directory. 0 on success, -1 when the
    // image does not load (the previous image stays).
    int LoadFromFile(std::wstring_view name);

    // By resource name (or MAKEINTRESOURCE id) from the program module. 0 or -1 as above.
    int LoadFromResource(const wchar_t* name, const wchar_t* type = MAKEINTRESOURCEW(10));

    // Ends the animation thread, drops the image and detaches from the window.
    void Stop();

    void SetFitMode(int mode);
    void SetPauseByClick(bool enable) { m_bPauseByClick = enable; }
    void SetPaused(bool paused) { m_bPaused = paused; }
    bool IsPaused() const { return m_bPaused; }
    bool IsAnimating() const { return m_thread.joinable(); }
    HWND GetWindow() const { return m_hWnd; }
    UINT GetFrameCount() const;
    UINT GetCurrentFrame() const;
    // Milliseconds that frame index stays on screen (0 without a delay table).
    UINT GetFrameDelay(UINT index) const;

    // Draws the current frame (or "Image Lost") into client of dc through an off-screen bitmap.
    void Paint(HDC dc, const RECT& client);

  private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR refData);
    bool Replace(SkinImagePtr image, IStream* stream);
    void StartAnimation();
    void StopAnimation();
    void AnimationLoop();
    void Detach();
    void DrawFrameLocked(HDC dc, const RECT& client);

    HWND m_hWnd = nullptr;
    int m_nFitMode = FIT_SCALE;
    std::atomic<bool> m_bPauseByClick = false;
    std::atomic<bool> m_bPaused = false;
    std::atomic<bool> m_bStop = false;

    mutable std::mutex m_lock; // guards the image and frame state below (paint vs. animation thread)
    SkinImagePtr m_pImage;
    IStream* m_pStream = nullptr; // backs an image loaded from a resource
    GUID m_frameDimension = {};
    UINT m_nFrameCount = 0;
    UINT m_nFrame = 0;
    std::vector<UINT> m_frameDelays; // milliseconds

    CUniqueKernelHandle m_hEvent;
    std::thread m_thread;
};
