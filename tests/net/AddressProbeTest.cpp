// The address-in-use probe in the lab: the lab's other devices (198.18.1.60-62, a namespace of
// their own on lab0's segment) answer echo; the rest of lab0's and lab1's subnets is quiet
// (the camera side ignores echoes); this computer and loopback answer too, but are never asked.
#include "net/AddressProbe.h"

#include "tests/support/LabGuard.h"

#include <gtest/gtest.h>

#include <winsock2.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

using State = CAddressProbe::State;

std::uint32_t Ip(const std::string& dotted)
{
    return ::ntohl(::inet_addr(dotted.c_str()));
}

bool IsMacText(const std::string& text)
{
    if (text.size() != 17)
        return false;
    for (std::size_t i = 0; i < 17; ++i)
        if (i % 3 == 2 ? text[i] != ':' : !std::isxdigit(static_cast<unsigned char>(text[i])))
            return false;
    return true;
}

const char* Name(State state)
{
    return state == State::InUse ? "in use" : state == State::Free ? "free" : "not probed";
}

TEST(AddressProbeRule, AsksOnlyHostAddressesOfLocalSubnetsThatAreNotThisComputers)
{
    const std::vector<CAddressProbe::Subnet> subnets = {{Ip("192.168.1.20"), Ip("255.255.255.0")},
                                                        {Ip("10.0.0.5"), Ip("255.255.0.0")}};
    struct Case {
        const char* address;
        bool probed;
    };
    const Case cases[] = {
        {"192.168.1.21", true},   {"192.168.1.254", true},
        {"10.0.200.1", true},     {"192.168.1.20", false}, // this computer
        {"192.168.1.0", false},                            // the subnet itself
        {"192.168.1.255", false}, {"10.0.255.255", false}, // broadcast
        {"192.168.2.21", false},  {"10.1.0.1", false},     // beyond a router
        {"127.0.0.1", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CAddressProbe::IsProbeable(Ip(c.address), subnets), c.probed) << c.address;
    EXPECT_FALSE(CAddressProbe::IsProbeable(Ip("192.168.1.21"), {})) << "no subnet known: nothing is asked";
}

class AddressProbeLab : public testing::Test {
  protected:
    void SetUp() override
    {
        RequireLabNetwork();
        m_others = LabOtherDevices();
        ASSERT_GE(m_others.size(), 2u) << "LARKVANE_LAB_OTHER_DEVICES is not set: run inside the lab";
    }
    std::vector<std::string> m_others;
};

TEST_F(AddressProbeLab, AnOtherDeviceIsInUseWithItsMacAQuietAddressFreeAndTheRestNotAsked)
{
    struct Case {
        std::string address;
        State expected;
        const char* why;
    };
    const std::vector<Case> cases = {
        {m_others[0], State::InUse, "another device"},
        {m_others[1], State::InUse, "another device"},
        {"198.18.1.70", State::Free, "a quiet address of lab0's subnet"},
        {"198.18.2.77", State::Free, "a quiet address of lab1's subnet"},
        {"198.18.1.10", State::NotProbed, "this computer (it would answer)"},
        {"127.0.0.1", State::NotProbed, "loopback, in no subnet (it would answer)"},
        {"198.18.16.5", State::NotProbed, "beyond the gateway"},
        {"198.18.1.255", State::NotProbed, "lab0's broadcast"},
    };
    std::vector<std::uint32_t> addresses;
    for (const Case& c : cases)
        addresses.push_back(Ip(c.address));
    const std::vector<CAddressProbe::Answer> answers = CAddressProbe::Run(addresses, nullptr);
    ASSERT_EQ(answers.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(answers[i].address, addresses[i]);
        EXPECT_STREQ(Name(answers[i].state), Name(cases[i].expected))
            << cases[i].address << ": " << cases[i].why;
        if (cases[i].expected == State::InUse)
            EXPECT_TRUE(IsMacText(answers[i].mac)) << cases[i].address << " MAC \"" << answers[i].mac << "\"";
        else
            EXPECT_EQ(answers[i].mac, "") << cases[i].address;
    }
    // The other devices share one interface, so one MAC.
    EXPECT_EQ(answers[0].mac, answers[1].mac);
}

// Many addresses are asked at once: 120 quiet ones, each waiting out the echo time-out, take
// about one time-out, not 120. The bound only tells the two apart.
TEST_F(AddressProbeLab, ManyAddressesAreAskedAtOnce)
{
    std::vector<std::uint32_t> addresses;
    for (int i = 64; i < 124; ++i)
        addresses.push_back(Ip("198.18.1." + std::to_string(i)));
    for (int i = 11; i < 71; ++i) // above this computer's 198.18.2.10
        addresses.push_back(Ip("198.18.2." + std::to_string(i)));
    addresses.push_back(Ip(m_others[2 % m_others.size()]));
    const auto start = std::chrono::steady_clock::now();
    const std::vector<CAddressProbe::Answer> answers = CAddressProbe::Run(addresses, nullptr);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(answers.size(), addresses.size());
    int counts[3] = {};
    for (const CAddressProbe::Answer& answer : answers)
        ++counts[static_cast<int>(answer.state)];
    EXPECT_EQ(counts[static_cast<int>(State::InUse)], 1);
    EXPECT_EQ(counts[static_cast<int>(State::Free)], 120);
    EXPECT_EQ(answers.back().state, State::InUse);
    EXPECT_LT(elapsed, std::chrono::milliseconds(10 * CAddressProbe::ECHO_TIMEOUT_MS));
}

TEST_F(AddressProbeLab, TheWorkerPostsItsAnswersAndAProbeReplacedOrCancelledNeverReports)
{
    const HWND hWnd =
        ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(hWnd, nullptr);
    constexpr UINT PROBED = WM_APP + 7;
    auto posted = [hWnd](DWORD nMs) {
        std::vector<WPARAM> ids;
        const DWORD dwEnd = ::GetTickCount() + nMs;
        MSG msg;
        while (static_cast<LONG>(::GetTickCount() - dwEnd) < 0) {
            while (::PeekMessageW(&msg, hWnd, PROBED, PROBED, PM_REMOVE))
                ids.push_back(msg.wParam);
            ::Sleep(10);
        }
        return ids;
    };
    {
        CAddressProbe probe;
        const unsigned first = probe.Start({Ip("198.18.1.71")}, hWnd, PROBED);
        const unsigned second = probe.Start({Ip(m_others[0]), Ip("198.18.1.72")}, hWnd, PROBED);
        EXPECT_NE(first, second);
        EXPECT_TRUE(probe.Wait(second, 5000));
        EXPECT_FALSE(probe.IsRunning());
        std::vector<CAddressProbe::Answer> answers;
        EXPECT_FALSE(probe.Result(first, answers)) << "a replaced probe has no answers";
        ASSERT_TRUE(probe.Result(second, answers));
        ASSERT_EQ(answers.size(), 2u);
        EXPECT_EQ(answers[0].state, State::InUse);
        EXPECT_EQ(answers[1].state, State::Free);
        EXPECT_EQ(posted(200), std::vector<WPARAM>{second});

        // Destroyed while it waits for quiet addresses: it returns without reporting.
        auto pProbe = std::make_unique<CAddressProbe>();
        pProbe->Start({Ip("198.18.1.73"), Ip("198.18.1.74")}, hWnd, PROBED);
        ::Sleep(50);
        EXPECT_TRUE(pProbe->IsRunning());
        pProbe.reset();
        EXPECT_TRUE(posted(CAddressProbe::ECHO_TIMEOUT_MS + 200).empty());
    }
    ::DestroyWindow(hWnd);
}

} // namespace
