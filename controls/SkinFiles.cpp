#include "controls/SkinFiles.h"

#include "controls/SkinImage.h"
#include "controls/SkinPathText.h"
#include "base/UniqueHandle.h"

#include <windows.h>
#include <shlobj.h>

#include <mutex>

namespace {

constexpr const wchar_t* DEFAULT_SKIN_NAMES[DEFAULT_SKIN_COUNT] = {
    L"cmbDefThumb-down.bmp",
    L"cmbDefThumb-hover.bmp",
    L"cmbDefThumb-normal.bmp",
    L"DlgBtn-CloseNor.bmp",
    L"DlgBtn-CloseOver.bmp",
    L"DlgBtn-MaximizeNor.bmp",
    L"DlgBtn-MaximizeOver.bmp",
    L"DlgBtn-MinimizeNor.bmp",
    L"DlgBtn-MinimizeOver.bmp",
    L"DlgBtn-RestoreNor.bmp",
    L"DlgBtn-RestoreOver.bmp",
    L"DlgBtn-SetNoTopNor.bmp",
    L"DlgBtn-SetNoTopOver.bmp",
    L"DlgBtn-SetTopNor.bmp",
    L"DlgBtn-SetTopOver.bmp",
    L"DlgToolBarBk.bmp",
    L"PopWinBkCenterBottom.bmp",
    L"PopWinBkCenterTop.bmp",
    L"PopWinBkLeft.bmp",
    L"PopWinBkLeftBottom.bmp",
    L"PopWinBkLeftTop.bmp",
    L"PopWinBkRight.bmp",
    L"PopWinBkRightBottom.bmp",
    L"PopWinBkRightTop.bmp",
    L"off.png",
    L"on.png",
    L"up.png",
    L"down.png",
    L"General_OK1.png",
    L"General_NG1.png",
    L"General_OK2.png",
    L"General_NG2.png",
    L"General_Search.png",
    L"General_Help.png",
    L"General_Guaide.png",
    L"General_Setting.png",
    L"General_RButtonON.png",
    L"General_Refesh1.png",
    L"General_Save.png",
    L"General_Redo.png",
    L"General_Undo.png",
    L"General_Copy.png",
    L"General_Cut.png",
    L"General_Paste.png",
    L"General_Refresh2.png",
    L"General_Forbidden.png",
    L"General_Information.png",
    L"General_Question.png",
    L"General_Warning1.png",
    L"General_Warning2.png",
    L"General_Calendar.png",
    L"General_Heart1.png",
    L"General_Heart2.png",
    L"General_ArrowDown.png",
    L"General_ArrowLeft.png",
    L"General_ArrowRight.png",
    L"General_ArrowUp.png",
    L"General_Add1.png",
    L"General_Add2.png",
    L"General_Remove1.png",
    L"General_Remove2.png",
    L"General_NG3.png",
    L"General_NG4.png",
    L"General_OK3.png",
    L"General_OK4.png",
    L"General_ListChkBoxY.png",
    L"General_ListChkBoxN.png",
};

// The process-wide skin settings. Filled at start-up by the user-interface thread; the lock keeps
// a late caller on another thread from reading a half-updated list.
struct SkinState {
    std::mutex lock;
    std::wstring defaultDir; // empty until first use
    std::vector<std::wstring> paths;
    ButtonDefaultsLoader buttonDefaultsLoader = nullptr;
};

SkinState& State()
{
    static SkinState state;
    return state;
}

bool EndsWithBackslash(const std::wstring& s)
{
    return !s.empty() && s.back() == L'\\';
}

// Creates dir and every missing parent. Existing directories are fine.
void CreateDirectoryTree(const std::wstring& dir)
{
    // Skip the root part ("C:\" or "\\server\share\") that cannot be created.
    size_t start = 0;
    if (dir.size() >= 3 && dir[1] == L':')
        start = 3;
    else if (dir.rfind(L"\\\\", 0) == 0) {
        size_t server = dir.find(L'\\', 2);
        size_t share = server == std::wstring::npos ? server : dir.find(L'\\', server + 1);
        start = share == std::wstring::npos ? dir.size() : share + 1;
    }
    for (size_t i = start; i <= dir.size(); ++i) {
        if (i == dir.size() || dir[i] == L'\\') {
            if (i > start)
                CreateDirectoryW(dir.substr(0, i).c_str(), nullptr);
        }
    }
}

std::wstring InitialDefaultSkinDir()
{
    std::wstring base = GetLocalAppDataDir();
    // Without a profile folder the skins go beside the program rather than into a drive's root.
    if (base.empty())
        return GetModuleDir() + L"Cobbleframe\\DefSkins\\";
    return base + L"\\Cobbleframe\\DefSkins\\";
}

std::wstring DefaultSkinDirLocked(SkinState& state)
{
    if (state.defaultDir.empty())
        state.defaultDir = InitialDefaultSkinDir();
    return state.defaultDir;
}

// Reads the further skin directories of "OptionSkinPaths.ini" beside the executable, section
// "OptionSkinPaths", keys "OptionSkinPaths0".."OptionSkinPaths19" (missing keys read as empty).
// Reads the file the way the library's INI profile does for a plain string without default.
std::vector<std::wstring> ReadOptionSkinPaths()
{
    std::vector<std::wstring> result;
    const std::wstring file = GetModuleDir() + L"OptionSkinPaths.ini";
    for (int i = 0; i < 20; ++i) {
        wchar_t key[40];
        wsprintfW(key, L"OptionSkinPaths%d", i);
        wchar_t value[1024] = {};
        GetPrivateProfileStringW(L"OptionSkinPaths", key, L"", value, 1024, file.c_str());
        result.emplace_back(value);
    }
    return result;
}

} // namespace

