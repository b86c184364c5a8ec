#pragma once
// Move-only owners of the GDI handles that the skin functions hand out.

#include <windows.h>

#include <memory>
#include <type_traits>

struct GdiObjectDeleter {
    void operator()(void* object) const
    {
        if (object)
            DeleteObject(static_cast<HGDIOBJ>(object));
    }
};

using UniqueHBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiObjectDeleter>;
using UniqueHRgn = std::unique_ptr<std::remove_pointer_t<HRGN>, GdiObjectDeleter>;
