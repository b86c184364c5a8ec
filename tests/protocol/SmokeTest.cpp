#include <gtest/gtest.h>
#include "protocol/WireMessage.h"
#include "tests/support/LabGuard.h"
TEST(Smoke, LabOnly) { RequireLabNetwork(); auto v = LocalAddressesForTest(); for (auto& a : v) printf("%s\n", a.c_str()); EXPECT_FALSE(v.empty()); }
