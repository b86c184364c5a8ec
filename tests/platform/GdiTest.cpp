// GDI owners and the off-screen paint buffer: every handle goes exactly once.
#include "GdiLeakCounter.h"
#include "TestDialogIds.h"
#include "TestWindows.h"

#include "platform/CClientDC.h"
#include "platform/CDC.h"
#include "platform/CGdiObject.h"
#include "platform/CMemDC.h"
#include "platform/CPaintDC.h"
#include "platform/CSaveDC.h"
#include "platform/CSelectObject.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

const COLORREF FILL = RGB(0, 128, 255);
const COLORREF LINE = RGB(255, 0, 0);

// A control painted the way the library's controls paint: through the buffer, with owned objects.
class CPaintedCtrl : public CWnd {
  public:
    int m_nPaints = 0;
    long m_nPeak = 0;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_ERASEBKGND)
            return TRUE;
        if (message != WM_PAINT)
            return CWnd::WindowProc(message, wParam, lParam);
        CPaintDC dc(m_hWnd);
        RECT rect;
        GetClientRect(&rect);
        CMemDC mem(dc, rect);
        CBrush brush(::CreateSolidBrush(FILL));
        ::FillRect(mem, &rect, brush);
        CPen pen(::CreatePen(PS_SOLID, 1, LINE));
        CFont font(::CreateFontW(-12, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma"));
        CSelectObject selectPen(mem, pen);
        CSelectObject selectFont(mem, font);
        ::MoveToEx(mem, 0, 0, nullptr);
        ::LineTo(mem, rect.right, 0);
        ::SetBkMode(mem, TRANSPARENT);
        ::TextOutW(mem, 2, 2, L"Ab", 2);
        ++m_nPaints;
        m_nPeak = std::max(m_nPeak, CountLiveGdiObjects().Gdi());
        return 0;
    }
};

TEST(GdiOwners, RepeatedPaintsLeaveNoHandleBehind)
{
    CTestDialog dlg(IDD_PLATFORM_TEST);
    ASSERT_TRUE(dlg.Create(IDD_PLATFORM_TEST));
    dlg.ShowWindow(SW_SHOWNOACTIVATE);
    dlg.UpdateWindow();
    CPaintedCtrl ctrl;
    ASSERT_TRUE(ctrl.SubclassDlgItem(IDC_TEST_STATIC, &dlg));

    ctrl.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); // Wine's paint context cache
    CGdiLeakScope scope;
    const long start = scope.Before().Gdi();
    for (int i = 0; i < 25; ++i)
        ctrl.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_EQ(26, ctrl.m_nPaints);
    // Buffer context, buffer bitmap, brush, pen and font were all alive during the paint.
    EXPECT_GE(ctrl.m_nPeak, start + 5);
    EXPECT_EQ(scope.Leaks(), "");

    // The buffer reached the screen: the fill below the line shows.
    RECT rect;
    ctrl.GetClientRect(&rect);
    CClientDC dc(ctrl.m_hWnd);
    EXPECT_EQ(FILL, ::GetPixel(dc, rect.right - 2, rect.bottom - 2));
    EXPECT_EQ(LINE, ::GetPixel(dc, rect.right / 2, 0));
}

TEST(GdiOwners, MovingAnOwnerHandsOverTheHandleWhichIsDeletedOnce)
{
    const long start = CountLiveGdiObjects()[OBJ_PEN];
    HPEN hFirst = nullptr;
    HPEN hSecond = nullptr;
    {
        CPen a(::CreatePen(PS_SOLID, 1, 0));
        hFirst = a;
        CPen b(std::move(a));
        EXPECT_EQ(nullptr, a.GetSafeHandle());
        EXPECT_EQ(hFirst, b.GetSafeHandle());
        EXPECT_EQ(start + 1, CountLiveGdiObjects()[OBJ_PEN]);

        CPen c(::CreatePen(PS_DASH, 1, 0));
        hSecond = c;
        c = std::move(b); // the dash pen goes now
        EXPECT_EQ(0u, ::GetObjectType(hSecond));
        EXPECT_EQ(static_cast<DWORD>(OBJ_PEN), ::GetObjectType(hFirst));
        EXPECT_EQ(start + 1, CountLiveGdiObjects()[OBJ_PEN]);
    }
    EXPECT_EQ(0u, ::GetObjectType(hFirst));
    EXPECT_EQ(start, CountLiveGdiObjects()[OBJ_PEN]);
}

TEST(GdiOwners, OwnersSurviveContainerGrowth)
{
    const long start = CountLiveGdiObjects()[OBJ_BRUSH];
    {
        std::vector<CBrush> brushes;
        for (int i = 0; i < 40; ++i)
            brushes.emplace_back(::CreateSolidBrush(RGB(i, i, i)));
        EXPECT_EQ(start + 40, CountLiveGdiObjects()[OBJ_BRUSH]);
        for (const CBrush& brush : brushes)
            EXPECT_EQ(static_cast<DWORD>(OBJ_BRUSH), ::GetObjectType(brush));
    }
    EXPECT_EQ(start, CountLiveGdiObjects()[OBJ_BRUSH]);
}

