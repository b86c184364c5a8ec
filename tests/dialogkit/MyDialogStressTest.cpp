// Dialogs destroyed while their workers are inside a pass: no crash, no hang, nothing left over.

#include "MyDialogTestSupport.h"

#include <atomic>
#include <memory>

namespace {

// Workers that keep writing texts and posting deferred texts to their own dialog.
class CBusyDialog : public CTestDialog {
  public:
    CBusyDialog() : CTestDialog(IDD_MYDLG_PLAIN) {}
    ~CBusyDialog() override { StopAllThreads(); }

    std::atomic<int> m_nPasses{0};

    int ThreadProc(int nIndex) override
    {
        const int n = ++m_nPasses;
        switch (nIndex) {
        case 0:
            SetItemInt(IDC_MYDLG_STATIC, n);
            break;
        case 1:
            PostItemText(IDC_MYDLG_EDIT, std::to_wstring(n).c_str());
            break;
        default:
            (void)FindItem(IDC_MYDLG_EDIT, TRUE);
            SetItemText(IDC_MYDLG_EDIT, L"third");
            break;
        }
        return 0;
    }
};

} // namespace

class CDialogStressTest : public CDialogTest {};

TEST_F(CDialogStressTest, DialogsWithBusyWorkersAreDestroyedManyTimes)
{
    const size_t liveBefore = CMyDialog::GetLiveDialogs().size();
    int nTotalPasses = 0;
    for (int round = 0; round < 40; ++round) {
        auto pDlg = std::make_unique<CBusyDialog>();
        ASSERT_TRUE(pDlg->CreateModeless(nullptr));
        for (int i = 0; i < 3; ++i)
            ASSERT_EQ(pDlg->StartThread(i), 1);
        ASSERT_TRUE(PumpUntil([&] { return pDlg->m_nPasses.load() >= 10; }));
        switch (round % 3) {
        case 0: // straight away, workers running
            break;
        case 1: // the window goes first, the workers keep calling into a dialog without one
            ::DestroyWindow(pDlg->m_hWnd);
            ::Sleep(5);
            break;
        default: // an embedded child goes with its parent
            ASSERT_NE(pDlg->EmbedChildDialog(IDD_MYDLG_CHILD, TRUE), nullptr);
            break;
        }
        nTotalPasses += pDlg->m_nPasses.load();
        pDlg.reset();
        Pump();
    }
    EXPECT_GT(nTotalPasses, 40 * 10 - 1);
    EXPECT_EQ(CMyDialog::GetLiveDialogs().size(), liveBefore);
}

TEST_F(CDialogStressTest, AWorkerBlockedOnTheUserInterfaceThreadDoesNotHangTheDestructor)
{
    // The destructor joins the workers while a pass waits in a synchronous call to the dialog.
    for (int round = 0; round < 10; ++round) {
        auto pDlg = std::make_unique<CBusyDialog>();
        ASSERT_TRUE(pDlg->CreateModeless(nullptr));
        ASSERT_EQ(pDlg->StartThread(0), 1);
        ASSERT_EQ(pDlg->StartThread(2), 1);
        // No pumping: the workers are stuck in their sent calls when the destructor runs.
        ::Sleep(20);
        // Worker 0 is inside its first pass, waiting for this thread.
        EXPECT_GE(pDlg->m_nPasses.load(), 1);
        pDlg.reset();
    }
}
