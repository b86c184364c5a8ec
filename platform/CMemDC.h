#pragma once
// CMemDC: the off-screen paint buffer. Drawing goes into a memory bitmap of the given rectangle
// (normally the client area), in the target's coordinates; Flush (or the destructor) copies it to
// the target in one BitBlt, so a paint never shows half-drawn states.
//
// When the buffer cannot be made (an empty rectangle, no memory), the object hands out the target
// itself and drawing goes straight to it.

#include "platform/CDC.h"
#include "platform/CGdiObject.h"

#include <windows.h>

class CMemDC {
  public:
    // bCopyTarget starts the buffer from what the target shows now (for controls that let the
    // parent's background show through).
    CMemDC(HDC hTarget, const RECT& rect, bool bCopyTarget = false);
    ~CMemDC();
    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;

    HDC GetSafeHdc() const noexcept { return m_dc ? m_dc.GetSafeHdc() : m_hTarget; }
    operator HDC() const noexcept { return GetSafeHdc(); }
    bool IsBuffered() const noexcept { return static_cast<bool>(m_dc); }
    const RECT& GetRect() const noexcept { return m_rect; }
    // The buffer's bitmap (selected into the buffer until Flush); null when not buffered.
    HBITMAP GetBitmap() const noexcept { return m_bitmap.GetSafeHandle(); }

    // Copies the buffer to the target; only the first call copies. FALSE when nothing was copied.
    BOOL Flush();
    // Drops the buffer without copying it.
    void Discard() { m_bFlushed = true; }

  private:
    HDC m_hTarget;
    RECT m_rect;
    CDC m_dc;
    CBitmap m_bitmap;
    HGDIOBJ m_hOldBitmap = nullptr;
    bool m_bFlushed = false;
};
