#include "SkinTestSupport.h"

#include <cstdlib>

CTempDir::CTempDir()
{
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static int counter = 0;
    for (;;) {
        m_path = std::wstring(base) + L"lvskin-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(++counter) + L"\\";
        if (CreateDirectoryW(m_path.c_str(), nullptr))
            break;
    }
}

CTempDir::~CTempDir()
{
    RemoveTree(m_path);
}

void RemoveTree(const std::wstring& dir)
{
    std::wstring root = dir;
    if (!root.empty() && root.back() != L'\\')
        root += L'\\';
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((root + L"*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(root + name);
            else
                DeleteFileW((root + name).c_str());
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    RemoveDirectoryW(root.c_str());
}

void WriteBmp(const std::wstring& path, int width, int height, const std::function<COLORREF(int, int)>& pixel)
{
    const int stride = (width * 3 + 3) & ~3;
    std::vector<uint8_t> data(static_cast<size_t>(stride) * height);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = data.data() + static_cast<size_t>(height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            const COLORREF c = pixel(x, y);
            row[x * 3] = GetBValue(c);
            row[x * 3 + 1] = GetGValue(c);
            row[x * 3 + 2] = GetRValue(c);
        }
    }
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + static_cast<DWORD>(data.size());
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biSizeImage = static_cast<DWORD>(data.size());
    std::vector<uint8_t> bytes(reinterpret_cast<uint8_t*>(&file),
                               reinterpret_cast<uint8_t*>(&file) + sizeof(file));
    bytes.insert(bytes.end(), reinterpret_cast<uint8_t*>(&info),
                 reinterpret_cast<uint8_t*>(&info) + sizeof(info));
    bytes.insert(bytes.end(), data.begin(), data.end());
    WriteBytes(path, bytes);
}

void WriteSolidBmp(const std::wstring& path, int width, int height, COLORREF colour)
{
    WriteBmp(path, width, height, [colour](int, int) { return colour; });
}

void WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD done = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    CloseHandle(file);
}

std::vector<uint8_t> ReadBytes(const std::wstring& path)
{
    std::vector<uint8_t> bytes;
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    bytes.resize(GetFileSize(file, nullptr));
    DWORD done = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    bytes.resize(done);
    CloseHandle(file);
    return bytes;
}

bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Near(COLORREF a, COLORREF b, int tolerance)
{
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance &&
           std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}
