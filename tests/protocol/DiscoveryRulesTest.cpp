// Where a reply was reached: the address a camera is listed under and its network type.
#include <gtest/gtest.h>

#include "protocol/DiscoveryRules.h"

#include <cstring>
#include <string>

namespace {

struct ReachedCase {
    const char* name;
    const char* lanIp;
    const char* wifiIp;
    const char* sender;
    const char* listedAs;
    int netType;
};

class ReachedViaTest : public testing::TestWithParam<ReachedCase> {};

TEST_P(ReachedViaTest, ListsTheCameraUnderTheRightAddress)
{
    const ReachedCase& c = GetParam();
    WireMessage reply{};
    WriteTextField(reply.lanIp, c.lanIp);
    WriteTextField(reply.wifiIp, c.wifiIp);
    const ReachedVia via = ResolveReachedVia(reply, c.sender);
    EXPECT_STREQ(via.sourceIp, c.listedAs);
    EXPECT_EQ(via.netType, c.netType);
    EXPECT_EQ(via.sourceIp[sizeof via.sourceIp - 1], 0) << "sourceIp keeps its terminator";
}

INSTANTIATE_TEST_SUITE_P(
    Senders, ReachedViaTest,
    testing::Values(
        ReachedCase{"FromLanIp", "10.0.0.5", "10.0.1.5", "10.0.0.5", "10.0.0.5", 0},
        ReachedCase{"FromWifiIp", "10.0.0.5", "10.0.1.5", "10.0.1.5", "10.0.1.5", 1},
        ReachedCase{"FromAccessPointAddress", "10.0.0.5", "10.0.1.5", "192.168.100.100", "192.168.100.100",
                    1},
        ReachedCase{"FromElsewhereListedByLanIp", "10.0.0.5", "10.0.1.5", "172.16.0.9", "10.0.0.5", 0},
        // Exact text comparison: a differently written equal address is not the wifiIp.
        ReachedCase{"TextNotNumbers", "10.0.0.5", "10.0.1.05", "10.0.1.5", "10.0.0.5", 0},
        // A wired address filling its 16 bytes is listed with its first 15 characters.
        ReachedCase{"LongLanIpCut", "111.111.111.1111", "", "10.9.9.9", "111.111.111.111", 0},
        ReachedCase{"EmptyWifiIpIsNoMatchForARealSender", "10.0.0.5", "", "10.0.0.5", "10.0.0.5", 0}),
    [](const testing::TestParamInfo<ReachedCase>& info) { return std::string(info.param.name); });

} // namespace
