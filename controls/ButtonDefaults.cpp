#include "controls/ButtonDefaults.h"

#include "controls/ColorText.h"

#include "controls/SkinFiles.h"
#include "controls/SkinPathText.h"
#include "base/MyProfile.h"

#include <algorithm>
#include <cwctype>
#include <vector>

bool ParseColor(std::wstring_view text, COLORREF& colour)
{
    int rgb[3];
    if (!ParseColorText(text, rgb))
        return false;
    colour = RGB(rgb[0], rgb[1], rgb[2]);
    return true;
}

namespace {

// Colours are texts; a missing or unreadable one keeps the table default already in colour.
void ReadColor(const CMyProfile& profile, const wchar_t* key, COLORREF& colour)
{
    ParseColor(profile.GetString(key), colour);
}

} // namespace

ButtonDefaults ReadButtonDefaults(const std::wstring& file)
{
    const CMyProfile profile(file.c_str(), L"BUTTON");
    ButtonDefaults d;
    ReadColor(profile, L"clrGrendB", d.m_clrBk1);
    ReadColor(profile, L"clrGrendE", d.m_clrBk2);
    ReadColor(profile, L"clrFrame", d.m_clrFrame);
    ReadColor(profile, L"clrText", d.m_clrText);
    ReadColor(profile, L"clrHoldBk1", d.m_clrHoldBk1);
    ReadColor(profile, L"clrHoldBk2", d.m_clrHoldBk2);
    ReadColor(profile, L"clrHoldTxt", d.m_clrHoldText);
    ReadColor(profile, L"clrHoldFrame", d.m_clrHoldFrame);
    ReadColor(profile, L"clrOverBk1", d.m_clrOverBk1);
    ReadColor(profile, L"clrOverBk2", d.m_clrOverBk2);
    ReadColor(profile, L"clrOverText", d.m_clrOverText);
    ReadColor(profile, L"clrOverFrame", d.m_clrOverFrame);
    d.m_nFontSize = std::min(profile.GetInt(L"FontSize", d.m_nFontSize), BUTTON_FONT_SIZE_MAX);
    d.m_bUnderline = profile.GetInt(L"ShowULine", 0) != 0;
    d.m_bItalic = profile.GetInt(L"ShowItaic", 0) != 0;
    d.m_bBold = profile.GetInt(L"ShowBold", 0) != 0;
    d.m_nRX = std::max(profile.GetInt(L"nRX", d.m_nRX), 0);
    d.m_nRY = std::max(profile.GetInt(L"nRY", d.m_nRY), 0);
    d.m_nImgOffsetX = profile.GetInt(L"ImgOffsetX", d.m_nImgOffsetX);
    d.m_nImgOffsetY = profile.GetInt(L"ImgOffsetY", d.m_nImgOffsetY);
    d.m_szFaceName = SkinTrim(profile.GetString(L"FaceName"));
    if (d.m_szFaceName.size() > BUTTON_FACE_NAME_MAX)
        d.m_szFaceName.resize(BUTTON_FACE_NAME_MAX);
    return d;
}

std::wstring GetButtonDefaultsFile()
{
    return GetModuleDir() + L"ButtonDefault.ini";
}
