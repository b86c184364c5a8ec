// The handle owner template (each handle closed exactly once, by whoever holds it last) and the
// window text and class name readers.
#include "base/UniqueHandle.h"
#include "platform/WindowText.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <functional>
#include <string>
#include <vector>

namespace {

// A policy that records what it closes instead of closing anything: 0 is "no handle".
std::vector<int> g_closed;
struct CRecordingPolicy {
    using Handle = int;
    static Handle Invalid() noexcept { return 0; }
    static void Close(Handle hHandle) noexcept { g_closed.push_back(hHandle); }
};
using CRecorded = CUniqueHandle<CRecordingPolicy>;

TEST(UniqueHandle, EveryHandleIsClosedOnceByItsLastHolder)
{
    struct Case {
        const char* name;
        std::function<void()> steps; // runs in its own scope: owners left in it close at its end
        std::vector<int> closed;
    };
    const Case cases[] = {
        {"scope end closes", [] { CRecorded h(1); }, {1}},
        {"empty owner closes nothing",
         [] {
             CRecorded h;
             CRecorded none(0);
         },
         {}},
        {"release hands it over",
         [] {
             CRecorded h(1);
             EXPECT_EQ(h.Release(), 1);
             EXPECT_FALSE(h);
         },
         {}},
        {"reset closes the old one first",
         [] {
             CRecorded h(1);
             h.Reset(2);
             EXPECT_EQ(g_closed, std::vector<int>{1});
         },
         {1, 2}},
        {"reset to nothing closes now",
         [] {
             CRecorded h(1);
             h.Reset();
             EXPECT_EQ(g_closed, std::vector<int>{1});
         },
         {1}},
        {"moved-from owner is empty",
         [] {
             CRecorded a(1);
             CRecorded b(std::move(a));
             EXPECT_FALSE(a);
             EXPECT_EQ(b.Get(), 1);
         },
         {1}},
        {"move assignment closes the target's handle",
         [] {
             CRecorded a(1);
             CRecorded b(2);
             b = std::move(a);
             EXPECT_EQ(g_closed, std::vector<int>{2});
             EXPECT_EQ(b.Get(), 1);
         },
         {2, 1}},
        {"self move keeps the handle",
         [] {
             CRecorded a(1);
             CRecorded& same = a;
             a = std::move(same);
             EXPECT_EQ(a.Get(), 1);
             EXPECT_TRUE(g_closed.empty());
         },
         {1}},
        {"held in a growing vector",
         [] {
             std::vector<CRecorded> held;
             for (int i = 1; i <= 20; ++i)
                 held.emplace_back(i);
             EXPECT_TRUE(g_closed.empty()); // reallocation moves, never closes
         },
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_closed.clear();
        c.steps();
        EXPECT_EQ(g_closed, c.closed);
    }
}

bool IsOpenHandle(HANDLE h)
{
    DWORD flags = 0;
    return ::GetHandleInformation(h, &flags) != FALSE;
}

TEST(UniqueHandle, KernelObjectIsClosedWithItsOwner)
{
    HANDLE raw = nullptr;
    {
        CUniqueKernelHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        ASSERT_TRUE(event);
        raw = event.Get();
        EXPECT_TRUE(IsOpenHandle(raw));
    }
    EXPECT_FALSE(IsOpenHandle(raw));

    CUniqueKernelHandle kept(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    raw = kept.Release();
    EXPECT_TRUE(IsOpenHandle(raw));
    ::CloseHandle(raw);
}

TEST(UniqueHandle, FileOwnerTreatsTheFailedOpenAsEmpty)
{
    wchar_t dir[MAX_PATH];
    ASSERT_GT(::GetTempPathW(MAX_PATH, dir), 0u);
    const std::wstring path = std::wstring(dir) + L"larkvane-unique-handle.tmp";
    auto openExclusive = [&] {
        return CUniqueFile(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    };

    // CreateFileW fails with INVALID_HANDLE_VALUE, not null: that is "no file", never closed.
    CUniqueFile missing(::CreateFileW(L"Z:\\no-such-dir-h10\\x.tmp", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_FALSE(missing);
    EXPECT_EQ(missing.Get(), INVALID_HANDLE_VALUE);

    {
        CUniqueFile first = openExclusive();
        ASSERT_TRUE(first);
        // Not shared: a second open fails while the owner holds the file...
        EXPECT_FALSE(openExclusive());
        CUniqueFile moved(std::move(first));
        EXPECT_FALSE(openExclusive());
    }
    // ...and succeeds once the owner (here the one it was moved to) is gone.
    EXPECT_TRUE(openExclusive());
    ::DeleteFileW(path.c_str());
}

// A hidden top-level window of a class registered under name.
class CNamedWindow {
  public:
    CNamedWindow(const std::wstring& className, const std::wstring& text) : m_class(className)
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = m_class.c_str();
        ::RegisterClassW(&wc);
        m_hWnd = ::CreateWindowExW(0, m_class.c_str(), text.c_str(), WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                   wc.hInstance, nullptr);
    }
    ~CNamedWindow()
    {
        ::DestroyWindow(m_hWnd);
        ::UnregisterClassW(m_class.c_str(), ::GetModuleHandleW(nullptr));
    }
    CNamedWindow(const CNamedWindow&) = delete;
    CNamedWindow& operator=(const CNamedWindow&) = delete;
    HWND m_hWnd = nullptr;

  private:
    std::wstring m_class;
};

TEST(WindowText, ReadsTheWholeTextAndClassName)
{
    // Class names up to the system's limit: the old readers cut them at 32, 64 or 128 characters.
    const std::wstring longClass = L"LarkvaneWindowTextTest_" + std::wstring(200, L'k');
    const std::wstring longText = std::wstring(5000, L'x') + L"\u6444\u50cf\u673a";
    struct Case {
        const wchar_t* name;
        std::wstring className;
        std::wstring text;
    };
    const Case cases[] = {
        {L"short class, no text", L"LvWtShort", L""},
        {L"long class, long text", longClass, longText},
        {L"Chinese text", L"LvWtChinese", L"\u641c\u7d22\u8bbe\u5907"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CNamedWindow window(c.className, c.text);
        ASSERT_TRUE(window.m_hWnd);
        EXPECT_EQ(WindowTextOf(window.m_hWnd), c.text);
        EXPECT_EQ(ClassOf(window.m_hWnd), c.className);
        std::wstring upper = c.className;
        for (wchar_t& ch : upper)
            ch = static_cast<wchar_t>(::towupper(ch));
        EXPECT_TRUE(IsClass(window.m_hWnd, upper.c_str()));
        EXPECT_FALSE(IsClass(window.m_hWnd, (c.className + L"x").c_str()));
        EXPECT_FALSE(IsClass(window.m_hWnd, c.className.substr(0, c.className.size() - 1).c_str()));
    }
}

TEST(WindowText, SystemClassesAndNoWindow)
{
    HWND button = ::CreateWindowExW(0, L"button", L"OK", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(button);
    EXPECT_EQ(ClassOf(button), L"Button"); // as registered, whatever the creator's spelling
    EXPECT_TRUE(IsClass(button, L"BUTTON"));
    EXPECT_FALSE(IsClass(button, L"Static"));
    EXPECT_EQ(WindowTextOf(button), L"OK");
    ::DestroyWindow(button);

    EXPECT_EQ(WindowTextOf(nullptr), L"");
    EXPECT_EQ(ClassOf(nullptr), L"");
    EXPECT_FALSE(IsClass(nullptr, L""));
}

} // namespace