const std::wstring& GetModuleDir()
{
    static const std::wstring dir = [] {
        std::wstring path(MAX_PATH, L'\0');
        for (;;) {
            DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
            if (n == 0)
                return std::wstring();
            if (n < path.size()) {
                path.resize(n);
                break;
            }
            path.resize(path.size() * 2);
        }
        return path.substr(0, path.rfind(L'\\') + 1);
    }();
    return dir;
}

const std::wstring& GetLocalAppDataDir()
{
    static const std::wstring dir = [] {
        wchar_t path[MAX_PATH] = {};
        if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path)))
            return std::wstring();
        std::wstring s = path;
        while (EndsWithBackslash(s))
            s.pop_back();
        return s;
    }();
    return dir;
}

std::wstring GetDefaultSkinDir()
{
    std::wstring dir;
    {
        std::lock_guard guard(State().lock);
        dir = DefaultSkinDirLocked(State());
    }
    CreateDirectoryTree(dir);
    return dir;
}

void InitSkins(std::optional<std::wstring_view> path)
{
    StartGdiplus();
    if (path) {
        std::wstring dir = SkinTrim(*path);
        if (!dir.empty()) {
            if (!SkinIsAbsolutePath(dir))
                dir = GetModuleDir() + dir;
            while (EndsWithBackslash(dir))
                dir.pop_back();
            dir += L'\\';
            std::lock_guard guard(State().lock);
            State().defaultDir = dir;
        }
    }
    for (const std::wstring& extra : ReadOptionSkinPaths())
        AddSkinPath(extra, true);
    AddSkinPath(L"DefSkins", true);
    AddSkinPath(L"MySkins1", true);
    AddSkinPath(L"MySkins2", true);

    ButtonDefaultsLoader loader;
    {
        std::lock_guard guard(State().lock);
        loader = State().buttonDefaultsLoader;
    }
    if (loader)
        loader();
}

void AddSkinPath(std::wstring_view path, bool add)
{
    std::wstring dir = SkinTrim(path);
    if (dir.size() < 2)
        return;
    if (!SkinIsAbsolutePath(dir))
        dir = GetModuleDir() + L"\\" + dir;
    dir = SkinCollapseBackslashes(dir + L"\\");

    SkinState& state = State();
    std::lock_guard guard(state.lock);
    auto& paths = state.paths;
    for (auto it = paths.rbegin(); it != paths.rend(); ++it) {
        if (SkinEqualNoCase(*it, dir)) {
            if (!add)
                paths.erase(std::next(it).base());
            return;
        }
    }
    if (add)
        paths.push_back(std::move(dir));
}

std::vector<std::wstring> GetSkinPaths()
{
    std::lock_guard guard(State().lock);
    return State().paths;
}

std::wstring ResolveSkinFile(std::wstring_view rawName)
{
    std::wstring name = SkinTrim(rawName);
    if (name.empty())
        return name;
    if (name.size() > 5) {
        std::wstring tail = SkinLower(name.substr(name.size() - 4));
        if (tail.find(L'.') == std::wstring::npos && tail != L"jpeg")
            name += L".png";
    }
    if (SkinFileExists(name))
        return name;

    std::wstring defaultDir;
    std::vector<std::wstring> paths;
    {
        std::lock_guard guard(State().lock);
        defaultDir = DefaultSkinDirLocked(State());
        paths = State().paths;
    }
    std::wstring candidate = SkinCollapseBackslashes(defaultDir + L"\\" + name);
    if (SkinFileExists(candidate))
        return candidate;
    for (auto it = paths.rbegin(); it != paths.rend(); ++it) {
        candidate = SkinCollapseBackslashes(*it + L"\\" + name);
        if (SkinFileExists(candidate))
            return candidate;
    }
    return name;
}

const wchar_t* GetDefaultSkinName(int index)
{
    if (index < 0 || index >= DEFAULT_SKIN_COUNT)
        index = 0;
    return DEFAULT_SKIN_NAMES[index];
}

int WriteDefaultSkins()
{
    const std::wstring dir = GetDefaultSkinDir();
    // The resources are in the module that holds this code (the executable, when linked statically).
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&WriteDefaultSkins), &module);
    int written = 0;
    for (int i = 0; i < DEFAULT_SKIN_COUNT; ++i) {
        const std::wstring path = dir + DEFAULT_SKIN_NAMES[i];
        if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
            continue;
        HRSRC info =
            FindResourceW(module, MAKEINTRESOURCEW(IDR_DEFAULT_SKIN_FIRST + i), MAKEINTRESOURCEW(10));
        HGLOBAL loaded = info ? LoadResource(module, info) : nullptr;
        const void* data = loaded ? LockResource(loaded) : nullptr;
        const DWORD size = info ? SizeofResource(module, info) : 0;
        if (!data || size == 0)
            continue;
        // CREATE_NEW: a file that appeared since the check above is still not replaced.
        CUniqueFile file(
            CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            continue;
        DWORD done = 0;
        const bool ok = WriteFile(file.Get(), data, size, &done, nullptr) && done == size;
        file.Reset(); // closed before a failed file is deleted
        // A partly written file would never be replaced, since existing files are kept: remove it.
        if (!ok) {
            DeleteFileW(path.c_str());
            continue;
        }
        ++written;
    }
    return written;
}

void SetButtonDefaultsLoader(ButtonDefaultsLoader loader)
{
    std::lock_guard guard(State().lock);
    State().buttonDefaultsLoader = loader;
}
