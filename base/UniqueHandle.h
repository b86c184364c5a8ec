#pragma once
// CUniqueHandle<Policy>: move-only owner of one kernel object, file, registry key or socket
// handle, closed by its policy. It adopts a handle straight from the creating call:
//
//     CUniqueFile file(::CreateFileW(...));
//     if (!file)
//         return false;
//
// A policy names the handle type, the value that means "no handle" (null for most kernel objects,
// INVALID_HANDLE_VALUE for files, INVALID_SOCKET for sockets) and the close call. Sockets have
// their policy next to GenSocket (net/SocketHelpers.h). GDI objects and device contexts have their
// own, counted owners (CGdiObject, CDC, CClientDC).
//
// Handles that more than one thread may close stay plain: an owner has one place that closes it,
// while a socket closed by one thread to wake another, or an event installed lazily by whichever
// thread comes first, is handed over through an atomic exchange. Those places say so.
//
// Header only and free of window code, so that net/ can use it.

#include <windows.h>

#include <utility>

template <class Policy> class CUniqueHandle {
  public:
    using Handle = typename Policy::Handle;

    CUniqueHandle() noexcept = default;
    explicit CUniqueHandle(Handle hHandle) noexcept : m_hHandle(hHandle) {}
    ~CUniqueHandle() { Reset(); }

    CUniqueHandle(const CUniqueHandle&) = delete;
    CUniqueHandle& operator=(const CUniqueHandle&) = delete;
    CUniqueHandle(CUniqueHandle&& other) noexcept : m_hHandle(other.Release()) {}
    CUniqueHandle& operator=(CUniqueHandle&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }

    Handle Get() const noexcept { return m_hHandle; }
    explicit operator bool() const noexcept { return m_hHandle != Policy::Invalid(); }

    // Gives up ownership; the caller closes the handle.
    Handle Release() noexcept { return std::exchange(m_hHandle, Policy::Invalid()); }
    // Closes the handle held now (if any) and adopts hHandle.
    void Reset(Handle hHandle = Policy::Invalid()) noexcept
    {
        const Handle hOld = std::exchange(m_hHandle, hHandle);
        if (hOld != Policy::Invalid())
            Policy::Close(hOld);
    }

  private:
    Handle m_hHandle = Policy::Invalid();
};

// Threads, events, mutexes: null when there is none.
struct CKernelHandlePolicy {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle hHandle) noexcept { ::CloseHandle(hHandle); }
};

// Files from CreateFileW, which reports failure as INVALID_HANDLE_VALUE rather than null.
struct CFileHandlePolicy {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle hHandle) noexcept { ::CloseHandle(hHandle); }
};

// Registry keys from RegOpenKeyExW and RegCreateKeyExW.
struct CRegKeyPolicy {
    using Handle = HKEY;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle hKey) noexcept { ::RegCloseKey(hKey); }
};

using CUniqueKernelHandle = CUniqueHandle<CKernelHandlePolicy>;
using CUniqueFile = CUniqueHandle<CFileHandlePolicy>;
using CUniqueRegKey = CUniqueHandle<CRegKeyPolicy>;