TEST(GdiOwners, DetachHandsTheHandleToTheCaller)
{
    CGdiLeakScope scope;
    HBRUSH hBrush = nullptr;
    {
        CBrush brush(::CreateSolidBrush(RGB(1, 2, 3)));
        hBrush = brush.Detach();
    }
    EXPECT_EQ(static_cast<DWORD>(OBJ_BRUSH), ::GetObjectType(hBrush));
    EXPECT_EQ(scope.Leaks(), "brush +1") << "the caller holds it now";
    EXPECT_TRUE(::DeleteObject(hBrush));
    EXPECT_EQ(scope.Leaks(), "");
}

TEST(GdiOwners, ContextOwnersCountAndMove)
{
    ::ReleaseDC(nullptr, ::GetDC(nullptr)); // Wine's screen context cache
    CGdiLeakScope scope;
    {
        CDC a = CDC::CreateCompatibleDC(nullptr);
        ASSERT_TRUE(a);
        CDC b(std::move(a));
        EXPECT_FALSE(a);
        CClientDC screen(nullptr);
        EXPECT_TRUE(screen);
        CClientDC moved(std::move(screen));
        EXPECT_EQ(scope.Leaks(), "memory DC +1") << "the screen context comes from Wine's cache";
    }
    EXPECT_EQ(scope.Leaks(), "");
}

TEST(GdiOwners, SelectionAndSavedStateComeBackAtScopeEnd)
{
    CDC dc = CDC::CreateCompatibleDC(nullptr);
    HGDIOBJ original = ::GetCurrentObject(dc, OBJ_PEN);
    CPen pen(::CreatePen(PS_SOLID, 3, RGB(9, 9, 9)));
    {
        CSelectObject select(dc, pen);
        EXPECT_EQ(static_cast<HGDIOBJ>(pen), ::GetCurrentObject(dc, OBJ_PEN));
    }
    EXPECT_EQ(original, ::GetCurrentObject(dc, OBJ_PEN));
    {
        CSaveDC saved(dc);
        ::SelectObject(dc, pen);
        ::SetTextColor(dc, RGB(1, 2, 3));
    }
    EXPECT_EQ(original, ::GetCurrentObject(dc, OBJ_PEN));
    EXPECT_NE(RGB(1, 2, 3), ::GetTextColor(dc));
    EXPECT_TRUE(pen.DeleteObject()) << "the pen is free to go";
}

class MemDCTest : public testing::Test {
  protected:
    void SetUp() override
    {
        m_target = CDC::CreateCompatibleDC(nullptr);
        CClientDC screen(nullptr);
        m_bitmap = CBitmap(::CreateCompatibleBitmap(screen, 20, 20));
        m_select = ::SelectObject(m_target, m_bitmap);
        RECT all{0, 0, 20, 20};
        CBrush white(::CreateSolidBrush(RGB(255, 255, 255)));
        ::FillRect(m_target, &all, white);
    }
    void TearDown() override { ::SelectObject(m_target, m_select); }

    CDC m_target;
    CBitmap m_bitmap;
    HGDIOBJ m_select = nullptr;
};

TEST_F(MemDCTest, DrawsOffScreenInTheTargetsCoordinatesAndCopiesOnce)
{
    CGdiLeakScope scope;
    RECT area{5, 5, 15, 15};
    {
        CMemDC mem(m_target, area);
        ASSERT_TRUE(mem.IsBuffered());
        CBrush red(::CreateSolidBrush(RGB(255, 0, 0)));
        ::FillRect(mem, &area, red);
        EXPECT_EQ(RGB(255, 255, 255), ::GetPixel(m_target, 10, 10)) << "nothing reaches the target early";
        EXPECT_TRUE(mem.Flush());
        EXPECT_EQ(RGB(255, 0, 0), ::GetPixel(m_target, 10, 10));
        EXPECT_EQ(RGB(255, 0, 0), ::GetPixel(m_target, 5, 5));
        EXPECT_EQ(RGB(255, 255, 255), ::GetPixel(m_target, 4, 4)) << "outside the area";

        ::FillRect(mem, &area, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
        EXPECT_FALSE(mem.Flush()) << "one copy per paint";
    }
    EXPECT_EQ(RGB(255, 0, 0), ::GetPixel(m_target, 10, 10)) << "the destructor does not copy again";
    EXPECT_EQ(scope.Leaks(), "");
}

TEST_F(MemDCTest, CopyTargetStartsFromWhatTheTargetShows)
{
    ::SetPixel(m_target, 6, 6, RGB(0, 255, 0));
    CMemDC mem(m_target, RECT{5, 5, 15, 15}, true);
    EXPECT_EQ(RGB(0, 255, 0), ::GetPixel(mem, 6, 6));
    mem.Discard();
}

TEST_F(MemDCTest, EmptyAreaDrawsStraightIntoTheTarget)
{
    CGdiLeakScope scope;
    CMemDC mem(m_target, RECT{5, 5, 5, 15});
    EXPECT_FALSE(mem.IsBuffered());
    EXPECT_EQ(m_target.GetSafeHdc(), mem.GetSafeHdc());
    EXPECT_FALSE(mem.Flush());
    EXPECT_EQ(scope.Leaks(), "") << "no buffer was made";
}

} // namespace
