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

// At its window's last message (WM_NCDESTROY) the window thread lets a worker write a text and
// waits for that call to come back, as a thread that joins its workers when the window goes.
class CLastMessageDialog : public CTestDialog {
  public:
    CLastMessageDialog() : CTestDialog(IDD_MYDLG_PLAIN) {}
    ~CLastMessageDialog() override
    {
        StopAllThreads();
        ::CloseHandle(m_hGo);
        ::CloseHandle(m_hDone);
    }

    DWORD m_dwWaitAtLastMessage = WAIT_FAILED;

    int ThreadProc(int) override
    {
        if (::WaitForSingleObject(m_hGo, 50) == WAIT_OBJECT_0) {
            SetItemText(IDC_MYDLG_STATIC, L"late");
            ::SetEvent(m_hDone);
        }
        return 0;
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        const LRESULT result = CTestDialog::WindowProc(message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            ::SetEvent(m_hGo);
            m_dwWaitAtLastMessage = ::WaitForSingleObject(m_hDone, 2000);
        }
        return result;
    }

  private:
    HANDLE m_hGo = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE m_hDone = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
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
        // Worker 0 is inside its first pass, waiting for this thread (on a busy machine it may
        // need longer than the 20 ms to get there).
        for (const DWORD start = ::GetTickCount();
             pDlg->m_nPasses.load() < 1 && ::GetTickCount() - start < 5000;)
            ::Sleep(2);
        EXPECT_GE(pDlg->m_nPasses.load(), 1);
        pDlg.reset();
    }
}

TEST_F(CDialogStressTest, WorkersFindNoWindowOnceItsLastMessageHasBegun)
{
    // A worker that still found the window there would send its call to a thread that is waiting
    // for it, and stay blocked until the window is gone.
    auto pDlg = std::make_unique<CLastMessageDialog>();
    ASSERT_TRUE(pDlg->CreateModeless(nullptr));
    ASSERT_EQ(pDlg->StartThread(0), 1);
    ::DestroyWindow(pDlg->m_hWnd);
    EXPECT_EQ(pDlg->m_dwWaitAtLastMessage, static_cast<DWORD>(WAIT_OBJECT_0));
    pDlg.reset();
}
