// ParseColor and the "ButtonDefault.ini" reader, and how new defaults reach live buttons.

#include "ButtonTestSupport.h"

#include "controls/ButtonDefaults.h"
#include "controls/MyButton.h"

#include <gtest/gtest.h>

namespace {

const COLORREF UNTOUCHED = RGB(1, 2, 3);

struct ColorCase {
    const wchar_t* text;
    bool parsed;
    COLORREF expected; // when parsed
};

const ColorCase COLOR_CASES[] = {
    {L"255,0,0", true, 0x0000FF},
    {L"#FF0000", true, 0x0000FF},
    {L"#ff0000", true, 0x0000FF},
    {L"RGB(255,0,0)", true, 0x0000FF},
    {L"rgb(10, 20, 30);", true, RGB(10, 20, 30)},
    {L"  80,120,150  ", true, RGB(80, 120, 150)},
    {L"0 0 240", true, RGB(0, 0, 240)},
    {L"#0A141E", true, RGB(10, 20, 30)},
    {L"#00FF00", true, 0x00FF00},
    {L"0,0,255", true, 0xFF0000},
    // Blanks go after the second and fourth digit, so five digits read as 12 34 5.
    {L"#12345", true, RGB(0x12, 0x34, 0x05)},
    // Too short: left unchanged.
    {L"1,2", false, 0},
    {L"#FFF", false, 0},
    {L"", false, 0},
    {L"    ", false, 0},
    // Garbage.
    {L"hello world", false, 0},
    {L"#GG0000", false, 0},
    {L"12,abc,3", false, 0},
    {L"1,2,3,4", false, 0},
    {L"10,20", false, 0},
    {L"0x10,0x20,0x30", false, 0},
    // Out of range or signed.
    {L"256,0,0", false, 0},
    {L"-1,0,0", false, 0},
    {L"99999999999999999999,0,0", false, 0},
    {L"#FF00001234", false, 0},
    {L"+5,0,0", false, 0},
};

TEST(ParseColor, TableOfTexts)
{
    for (const ColorCase& c : COLOR_CASES) {
        COLORREF colour = UNTOUCHED;
        bool parsed = ParseColor(c.text, colour);
        EXPECT_EQ(parsed, c.parsed) << "text: \"" << std::string(c.text, c.text + wcslen(c.text)) << "\"";
        EXPECT_EQ(colour, c.parsed ? c.expected : UNTOUCHED)
            << "text: \"" << std::string(c.text, c.text + wcslen(c.text)) << "\"";
    }
}

TEST(ButtonDefaultsFile, MissingFileGivesTheTable)
{
    ButtonDefaults d = ReadButtonDefaults(L"C:\\no\\such\\dir\\ButtonDefault.ini");
    EXPECT_EQ(d.m_clrBk1, RGB(255, 255, 255));
    EXPECT_EQ(d.m_clrBk2, RGB(180, 210, 250));
    EXPECT_EQ(d.m_clrFrame, RGB(80, 120, 150));
    EXPECT_EQ(d.m_clrText, RGB(0, 0, 0));
    EXPECT_EQ(d.m_clrHoldBk1, RGB(0, 0, 240));
    EXPECT_EQ(d.m_clrHoldBk2, RGB(0, 0, 240));
    EXPECT_EQ(d.m_clrHoldText, RGB(240, 240, 240));
    EXPECT_EQ(d.m_clrHoldFrame, RGB(240, 240, 240));
    EXPECT_EQ(d.m_clrOverBk1, RGB(180, 210, 250));
    EXPECT_EQ(d.m_clrOverBk2, RGB(255, 255, 225));
    EXPECT_EQ(d.m_clrOverText, RGB(0, 0, 240));
    EXPECT_EQ(d.m_clrOverFrame, RGB(80, 120, 150));
    EXPECT_EQ(d.m_nFontSize, -1);
    EXPECT_FALSE(d.m_bUnderline);
    EXPECT_FALSE(d.m_bItalic);
    EXPECT_FALSE(d.m_bBold);
    EXPECT_EQ(d.m_nRX, 0);
    EXPECT_EQ(d.m_nRY, 0);
    EXPECT_EQ(d.m_nImgOffsetX, 10);
    EXPECT_EQ(d.m_nImgOffsetY, -1);
    EXPECT_TRUE(d.m_szFaceName.empty());
}

TEST(ButtonDefaultsFile, EveryKeyIsRead)
{
    CScratchFile ini(L".ini");
    ini.WriteText(
        "[BUTTON]\r\n"
        "clrGrendB=1,2,3\r\nclrGrendE=#040506\r\nclrFrame=7,8,9\r\nclrText=10,11,12\r\n"
        "clrHoldBk1=13,14,15\r\nclrHoldBk2=16,17,18\r\nclrHoldTxt=19,20,21\r\nclrHoldFrame=22,23,24\r\n"
        "clrOverBk1=25,26,27\r\nclrOverBk2=28,29,30\r\nclrOverText=31,32,33\r\nclrOverFrame=34,35,36\r\n"
        "FontSize=18\r\nShowULine=1\r\nShowItaic=1\r\nShowBold=1\r\nnRX=6\r\nnRY=4\r\n"
        "ImgOffsetX=3\r\nImgOffsetY=2\r\nFaceName=Tahoma\r\n");
    ButtonDefaults d = ReadButtonDefaults(ini.Path());
    EXPECT_EQ(d.m_clrBk1, RGB(1, 2, 3));
    EXPECT_EQ(d.m_clrBk2, RGB(4, 5, 6));
    EXPECT_EQ(d.m_clrFrame, RGB(7, 8, 9));
    EXPECT_EQ(d.m_clrText, RGB(10, 11, 12));
    EXPECT_EQ(d.m_clrHoldBk1, RGB(13, 14, 15));
    EXPECT_EQ(d.m_clrHoldBk2, RGB(16, 17, 18));
    EXPECT_EQ(d.m_clrHoldText, RGB(19, 20, 21));
    EXPECT_EQ(d.m_clrHoldFrame, RGB(22, 23, 24));
    EXPECT_EQ(d.m_clrOverBk1, RGB(25, 26, 27));
    EXPECT_EQ(d.m_clrOverBk2, RGB(28, 29, 30));
    EXPECT_EQ(d.m_clrOverText, RGB(31, 32, 33));
    EXPECT_EQ(d.m_clrOverFrame, RGB(34, 35, 36));
    EXPECT_EQ(d.m_nFontSize, 18);
    EXPECT_TRUE(d.m_bUnderline);
    EXPECT_TRUE(d.m_bItalic);
    EXPECT_TRUE(d.m_bBold);
    EXPECT_EQ(d.m_nRX, 6);
    EXPECT_EQ(d.m_nRY, 4);
    EXPECT_EQ(d.m_nImgOffsetX, 3);
    EXPECT_EQ(d.m_nImgOffsetY, 2);
    EXPECT_EQ(d.m_szFaceName, L"Tahoma");
}

TEST(ButtonDefaultsFile, GarbageFallsBackToTheTable)
{
    CScratchFile ini(L".ini");
    std::string garbage = "[BUTTON]\r\n"
                          "clrGrendB=1,2\r\nclrGrendE=lorem ipsum\r\nclrFrame=#XYZXYZ\r\nclrText=999,0,0\r\n"
                          "clrHoldBk1=\r\nclrHoldBk2=;;;;;;\r\nclrHoldTxt=-5,-5,-5\r\nclrHoldFrame=(((((\r\n"
                          "clrOverBk1=#\r\nclrOverBk2=1,2,3,4,5\r\nclrOverText=\x01\x02\x03\xff\xfe\r\n"
                          "clrOverFrame=" +
                          std::string(3000, 'R') +
                          "\r\n"
                          "FontSize=99999999\r\nnRX=-40\r\nnRY=abc\r\n"
                          "[BUTTON\r\n=\r\n\r\n\x00\x00garbage";
    ini.WriteText(garbage);
    ButtonDefaults d = ReadButtonDefaults(ini.Path());
    ButtonDefaults table;
    EXPECT_EQ(d.m_clrBk1, table.m_clrBk1);
    EXPECT_EQ(d.m_clrBk2, table.m_clrBk2);
    EXPECT_EQ(d.m_clrFrame, table.m_clrFrame);
    EXPECT_EQ(d.m_clrText, table.m_clrText);
    EXPECT_EQ(d.m_clrHoldBk1, table.m_clrHoldBk1);
    EXPECT_EQ(d.m_clrHoldBk2, table.m_clrHoldBk2);
    EXPECT_EQ(d.m_clrHoldText, table.m_clrHoldText);
    EXPECT_EQ(d.m_clrHoldFrame, table.m_clrHoldFrame);
    EXPECT_EQ(d.m_clrOverBk1, table.m_clrOverBk1);
    EXPECT_EQ(d.m_clrOverBk2, table.m_clrOverBk2);
    EXPECT_EQ(d.m_clrOverText, table.m_clrOverText);
    EXPECT_EQ(d.m_clrOverFrame, table.m_clrOverFrame);
    // Radii never go below 0; an absurd font size is capped rather than handed to the font mapper.
    EXPECT_EQ(d.m_nRX, 0);
    EXPECT_EQ(d.m_nRY, 0);
    EXPECT_LE(d.m_nFontSize, BUTTON_FONT_SIZE_MAX);

    // A button drawn with such defaults still paints.
    CMyButton::LoadDefaults(ini.Path());
    CButtonHost& host = SharedHost();
    CMyButton button;
    ASSERT_TRUE(button.Create(L"OK", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, {10, 10, 110, 40}, &host, 100));
    auto canvas = Render(button);
    EXPECT_EQ(canvas->Pixel(50, 0), table.m_clrFrame);
    CMyButton::LoadDefaults(L"C:\\no\\such\\dir\\ButtonDefault.ini");
}

TEST(ButtonDefaultsFile, LoadingReachesLiveButtonsWithoutOwnColours)
{
    CScratchFile ini(L".ini");
    ini.WriteText(
        "[BUTTON]\r\nclrGrendB=10,20,30\r\nclrGrendE=40,50,60\r\nclrFrame=200,0,0\r\nnRX=4\r\nnRY=4\r\n");
    CButtonHost& host = SharedHost();
    CMyButton plain;
    CMyButton own;
    ASSERT_TRUE(plain.Create(L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, {10, 10, 110, 40}, &host, 101));
    ASSERT_TRUE(own.Create(L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, {10, 50, 110, 80}, &host, 102));
    own.SetFrameColor(RGB(0, 200, 0));

    CMyButton::LoadDefaults(ini.Path());
    EXPECT_EQ(CMyButton::GetDefaults().m_clrFrame, RGB(200, 0, 0));
    int rx = 0, ry = 0;
    plain.GetRound(rx, ry);
    EXPECT_EQ(rx, 4);
    EXPECT_EQ(ry, 4);
    auto a = Render(plain);
    EXPECT_EQ(a->Pixel(50, 0), RGB(200, 0, 0));
    EXPECT_EQ(a->Pixel(50, 1), RGB(10, 20, 30));
    auto b = Render(own);
    EXPECT_EQ(b->Pixel(50, 0), RGB(0, 200, 0));
    own.GetRound(rx, ry);
    EXPECT_EQ(rx, 0);

    // A button made afterwards starts from the new defaults.
    CMyButton later;
    ASSERT_TRUE(later.Create(L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, {10, 90, 110, 120}, &host, 103));
    EXPECT_EQ(Render(later)->Pixel(50, 0), RGB(200, 0, 0));

    CMyButton::LoadDefaults(L"C:\\no\\such\\dir\\ButtonDefault.ini");
    EXPECT_EQ(Render(plain)->Pixel(50, 0), RGB(80, 120, 150));
}

} // namespace
