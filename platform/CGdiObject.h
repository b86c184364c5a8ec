#pragma once
// CGdiObject<H>: move-only owner of one GDI object (pen, brush, font, bitmap, region), deleted
// with DeleteObject. It adopts a handle straight from the creating call:
//
//     CPen pen(::CreatePen(PS_SOLID, 1, RGB(210, 210, 210)));
//
// Handles the owner did not create (stock objects, system colour brushes, a control's font) stay
// plain handles. An object must not be selected into a device context when its owner deletes it:
// restore the context first (CSelectObject does).

#include "platform/CGdiCount.h"

#include <windows.h>

#include <utility>

template <class H> class CGdiObject {
  public:
    CGdiObject() noexcept = default;
    explicit CGdiObject(H hObject) noexcept : m_hObject(hObject)
    {
        if (m_hObject)
            CGdiCount::AddObject();
    }
    ~CGdiObject() { DeleteObject(); }

    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    CGdiObject(CGdiObject&& other) noexcept : m_hObject(std::exchange(other.m_hObject, nullptr)) {}
    CGdiObject& operator=(CGdiObject&& other) noexcept
    {
        if (this != &other) {
            DeleteObject();
            m_hObject = std::exchange(other.m_hObject, nullptr);
        }
        return *this;
    }

    H GetSafeHandle() const noexcept { return m_hObject; }
    operator H() const noexcept { return m_hObject; }
    explicit operator bool() const noexcept { return m_hObject != nullptr; }

    // Deletes the object held now and adopts hObject.
    void Attach(H hObject) noexcept { *this = CGdiObject(hObject); }
    // Gives up ownership; the caller deletes the handle.
    H Detach() noexcept
    {
        if (m_hObject)
            CGdiCount::RemoveObject();
        return std::exchange(m_hObject, nullptr);
    }
    BOOL DeleteObject() noexcept
    {
        if (!m_hObject)
            return FALSE;
        BOOL deleted = ::DeleteObject(m_hObject);
        CGdiCount::RemoveObject();
        m_hObject = nullptr;
        return deleted;
    }

  private:
    H m_hObject = nullptr;
};

using CPen = CGdiObject<HPEN>;
using CBrush = CGdiObject<HBRUSH>;
using CFont = CGdiObject<HFONT>;
using CBitmap = CGdiObject<HBITMAP>;
using CRgn = CGdiObject<HRGN>;
