#include "controls/SkinWindow.h"

#include "controls/SkinPathText.h"
#include "platform/CDC.h"
#include "base/UniqueHandle.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr const wchar_t* RUN_KEY = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

std::wstring OwnPath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return std::wstring();
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring ResolveExecutable(std::wstring_view executable)
{
    std::wstring path(executable);
    if (path.empty() || !SkinFileExists(path))
        path = OwnPath();
    return path;
}

std::wstring ResolveName(std::wstring_view name, const std::wstring& path)
{
    if (!name.empty())
        return std::wstring(name);
    std::wstring file = path.substr(path.rfind(L'\\') + 1);
    file.resize(file.size() >= 4 ? file.size() - 4 : 0);
    return file;
}

// Combines rects into result, batch by batch, so that no region-data buffer gets large.
void FlushRects(std::vector<RECT>& rects, CRgn& result, const RECT& bounds)
{
    if (rects.empty())
        return;
    std::vector<BYTE> data(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
    header->dwSize = sizeof(RGNDATAHEADER);
    header->iType = RDH_RECTANGLES;
    header->nCount = static_cast<DWORD>(rects.size());
    header->nRgnSize = static_cast<DWORD>(rects.size() * sizeof(RECT));
    header->rcBound = bounds;
    std::copy(rects.begin(), rects.end(), reinterpret_cast<RECT*>(data.data() + sizeof(RGNDATAHEADER)));
    CRgn part(
        ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), reinterpret_cast<RGNDATA*>(data.data())));
    rects.clear();
    if (!part)
        return;
    if (!result) {
        result = std::move(part);
        return;
    }
    CombineRgn(result, result, part, RGN_OR);
}

} // namespace

void SetWindowAlpha(HWND window, BYTE alpha, COLORREF colourKey)
{
    using SetLayeredFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);
    static const SetLayeredFn setLayered = [] {
        HMODULE user32 = GetModuleHandleW(L"User32.DLL");
        return user32 ? reinterpret_cast<SetLayeredFn>(
                            reinterpret_cast<void*>(GetProcAddress(user32, "SetLayeredWindowAttributes")))
                      : nullptr;
    }();
    if (!setLayered || !IsWindow(window))
        return;
    SetWindowLongPtrW(window, GWL_EXSTYLE, GetWindowLongPtrW(window, GWL_EXSTYLE) | WS_EX_LAYERED);
    setLayered(window, colourKey, alpha, LWA_ALPHA);
}

CRgn BitmapToRegion(HBITMAP bitmap, COLORREF key, COLORREF tolerance)
{
    if (!bitmap)
        return CRgn();
    BITMAP info = {};
    if (!GetObjectW(bitmap, sizeof(info), &info) || info.bmWidth < 1 || info.bmHeight < 1)
        return CRgn();
    const int width = info.bmWidth;
    const int height = info.bmHeight;

    // A 32-bit top-down copy: each pixel reads as 0x00RRGGBB.
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    std::vector<DWORD> pixels(static_cast<size_t>(width) * height);
    const int rows = [&] {
        const CDC dc = CDC::CreateCompatibleDC(nullptr);
        return dc ? GetDIBits(dc, bitmap, 0, height, pixels.data(), &bi, DIB_RGB_COLORS) : 0;
    }();
    if (rows != height)
        return CRgn();

    auto range = [](BYTE low, BYTE extra) { return std::pair<int, int>(low, std::min(255, low + extra)); };
    const auto [lr, hr] = range(GetRValue(key), GetRValue(tolerance));
    const auto [lg, hg] = range(GetGValue(key), GetGValue(tolerance));
    const auto [lb, hb] = range(GetBValue(key), GetBValue(tolerance));
    auto isKey = [&](DWORD p) {
        const int r = (p >> 16) & 0xFF;
        const int g = (p >> 8) & 0xFF;
        const int b = p & 0xFF;
        return r >= lr && r <= hr && g >= lg && g <= hg && b >= lb && b <= hb;
    };

    constexpr size_t BATCH = 2000;
    CRgn result;
    std::vector<RECT> rects;
    rects.reserve(100);
    RECT bounds = {width, height, 0, 0};
    for (int y = 0; y < height; ++y) {
        const DWORD* row = pixels.data() + static_cast<size_t>(y) * width;
        for (int x = 0; x < width;) {
            while (x < width && isKey(row[x]))
                ++x;
            const int start = x;
            while (x < width && !isKey(row[x]))
                ++x;
            if (x > start) {
                if (rects.size() == rects.capacity())
                    rects.reserve(rects.size() + 100);
                rects.push_back(RECT{start, y, x, y + 1});
                bounds.left = std::min<LONG>(bounds.left, start);
                bounds.top = std::min<LONG>(bounds.top, y);
                bounds.right = std::max<LONG>(bounds.right, x);
                bounds.bottom = std::max<LONG>(bounds.bottom, y + 1);
                if (rects.size() == BATCH)
                    FlushRects(rects, result, bounds);
            }
        }
    }
    FlushRects(rects, result, bounds);
    if (!result)
        result.Attach(CreateRectRgn(0, 0, 0, 0)); // every pixel is of the key colour
    return result;
}

void SetAutoRun(std::wstring_view name, bool enable, std::wstring_view executable,
                std::optional<std::wstring_view> arguments, bool allUsers)
{
    const std::wstring path = ResolveExecutable(executable);
    const std::wstring valueName = ResolveName(name, path);
    HKEY root = allUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    HKEY hKey = nullptr;
    if (enable) {
        // Created when missing: a fresh profile need not have the Run key yet.
        if (RegCreateKeyExW(root, RUN_KEY, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hKey, nullptr) !=
            ERROR_SUCCESS)
            return;
        const CUniqueRegKey key(hKey);
        std::wstring value = path;
        if (arguments && !arguments->empty()) {
            value += L' ';
            value += *arguments;
        }
        RegSetValueExW(key.Get(), valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    } else {
        if (RegOpenKeyExW(root, RUN_KEY, 0, KEY_SET_VALUE, &hKey) != ERROR_SUCCESS)
            return;
        const CUniqueRegKey key(hKey);
        RegDeleteValueW(key.Get(), valueName.c_str());
    }
}

bool IsAutoRun(std::wstring_view name, std::wstring_view executable, bool allUsers)
{
    const std::wstring path = ResolveExecutable(executable);
    const std::wstring valueName = ResolveName(name, path);
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(allUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, RUN_KEY, 0, KEY_QUERY_VALUE,
                      &hKey) != ERROR_SUCCESS)
        return false;
    const CUniqueRegKey key(hKey);
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key.Get(), valueName.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key.Get(), valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(value.data()),
                         &bytes) != ERROR_SUCCESS)
        return false;
    value.resize(wcsnlen(value.c_str(), value.size()));
    // An entry written with arguments still names this executable.
    if (value.size() > path.size() && value[path.size()] == L' ')
        value.resize(path.size());
    return SkinEqualNoCase(value, path);
}
