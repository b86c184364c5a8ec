// ParseColor and the "ButtonDefault.ini" reader, and how new defaults reach live buttons.

#include "ButtonTestSupport.h"

#include "controls/ButtonDefaults.h"
#include "controls/MyButton.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// One key of "ButtonDefault.ini": the value without a file, a value the file gives and what it reads
// as, and a value that does not parse with what is kept then (no garbage: the key is left out).
struct DefaultField {
    const char* key;
    long long (*get)(const ButtonDefaults&);
    long long table;
    const char* written;
    long long read;
    std::string garbage;
    long long afterGarbage;
    bool bGarbage = true;
};

const std::vector<DefaultField>& DefaultFields()
{
    using D = const ButtonDefaults&;
    static const std::vector<DefaultField> fields = {
        {"clrGrendB", [](D d) -> long long { return d.m_clrBk1; }, RGB(255, 255, 255), "1,2,3", RGB(1, 2, 3),
         "1,2", RGB(255, 255, 255)},
        {"clrGrendE", [](D d) -> long long { return d.m_clrBk2; }, RGB(180, 210, 250), "#040506",
         RGB(4, 5, 6), "lorem ipsum", RGB(180, 210, 250)},
        {"clrFrame", [](D d) -> long long { return d.m_clrFrame; }, RGB(80, 120, 150), "7,8,9", RGB(7, 8, 9),
         "#XYZXYZ", RGB(80, 120, 150)},
        {"clrText", [](D d) -> long long { return d.m_clrText; }, RGB(0, 0, 0), "10,11,12", RGB(10, 11, 12),
         "999,0,0", RGB(0, 0, 0)},
        {"clrHoldBk1", [](D d) -> long long { return d.m_clrHoldBk1; }, RGB(0, 0, 240), "13,14,15",
         RGB(13, 14, 15), "", RGB(0, 0, 240)},
        {"clrHoldBk2", [](D d) -> long long { return d.m_clrHoldBk2; }, RGB(0, 0, 240), "16,17,18",
         RGB(16, 17, 18), ";;;;;;", RGB(0, 0, 240)},
        {"clrHoldTxt", [](D d) -> long long { return d.m_clrHoldText; }, RGB(240, 240, 240), "19,20,21",
         RGB(19, 20, 21), "-5,-5,-5", RGB(240, 240, 240)},
        {"clrHoldFrame", [](D d) -> long long { return d.m_clrHoldFrame; }, RGB(240, 240, 240), "22,23,24",
         RGB(22, 23, 24), "(((((", RGB(240, 240, 240)},
        {"clrOverBk1", [](D d) -> long long { return d.m_clrOverBk1; }, RGB(180, 210, 250), "25,26,27",
         RGB(25, 26, 27), "#", RGB(180, 210, 250)},
        {"clrOverBk2", [](D d) -> long long { return d.m_clrOverBk2; }, RGB(255, 255, 225), "28,29,30",
         RGB(28, 29, 30), "1,2,3,4,5", RGB(255, 255, 225)},
        {"clrOverText", [](D d) -> long long { return d.m_clrOverText; }, RGB(0, 0, 240), "31,32,33",
         RGB(31, 32, 33), "\x01\x02\x03\xff\xfe", RGB(0, 0, 240)},
        {"clrOverFrame", [](D d) -> long long { return d.m_clrOverFrame; }, RGB(80, 120, 150), "34,35,36",
         RGB(34, 35, 36), std::string(3000, 'R'), RGB(80, 120, 150)},
        // An absurd font size is capped rather than handed to the font mapper.
        {"FontSize", [](D d) -> long long { return d.m_nFontSize; }, -1, "18", 18, "99999999",
         BUTTON_FONT_SIZE_MAX},
        {"ShowULine", [](D d) -> long long { return d.m_bUnderline; }, 0, "1", 1, "", 0, false},
        {"ShowItaic", [](D d) -> long long { return d.m_bItalic; }, 0, "1", 1, "", 0, false},
        {"ShowBold", [](D d) -> long long { return d.m_bBold; }, 0, "1", 1, "", 0, false},
        // Radii never go below 0.
        {"nRX", [](D d) -> long long { return d.m_nRX; }, 0, "6", 6, "-40", 0},
        {"nRY", [](D d) -> long long { return d.m_nRY; }, 0, "4", 4, "abc", 0},
        {"ImgOffsetX", [](D d) -> long long { return d.m_nImgOffsetX; }, 10, "3", 3, "", 10, false},
        {"ImgOffsetY", [](D d) -> long long { return d.m_nImgOffsetY; }, -1, "2", 2, "", -1, false},
    };
    return fields;
}

TEST(ButtonDefaultsFile, MissingFileGivesTheTable)
{
    ButtonDefaults d = ReadButtonDefaults(L"C:\\no\\such\\dir\\ButtonDefault.ini");
    for (const DefaultField& f : DefaultFields()) {
        SCOPED_TRACE(f.key);
        EXPECT_EQ(f.get(d), f.table);
    }
    EXPECT_TRUE(d.m_szFaceName.empty());
}

TEST(ButtonDefaultsFile, EveryKeyIsRead)
{
    std::string text = "[BUTTON]\r\n";
    for (const DefaultField& f : DefaultFields())
        text += std::string(f.key) + "=" + f.written + "\r\n";
    text += "FaceName=Tahoma\r\n";
    CScratchFile ini(L".ini");
    ini.WriteText(text);
    ButtonDefaults d = ReadButtonDefaults(ini.Path());
    for (const DefaultField& f : DefaultFields()) {
        SCOPED_TRACE(f.key);
        EXPECT_EQ(f.get(d), f.read);
    }
    EXPECT_EQ(d.m_szFaceName, L"Tahoma");
}

TEST(ButtonDefaultsFile, GarbageFallsBackToTheTable)
{
    std::string garbage = "[BUTTON]\r\n";
    for (const DefaultField& f : DefaultFields())
        if (f.bGarbage)
            garbage += std::string(f.key) + "=" + f.garbage + "\r\n";
    garbage += "[BUTTON\r\n=\r\n\r\n";
    garbage += std::string("\x00\x00garbage", 9);
    CScratchFile ini(L".ini");
    ini.WriteText(garbage);
    ButtonDefaults d = ReadButtonDefaults(ini.Path());
    for (const DefaultField& f : DefaultFields()) {
        SCOPED_TRACE(f.key);
        EXPECT_EQ(f.get(d), f.afterGarbage);
    }

    // A button drawn with such defaults still paints.
    CMyButton::LoadDefaults(ini.Path());
    CButtonHost& host = SharedHost();
    CMyButton button;
    ASSERT_TRUE(button.Create(L"OK", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, {10, 10, 110, 40}, &host, 100));
    auto canvas = Render(button);
    EXPECT_EQ(canvas->Pixel(50, 0), RGB(80, 120, 150));
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
