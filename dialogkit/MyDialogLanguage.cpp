// Language files of CMyDialog: the global language choice, loading a language into a dialog,
// writing a translator's template, and free strings.

#include "dialogkit/MyDialog.h"

#include "base/IniText.h"
#include "base/MyProfile.h"
#include "controls/MyListCtrlIds.h"
#include "platform/WindowText.h"

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <cwctype>
#include <set>
#include <vector>

namespace {

std::atomic<int> g_nGlobalLanguage{0};

// Coordinates and sizes beyond this are taken as damage, not as a place.
constexpr long long PLACE_LIMIT = 32767;

std::wstring Format(const wchar_t* format, int a)
{
    wchar_t key[64];
    std::swprintf(key, 64, format, a);
    return key;
}

std::wstring Format(const wchar_t* format, int a, int b)
{
    wchar_t key[64];
    std::swprintf(key, 64, format, a, b);
    return key;
}

std::wstring ReadString(CMyProfile& profile, const std::wstring& key)
{
    LPCWSTR value = profile.GetString(key.c_str(), nullptr);
    return value ? std::wstring(value) : std::wstring();
}

// A text of the section: with "UTF8Txt" 1 the file holds its UTF-8 bytes, which are read
// directly (the INI functions would pass them through the ANSI code page, where many UTF-8
// sequences are not valid double-byte pairs); otherwise as the INI functions return it.
std::wstring ReadText(CMyProfile& profile, const std::wstring& key, bool bUtf8)
{
    return bUtf8 ? profile.GetUtf8String(key.c_str()) : ReadString(profile, key);
}

std::wstring ReplaceAll(std::wstring text, const std::wstring& from, const std::wstring& to)
{
    for (size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::wstring LineBreaksToMarks(const std::wstring& text)
{
    return ReplaceAll(ReplaceAll(text, L"\r\n", L"<--CR-->"), L"\n", L"<--CR-->");
}

bool SizeUsable(int n)
{
    return n > 0 && n <= PLACE_LIMIT;
}

bool CoordUsable(int n)
{
    return n >= -PLACE_LIMIT && n <= PLACE_LIMIT;
}

// Moves a top-level rectangle so that a useful part of it (its top band included) lies on the
// monitor nearest to it.
void KeepOnMonitor(long long& x, long long& y, long long width, long long height)
{
    RECT rc{static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(x + width),
            static_cast<LONG>(y + height)};
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    HMONITOR hMonitor = ::MonitorFromRect(&rc, MONITOR_DEFAULTTONEAREST);
    if (!hMonitor || !::GetMonitorInfoW(hMonitor, &mi))
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &mi.rcWork, 0);
    const RECT& work = mi.rcWork;
    const long long needX = std::min<long long>(width, 100);
    const long long needY = std::min<long long>(height, 30);
    // At least needX pixels across and the top band inside the work area.
    if (x + width < work.left + needX)
        x = work.left;
    if (x > work.right - needX)
        x = std::max<long long>(work.left, work.right - width);
    if (y < work.top)
        y = work.top;
    if (y > work.bottom - needY)
        y = std::max<long long>(work.top, work.bottom - height);
}

std::wstring Lower(std::wstring text)
{
    for (auto& ch : text)
        ch = static_cast<wchar_t>(std::towlower(ch));
    return text;
}

// The key names of the profile's section, lower-cased (the INI functions ignore case).
std::set<std::wstring> SectionKeys(const CMyProfile& profile)
{
    std::set<std::wstring> keys;
    std::vector<wchar_t> buffer(16384);
    for (;;) {
        DWORD n = ::GetPrivateProfileStringW(profile.GetSection().c_str(), nullptr, L"", buffer.data(),
                                             static_cast<DWORD>(buffer.size()), profile.GetFile().c_str());
        if (n < buffer.size() - 2 || buffer.size() >= (1u << 22))
            break;
        buffer.resize(buffer.size() * 4);
    }
    for (const wchar_t* p = buffer.data(); *p; p += wcslen(p) + 1)
        keys.insert(Lower(p));
    return keys;
}

bool IsButtonOrStatic(HWND hWnd)
{
    return IsClass(hWnd, L"BUTTON") || IsClass(hWnd, L"STATIC");
}

RECT RectInParent(HWND hWnd)
{
    RECT rc;
    ::GetWindowRect(hWnd, &rc);
    HWND hParent = ::GetParent(hWnd);
    ::MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

} // namespace

std::wstring CMyDialog::GetLanguageFileName()
{
    wchar_t path[1024] = {};
    DWORD length = ::GetModuleFileNameW(nullptr, path, 1024);
    if (length == 0 || length >= 1024)
        path[0] = L'\0';
    // Joined, not formatted: the wide printf MinGW links for C++ here read "%ls" as a narrow string.
    return std::wstring(path) + L"-Lang.ini";
}

std::wstring CMyDialog::GetGlobalLanguageFileName()
{
    wchar_t path[1024] = {};
    DWORD length = ::GetModuleFileNameW(nullptr, path, 1024);
    if (length == 0 || length >= 1024)
        return L"GlobalLang.ini";
    std::wstring dir(path);
    dir.resize(dir.find_last_of(L'\\') + 1);
    return dir + L"GlobalLang.ini";
}

int CMyDialog::GetGlobalLanguage()
{
    CMyProfile profile(L"GlobalLang", nullptr, nullptr);
    return profile.GetInt(L"GlobalLang", 0);
}

void CMyDialog::SetGlobalLanguage(int nLangId)
{
    g_nGlobalLanguage = nLangId;
    {
        CMyProfile profile(L"GlobalLang", nullptr, nullptr);
        profile.WriteInt(L"GlobalLang", nLangId);
    }
    // A dialog may go away while another one loads (a handler closing it): check each first.
    for (CMyDialog* pDlg : GetLiveDialogs())
        if (IsLiveDialog(pDlg) && pDlg->m_hWnd)
            pDlg->LoadLanguage(nLangId);
    CSkinningPass::RefreshButtonToolTips();
}

void CMyDialog::ExportLanguageAll(int nLangId)
{
    for (CMyDialog* pDlg : GetLiveDialogs())
        if (IsLiveDialog(pDlg) && pDlg->m_hWnd)
            pDlg->WriteLanguageTemplate(nLangId);
}

void CMyDialog::LoadLanguage(int nLangId)
{
    ApplyLanguage(nLangId);
    if (nLangId == m_nLangId)
        return;
    m_nLangId = nLangId;
    if (!m_hWnd)
        return;

    CMyProfile& profile = *m_pProfile;
    const int nMinId = std::max(profile.GetInt(L"MinItemID", 0), LANG_MIN_ITEM_ID);
    const int nMaxId = std::min(profile.GetInt(L"MaxItemID", 0), LANG_MAX_ITEM_ID);
    const bool bUtf8 = profile.GetInt(L"UTF8Txt", 0) == 1;
    const bool bLoadText = profile.GetInt(L"LoadText", 0) != 0;

    const std::wstring title = ReadText(profile, Format(L"WindowText-%d", nLangId), bUtf8);
    if (!title.empty() && bLoadText && title != WindowTextOf(m_hWnd))
        ::SetWindowTextW(m_hWnd, title.c_str());

    const std::wstring place = ReadString(profile, Format(L"WindowPos-%d", nLangId));
    int values[4];
    if (place.size() > 5 && IniParseInts(place, values, 4)) {
        RECT rc;
        ::GetWindowRect(m_hWnd, &rc);
        const bool bChild = (GetStyle() & WS_CHILD) != 0;
        if (bChild)
            ::MapWindowPoints(nullptr, ::GetParent(m_hWnd), reinterpret_cast<POINT*>(&rc), 2);
        const long long curWidth = rc.right - rc.left, curHeight = rc.bottom - rc.top;
        long long x = values[0] == -1 || !CoordUsable(values[0]) ? rc.left : values[0];
        long long y = values[1] == -1 || !CoordUsable(values[1]) ? rc.top : values[1];
        const long long width = SizeUsable(values[2]) ? values[2] : curWidth;
        const long long height = SizeUsable(values[3]) ? values[3] : curHeight;
        if (!bChild)
            KeepOnMonitor(x, y, width, height);
        if (x != rc.left || y != rc.top || width != curWidth || height != curHeight)
            ::MoveWindow(m_hWnd, static_cast<int>(x), static_cast<int>(y), static_cast<int>(width),
                         static_cast<int>(height), TRUE);
    }

    // One read of the section's key names spares a file read per absent key (up to 10000).
    const std::set<std::wstring> keys = SectionKeys(profile);
    auto present = [&keys](const std::wstring& key) { return keys.count(Lower(key)) != 0; };
    for (int nID = nMinId; nID <= nMaxId; ++nID) {
        const std::wstring bmpKey = Format(L"ItemBMP-%d-%d", nID, nLangId);
        const std::wstring posKey = Format(L"ItemPos-%d-%d", nID, nLangId);
        if (!present(bmpKey) && !present(posKey))
            continue;
        std::wstring images = ReadText(profile, bmpKey, bUtf8);
        std::replace(images.begin(), images.end(), L',', L' ');
        if (images.size() > 5) {
            auto button = std::find_if(m_lstImageButtons.begin(), m_lstImageButtons.end(),
                                       [nID](const ImageButton& b) { return b.nID == nID; });
            if (button != m_lstImageButtons.end()) {
                std::wstring names[3];
                size_t at = 0;
                for (auto& name : names) {
                    at = images.find_first_not_of(L' ', at);
                    if (at == std::wstring::npos)
                        break;
                    size_t end = images.find(L' ', at);
                    name = images.substr(at, end == std::wstring::npos ? std::wstring::npos : end - at);
                    at = end;
                    if (at == std::wstring::npos)
                        break;
                }
                RegisterImageButton(nID, names[0].c_str(), names[1].c_str(), names[2].c_str(),
                                    button->names[3].c_str());
            }
        }

        const std::wstring itemPlace = ReadString(profile, posKey);
        if (itemPlace.size() <= 5 || !IniParseInts(itemPlace, values, 4))
            continue;
        HWND hItem = FindItem(nID, TRUE);
        if (!hItem)
            continue;
        const RECT rc = RectInParent(hItem);
        const int x = values[0] == -1 || !CoordUsable(values[0]) ? rc.left : values[0];
        const int y = values[1] == -1 || !CoordUsable(values[1]) ? rc.top : values[1];
        const int width = SizeUsable(values[2]) ? values[2] : rc.right - rc.left;
        const int height = SizeUsable(values[3]) ? values[3] : rc.bottom - rc.top;
        const bool bMove = x != rc.left || y != rc.top;
        if (bMove) {
            ::SetWindowPos(hItem, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            QueueRedraw(hItem);
        }
        if (width != rc.right - rc.left || height != rc.bottom - rc.top) {
            ::SetWindowPos(hItem, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            QueueRedraw(hItem);
        }
        // Recorded once both are done: a record between the two would replace the file's size.
        if (bMove)
            SaveItemPos(hItem);
    }
}

void CMyDialog::WriteLanguageTemplate(int nLangId)
{
    if (!m_hWnd)
        return;
    CMyProfile& profile = *m_pProfile;
    profile.WriteString(Format(L"WindowText-%d", nLangId).c_str(), WindowTextOf(m_hWnd).c_str());
    profile.WriteInt(L"SetLangID", nLangId);
    RECT rcWindow;
    ::GetWindowRect(m_hWnd, &rcWindow);
    wchar_t place[96];
    std::swprintf(place, 96, L"%d,%d,%d,%d  %d,%d", -1, -1, static_cast<int>(rcWindow.right - rcWindow.left),
                  static_cast<int>(rcWindow.bottom - rcWindow.top), static_cast<int>(rcWindow.left),
                  static_cast<int>(rcWindow.top));
    profile.WriteString(Format(L"WindowPos-%d", nLangId).c_str(), place);

    int nLowest = 65535, nHighest = 1;
    for (HWND hChild = ::GetWindow(m_hWnd, GW_CHILD); hChild; hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
        const int nID = ::GetDlgCtrlID(hChild);
        if (nID == CONTROL_ID_NONE || nID == -1)
            continue;
        if (IsButtonOrStatic(hChild)) {
            nLowest = std::min(nLowest, nID);
            nHighest = std::max(nHighest, nID);
            profile.WriteString(Format(L"ItemText-%d-%d", nID, nLangId).c_str(),
                                LineBreaksToMarks(WindowTextOf(hChild)).c_str());
        }
        const RECT rc = RectInParent(hChild);
        std::swprintf(place, 96, L"%d,%d,%d,%d", static_cast<int>(rc.left), static_cast<int>(rc.top),
                      static_cast<int>(rc.right - rc.left), static_cast<int>(rc.bottom - rc.top));
        profile.WriteString(Format(L"ItemPos-%d-%d", nID, nLangId).c_str(), place);
    }
    for (const auto& button : m_lstImageButtons) {
        const std::wstring value =
            button.names[0] + L"," + button.names[1] + L"," + button.names[2] + L"," + button.names[3];
        profile.WriteString(Format(L"ItemBMP-%d-%d", button.nID, nLangId).c_str(), value.c_str());
    }
    profile.WriteInt(L"MinItemID", nLowest);
    profile.WriteInt(L"MaxItemID", nHighest);
}

LPCWSTR CMyDialog::GetLangString(int n)
{
    thread_local std::wstring buffer;
    const bool bUtf8 = m_pProfile->GetInt(L"UTF8Txt", 0) == 1;
    buffer = ReadText(*m_pProfile, Format(L"String-%d-%d", n, m_nLangId), bUtf8);
    return buffer.c_str();
}

void CMyDialog::SetLangString(int n, LPCWSTR lpszText)
{
    m_pProfile->WriteInt(L"UTF8Txt", 1);
    m_pProfile->WriteUtf8String(Format(L"String-%d-%d", n, m_nLangId).c_str(), lpszText ? lpszText : L"");
}

void CMyDialog::SetItemTextAndSave(int nID, LPCWSTR lpszText)
{
    SetItemText(nID, lpszText);
    HWND hItem = FindItem(nID, TRUE);
    if (!hItem)
        return;
    if (IsButtonOrStatic(hItem))
        m_pProfile->WriteString(Format(L"ItemText-%d-%d", nID, m_nLangId).c_str(),
                                LineBreaksToMarks(WindowTextOf(hItem)).c_str());
    RedrawControl(hItem);
}

void CMyDialog::SaveItemPos(HWND hWndItem)
{
    if (!hWndItem || !::IsWindow(hWndItem))
        return;
    const RECT rc = RectInParent(hWndItem);
    wchar_t place[64];
    std::swprintf(place, 64, L"%d,%d,%d,%d", static_cast<int>(rc.left), static_cast<int>(rc.top),
                  static_cast<int>(rc.right - rc.left), static_cast<int>(rc.bottom - rc.top));
    m_pProfile->WriteString(Format(L"ItemPos-%d-%d", ::GetDlgCtrlID(hWndItem), m_nLangId).c_str(), place);
}

void CMyDialog::RegisterImageButton(int nID, LPCWSTR lpszNormal, LPCWSTR lpszOver, LPCWSTR lpszDown,
                                    LPCWSTR lpszDisabled)
{
    auto button = std::find_if(m_lstImageButtons.begin(), m_lstImageButtons.end(),
                               [nID](const ImageButton& b) { return b.nID == nID; });
    if (button == m_lstImageButtons.end()) {
        m_lstImageButtons.push_back({nID, {}});
        button = std::prev(m_lstImageButtons.end());
    }
    button->names[0] = lpszNormal ? lpszNormal : L"";
    button->names[1] = lpszOver ? lpszOver : L"";
    button->names[2] = lpszDown ? lpszDown : L"";
    button->names[3] = lpszDisabled ? lpszDisabled : L"";
    m_skins.SetButtonImages(nID, button->names);
}
