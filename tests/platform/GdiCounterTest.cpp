// The live-object counter sees raw handles and GDI+ objects that nobody owns: planted leaks in the
// test itself, then cleaned up.
#include "GdiLeakCounter.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

namespace {

class LiveObjectCounter : public testing::Test {
  protected:
    static void SetUpTestSuite()
    {
        // The first screen DC makes Wine's own fonts and brushes for the display; not ours.
        ::ReleaseDC(nullptr, ::GetDC(nullptr));
        Gdiplus::GdiplusStartupInput input;
        ASSERT_EQ(Gdiplus::GdiplusStartup(&s_token, &input, nullptr), Gdiplus::Ok);
    }
    static void TearDownTestSuite() { Gdiplus::GdiplusShutdown(s_token); }
    static inline ULONG_PTR s_token = 0;
};

TEST_F(LiveObjectCounter, SeesTheProcesssObjectsAtAll)
{
    CGdiTally now = CountLiveGdiObjects();
    // Stock objects are always there: a probe that answers 0 everywhere counts nothing.
    EXPECT_GE(now[OBJ_BRUSH], 1);
    EXPECT_GE(now[OBJ_PEN], 1);
    EXPECT_GE(now[OBJ_FONT], 1);
}

TEST_F(LiveObjectCounter, SeesARawBrushAndBitmapLeftUndeleted)
{
    CGdiLeakScope scope;
    HBRUSH hBrush = ::CreateSolidBrush(RGB(1, 2, 3));
    HDC hScreen = ::GetDC(nullptr);
    HBITMAP hBitmap = ::CreateCompatibleBitmap(hScreen, 16, 16);
    ::ReleaseDC(nullptr, hScreen);
    ASSERT_NE(hBrush, nullptr);
    ASSERT_NE(hBitmap, nullptr);

    CGdiTally held = CountLiveObjects();
    EXPECT_EQ(held[OBJ_BRUSH] - scope.Before()[OBJ_BRUSH], 1);
    EXPECT_EQ(held[OBJ_BITMAP] - scope.Before()[OBJ_BITMAP], 1);
    EXPECT_EQ(held.Total() - scope.Before().Total(), 2);
    EXPECT_EQ(scope.Leaks(), "brush +1, bitmap +1");

    EXPECT_TRUE(::DeleteObject(hBrush));
    EXPECT_TRUE(::DeleteObject(hBitmap));
    EXPECT_EQ(scope.Leaks(), "");
}

TEST_F(LiveObjectCounter, SeesContextsAndManyObjects)
{
    CGdiLeakScope scope;
    HDC hMem = ::CreateCompatibleDC(nullptr);
    HPEN pens[300];
    for (HPEN& pen : pens)
        pen = ::CreatePen(PS_SOLID, 1, RGB(9, 9, 9));
    EXPECT_EQ(scope.Leaks(), "pen +300, memory DC +1");
    for (HPEN pen : pens)
        ::DeleteObject(pen);
    ::DeleteDC(hMem);
    EXPECT_EQ(scope.Leaks(), "");
}

TEST_F(LiveObjectCounter, SeesGdiplusObjectsThatHoldNoGdiHandle)
{
    CGdiLeakScope scope;
    // Wine keeps a 32-bit GDI+ bitmap in plain memory: the GDI table does not change.
    auto* bitmap = new Gdiplus::Bitmap(8, 8, PixelFormat32bppARGB);
    auto* graphics = new Gdiplus::Graphics(bitmap);
    auto* brush = new Gdiplus::SolidBrush(Gdiplus::Color(255, 1, 2, 3));
    EXPECT_EQ(graphics->FillRectangle(brush, 0, 0, 4, 4), Gdiplus::Ok);
    EXPECT_EQ(scope.Leaks(), "GDI+ image +1, GDI+ graphics +1, GDI+ brush +1");
    delete brush;
    delete graphics;
    EXPECT_EQ(scope.Leaks(), "GDI+ image +1");
    delete bitmap;
    EXPECT_EQ(scope.Leaks(), "");
}

TEST_F(LiveObjectCounter, FailedCreationsAndDisposalsCountNothing)
{
    CGdiLeakScope scope;
    Gdiplus::Bitmap missing(L"C:\\no\\such\\file.png");
    EXPECT_NE(missing.GetLastStatus(), Gdiplus::Ok);
    EXPECT_NE(Gdiplus::DllExports::GdipDisposeImage(nullptr), Gdiplus::Ok);
    EXPECT_EQ(scope.Leaks(), "");
}

} // namespace
