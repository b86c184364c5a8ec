#pragma once
// CGroupSetDlg: re-addresses and renames a group of cameras. It lists the cameras with check
// boxes, fills in a run of addresses, one gateway and numbered names ("Apply"), lets the operator
// correct single cells in place, and its worker (index 0) sends one set-parameters message per
// checked camera, 200 ms apart, showing its progress in the title.
//
// The rows refer to the dialog's own copies of the records (LoadDevices copies them), so a rescan
// that frees the camera table's records never leaves a row pointing at freed memory. A pass sends
// what the operator saw when pressing "Set for All checked": it starts by copying the checked
// rows (records and cells) and the "Not modify" boxes in one call run on the user-interface
// thread, so an edit, an "Apply" or a new LoadDevices during the pass changes nothing it sends.

#include "app/ChangeCheck.h"
#include "controls/MyListCtrlIds.h"
#include "dialogkit/MyDialog.h"
#include "protocol/WireMessage.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

class CMyListCtrl;

class CGroupSetDlg : public CMyDialog {
  public:
    // The list control's click command (its default id).
    static constexpr int LIST_CLICK_CMD = LIST_CMD_CLICK;
    static constexpr DWORD SEND_PAUSE_MS = 200;
    // The column that shows whether each camera took what a pass sent it.
    static constexpr int STATUS_COLUMN = 4;

    explicit CGroupSetDlg(CWnd* pParent = nullptr);
    ~CGroupSetDlg() override;

    // Sorts the array by idSerial (case-insensitive exchange sort; it is reordered), copies the
    // records and lists them, all checked. Runs on the user-interface thread and sends no message
    // to another thread, so the caller may hold a lock that workers take.
    void LoadDevices(std::vector<const DeviceRecord*>& records);

    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void ApplyLanguage(int nLangId) override;
    int ThreadProc(int nIndex) override;

    CMyListCtrl* GetList() const { return m_pList; }
    // Computed addresses that "Apply" found taken, at its last press.
    int GetAddressConflicts() const { return m_nAddressConflicts; }
    static constexpr COLORREF CONFLICT_TEXT = RGB(220, 0, 0);
    // Checks that the cameras took what the passes sent; the status column shows the results.
    CChangeCheck& GetChangeCheck() { return m_check; }
    // Worker passes finished since construction, and the messages the last one sent.
    int GetFinishedPasses() const { return m_nFinishedPasses.load(); }
    int GetLastSentCount() const { return m_nLastSent.load(); }

  private:
    // What one pass sends: the checked rows with their records and cells, as they were when the
    // pass began.
    struct PassRow {
        DeviceRecord record{};
        std::wstring ip, gateway, name;
    };
    struct PassSnapshot {
        bool bKeepIp = false;
        bool bKeepName = false;
        std::vector<PassRow> rows;
    };

    void ApplyToList();
    // Marks the computed addresses (rows filled by this "Apply") that are taken, and says how many.
    void MarkAddressConflicts(const std::vector<bool>& filled, const std::wstring& gateway);
    // Writes the status cell of every row of a camera (entry null: all rows), in a language.
    void ShowCheckStatus(const CChangeCheck::Entry* pEntry, int nLangId);
    void RunApplyPass();
    PassSnapshot TakeSnapshot() const;
    void ShowProgress(int nSent, int nTotal);
    void EndProgress();
    // The worker's completion box; not shown once closing has begun.
    void ShowCompletionBox(const std::wstring& text, const wchar_t* pszCaption);
    // Closes a completion box that the worker shows (or is about to show), so that stopping the
    // worker never waits for the operator.
    void CloseWorkerBoxes();

    CMyListCtrl* m_pList = nullptr;
    std::vector<std::unique_ptr<DeviceRecord>> m_records; // the rows' item data point here
    std::wstring m_strTitle;                              // the title without progress
    bool m_bInPass = false;                               // user-interface thread only
    std::atomic<DWORD> m_dwWorkerThreadId{0};
    std::atomic<int> m_nFinishedPasses{0};
    std::atomic<int> m_nLastSent{0};
    std::atomic<bool> m_bClosing{false};
    int m_nAddressConflicts = 0;
    std::atomic<HWND> m_hWorkerBox{nullptr};
    CChangeCheck m_check; // user-interface thread only
};
