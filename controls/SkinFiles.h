#pragma once
// Where skin files live: the module and default skin directories, the skin path list, the lookup
// of a bare file name, and the built-in skin files that the program carries as resources.

#include <string>
#include <string_view>
#include <optional>
#include <vector>

// Built-in file i is the RCDATA resource IDR_DEFAULT_SKIN_FIRST + i of the program
// (controls/skins/DefaultSkins.rc, linked into every executable that uses lv_skin).
inline constexpr int IDR_DEFAULT_SKIN_FIRST = 4000;
inline constexpr int DEFAULT_SKIN_COUNT = 67;

// The executable's directory, ending in a backslash; computed once.
const std::wstring& GetModuleDir();

// The user's local application data folder (no trailing backslash); computed once.
const std::wstring& GetLocalAppDataDir();

// The default skin directory, ending in a backslash; created on disk with every missing parent
// before it is returned. Initially "<LocalAppData>\Cobbleframe\DefSkins\".
std::wstring GetDefaultSkinDir();

// Starts GDI+, optionally replaces the default skin directory (a path without a drive is taken
// relative to the module directory), adds the directories of "OptionSkinPaths.ini" and then
// "DefSkins", "MySkins1", "MySkins2", and finally runs the button-defaults loader (see
// SetButtonDefaultsLoader). Safe to call more than once: the list never holds duplicates.
void InitSkins(std::optional<std::wstring_view> path = std::nullopt);

// Adds a directory to, or removes it from, the skin path list. Paths shorter than 2 characters
// are ignored; a path without a drive is taken relative to the module directory; entries are
// compared without regard to case.
void AddSkinPath(std::wstring_view path, bool add);

// A copy of the skin path list, first added first; every entry ends in a backslash.
std::vector<std::wstring> GetSkinPaths();

// The path under which a skin file is found, or the (possibly extended) name itself when none.
// A bare name longer than 5 characters without an extension means a PNG file. Search order: the
// name itself, the default skin directory, then the skin path list from the last added to the first.
std::wstring ResolveSkinFile(std::wstring_view name);

// The name of built-in skin file index; an index outside 0..66 gives file 0.
const wchar_t* GetDefaultSkinName(int index);

// Writes every built-in skin file that does not exist yet into the default skin directory;
// existing files are never touched. Returns how many files were written.
int WriteDefaultSkins();

// InitSkins ends by loading the button defaults from "ButtonDefault.ini"; the skinned buttons
// register that loader here (null removes it). Without one, InitSkins skips the step.
using ButtonDefaultsLoader = void (*)();
void SetButtonDefaultsLoader(ButtonDefaultsLoader loader);
