#include "ButtonTestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

const wchar_t* const HOST_CLASS = L"LarkvaneButtonHost";

void RegisterHostClass()
{
    static bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
        wc.lpszClassName = HOST_CLASS;
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        return ::RegisterClassW(&wc) != 0;
    }();
    (void)registered;
}

} // namespace

CButtonHost::CButtonHost()
{
    RegisterHostClass();
    RECT rect{0, 0, 480, 360};
    CreateEx(0, HOST_CLASS, L"button host", WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, rect, nullptr,
             0);
}

BOOL CButtonHost::OnCommand(WPARAM wParam, LPARAM lParam)
{
    m_commands.push_back({LOWORD(wParam), HIWORD(wParam)});
    return CWnd::OnCommand(wParam, lParam);
}

CButtonHost& SharedHost()
{
    static CButtonHost* s_pHost = new CButtonHost; // kept until the process ends
    s_pHost->m_commands.clear();
    return *s_pHost;
}

int CButtonHost::CountCommands(int id, int code) const
{
    int n = 0;
    for (const Command& c : m_commands)
        n += (c.id == id && c.code == code) ? 1 : 0;
    return n;
}

std::unique_ptr<CPixelCanvas> Render(HWND hWnd, COLORREF fill)
{
    return lvtest::RenderClient(hWnd, fill);
}

void SaveCanvas(const CPixelCanvas& canvas, const std::wstring& path)
{
    const int width = canvas.Width();
    const int height = canvas.Height();
    const int stride = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + static_cast<DWORD>(stride * height);
    ih.biSize = sizeof ih;
    ih.biWidth = width;
    ih.biHeight = height;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(&fh), sizeof fh);
    out.write(reinterpret_cast<const char*>(&ih), sizeof ih);
    std::vector<uint8_t> row(static_cast<size_t>(stride), 0);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            COLORREF c = canvas.Pixel(x, y);
            row[static_cast<size_t>(x) * 3] = GetBValue(c);
            row[static_cast<size_t>(x) * 3 + 1] = GetGValue(c);
            row[static_cast<size_t>(x) * 3 + 2] = GetRValue(c);
        }
        out.write(reinterpret_cast<const char*>(row.data()), stride);
    }
}

bool Near(COLORREF a, COLORREF b, int tolerance)
{
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance &&
           std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

bool IsDark(COLORREF c)
{
    return GetRValue(c) < 100 && GetGValue(c) < 100 && GetBValue(c) < 100;
}

bool IsInk(COLORREF c)
{
    return GetRValue(c) + GetGValue(c) + GetBValue(c) < 400;
}

CScratchFile::CScratchFile(const wchar_t* suffix)
{
    static int s_nCounter = 0;
    wchar_t dir[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, dir);
    m_path = std::wstring(dir) + L"lvbtn-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
             std::to_wstring(++s_nCounter) + suffix;
}

CScratchFile::~CScratchFile()
{
    ::DeleteFileW(m_path.c_str());
}

void CScratchFile::WriteText(const std::string& text) const
{
    std::ofstream out(std::filesystem::path(m_path), std::ios::binary | std::ios::trunc);
    out << text;
}

void WriteSolidBmp(const std::wstring& path, int width, int height, COLORREF colour)
{
    const int stride = (width * 3 + 3) & ~3;
    const uint32_t dataSize = static_cast<uint32_t>(stride * height);
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + dataSize;
    ih.biSize = sizeof ih;
    ih.biWidth = width;
    ih.biHeight = height;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    ih.biCompression = BI_RGB;
    ih.biSizeImage = dataSize;
    std::vector<uint8_t> row(static_cast<size_t>(stride), 0);
    for (int x = 0; x < width; ++x) {
        row[static_cast<size_t>(x) * 3] = GetBValue(colour);
        row[static_cast<size_t>(x) * 3 + 1] = GetGValue(colour);
        row[static_cast<size_t>(x) * 3 + 2] = GetRValue(colour);
    }
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(&fh), sizeof fh);
    out.write(reinterpret_cast<const char*>(&ih), sizeof ih);
    for (int y = 0; y < height; ++y)
        out.write(reinterpret_cast<const char*>(row.data()), stride);
}
