#include "platform/CMemDC.h"

CMemDC::CMemDC(HDC hTarget, const RECT& rect, bool bCopyTarget) : m_hTarget(hTarget), m_rect(rect)
{
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    if (!hTarget || width <= 0 || height <= 0)
        return;
    CDC dc = CDC::CreateCompatibleDC(hTarget);
    CBitmap bitmap(::CreateCompatibleBitmap(hTarget, width, height));
    if (!dc || !bitmap)
        return;
    m_hOldBitmap = ::SelectObject(dc, bitmap);
    // Draw in the target's coordinates: the buffer's top-left is rect's top-left.
    ::SetViewportOrgEx(dc, -rect.left, -rect.top, nullptr);
    if (bCopyTarget)
        ::BitBlt(dc, rect.left, rect.top, width, height, hTarget, rect.left, rect.top, SRCCOPY);
    m_dc = std::move(dc);
    m_bitmap = std::move(bitmap);
}

CMemDC::~CMemDC()
{
    Flush();
    if (m_dc && m_hOldBitmap)
        ::SelectObject(m_dc, m_hOldBitmap); // the bitmap must be free before it is deleted
}

BOOL CMemDC::Flush()
{
    if (m_bFlushed || !m_dc)
        return FALSE;
    m_bFlushed = true;
    return ::BitBlt(m_hTarget, m_rect.left, m_rect.top, m_rect.right - m_rect.left,
                    m_rect.bottom - m_rect.top, m_dc, m_rect.left, m_rect.top, SRCCOPY);
}
