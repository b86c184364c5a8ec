// The per-user default skin directory, in a process where nothing has replaced it.
#include "controls/SkinFiles.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

TEST(DefaultSkinDir, LivesUnderLocalAppDataAndReceivesTheBuiltInFiles)
{
    const std::wstring base = GetLocalAppDataDir();
    ASSERT_FALSE(base.empty());
    const std::wstring dir = GetDefaultSkinDir();
    EXPECT_EQ(dir, base + L"\\Cobbleframe\\DefSkins\\");
    const DWORD attributes = GetFileAttributesW(dir.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);

    // Earlier runs may have written some already; afterwards all of them are there.
    WriteDefaultSkins();
    for (int i = 0; i < DEFAULT_SKIN_COUNT; ++i)
        EXPECT_NE(GetFileAttributesW((dir + GetDefaultSkinName(i)).c_str()), INVALID_FILE_ATTRIBUTES) << i;
    EXPECT_EQ(WriteDefaultSkins(), 0);
}

} // namespace
