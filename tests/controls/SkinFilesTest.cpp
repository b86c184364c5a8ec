#include <gtest/gtest.h>
#include "controls/SkinFiles.h"
#include "controls/SkinImage.h"
#include "controls/SkinWindow.h"
#include "controls/SkinPicture.h"
TEST(Skin, Names) { EXPECT_STREQ(GetDefaultSkinName(67), L"cmbDefThumb-down.bmp"); }
