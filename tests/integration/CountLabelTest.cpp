// The main window's count label when the camera table is full: replies of more distinct cameras
// than the table holds reach the tool, the rows stop at the cap, and the count says that the
// list is full, in the window's language.
#include "app/MainDlg.h"
#include "app/resource.h"
#include "protocol/DeviceTable.h"
#include "tests/net/SocketTestKit.h"
#include "tests/support/CamSimClient.h"
#include "tests/support/LabGuard.h"
#include "tests/support/TestPump.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// Replies of distinct cameras with distinct addresses, as a flood of forged ones would bring
// them, sent to the tool's reply port over the loopback.
class CReplySender {
  public:
    CReplySender() : m_socket(BoundUdp("127.0.0.1", 0)) {}
    bool IsOpen() const { return m_socket.Get() != GENSOCK_INVALID; }
    void Send(int nFirst, int nCount, const char* pszName = "Cam")
    {
        const sockaddr_in to = MakeAddress("127.0.0.1", REPLY_PORT);
        for (int i = nFirst; i < nFirst + nCount; ++i) {
            WireMessage reply{};
            reply.type = MSG_INFO;
            char text[20];
            std::snprintf(text, sizeof text, "d%011d", i);
            WriteTextField(reply.idSerial, text);
            std::snprintf(text, sizeof text, "198.18.%d.%d", 16 + i / 250, 2 + i % 250);
            WriteTextField(reply.lanIp, text);
            WriteTextField(reply.name, pszName);
            sendto(m_socket.Raw(), reinterpret_cast<const char*>(&reply), sizeof reply, 0,
                   reinterpret_cast<const sockaddr*>(&to), sizeof to);
        }
    }

  private:
    CTestSocket m_socket;
};

std::wstring CountText(HWND hDlg)
{
    wchar_t text[64] = {};
    ::GetDlgItemTextW(hDlg, IDC_MAIN_COUNT, text, 64);
    return text;
}

TEST(CountLabelTest, SaysTheListIsFullOnlyAtTheCap)
{
    RequireLabNetwork();
    CCamSimClient sim;
    ASSERT_TRUE(sim.Connect());
    ASSERT_EQ(sim.Command("fleet 0"), "ok 0"); // only the replies sent here are listed
    CMyDialog::SetGlobalLanguage(0);
    CMainDlg dlg;
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    lvtest::PumpFor(500); // start-up's rescan has cleared the list
    CReplySender sender;
    ASSERT_TRUE(sender.IsOpen());
    auto rows = [&dlg] { return dlg.GetCameraRows().GetRowCount(); };
    const HWND hDlg = dlg.GetSafeHwnd();

    // In steps the socket's buffer holds, each listed before the next is sent.
    constexpr int STEP = 500;
    const int below = CDeviceTable::MAX_CAMERAS - 1;
    for (int first = 0; first < below; first += STEP) {
        const int count = std::min(STEP, below - first);
        sender.Send(first, count);
        ASSERT_TRUE(lvtest::PumpUntil([&] { return rows() >= first + count; }, 10000))
            << rows() << " rows after " << first + count << " replies";
    }
    lvtest::PumpUntil([&] { return CountText(hDlg) == L"19999"; }, 3000);
    EXPECT_EQ(CountText(hDlg), L"19999");

    // The last camera that fits, and one more that does not.
    sender.Send(below, 2);
    lvtest::PumpUntil([&] { return CountText(hDlg) != L"19999"; }, 5000);
    lvtest::PumpFor(300);
    EXPECT_EQ(rows(), CDeviceTable::MAX_CAMERAS);
    EXPECT_EQ(CountText(hDlg), L"20000 (列表已满)");

    // In English, written again when a listed camera answers once more.
    CMyDialog::SetGlobalLanguage(1);
    sender.Send(0, 1, "Again");
    lvtest::PumpUntil([&] { return CountText(hDlg) == L"20000 (list full)"; }, 5000);
    EXPECT_EQ(CountText(hDlg), L"20000 (list full)");
    EXPECT_EQ(rows(), CDeviceTable::MAX_CAMERAS);

    CMyDialog::SetGlobalLanguage(0);
    dlg.DestroyWindow();
    sim.Command("reset");
}

} // namespace
