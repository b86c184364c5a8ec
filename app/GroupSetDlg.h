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
//
// The copies follow the cameras: after each send a camera's copy holds what was sent, and a reply
// the main window lists later (CCameraReportObserver) replaces it, so a second pass that keeps
// addresses or names keeps the ones the cameras have now, not the ones from before the first.
// A kept name goes out as the bytes the camera sent (wireName), never through the code page.
//
// Closing begins when the window is destroyed. Each send is made inside the pass's call on the
// window thread, after it has checked for closing, so nothing leaves once closing has begun.

#include "app/CameraReportObserver.h"
#include "app/ChangeCheck.h"
#include "app/ChangeLog.h"
#include "app/InUseMarks.h"
#include "controls/MyListCtrlIds.h"
#include "dialogkit/MyDialog.h"
#include "protocol/WireMessage.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

class CMyListCtrl;
class CSitePlan;

class CGroupSetDlg : public CMyDialog, public CCameraReportObserver {
  public:
    // The list control's click command (its default id).
    static constexpr int LIST_CLICK_CMD = LIST_CMD_CLICK;
    static constexpr DWORD SEND_PAUSE_MS = 200;
    // Tests of large sites shorten the pause between cameras (with the check's delays).
    void SetSendPause(DWORD ms) { m_dwSendPause.store(ms); }
    // The column that shows whether each camera took what a pass sent it.
    static constexpr int STATUS_COLUMN = 4;

    explicit CGroupSetDlg(CWnd* pParent = nullptr);
    ~CGroupSetDlg() override;

    // Sorts the array by idSerial (case-insensitive exchange sort; it is reordered), copies the
    // records and lists them, all checked. A camera a pass has just sent to keeps the copy of what
    // was sent until its change check listens for replies. Runs on the user-interface thread and sends no
    // message to another thread, so the caller may hold a lock that workers take.
    void LoadDevices(std::vector<const DeviceRecord*>& records);
    // Addresses of listed devices this dialog does not list (other makers'): a computed address
    // equal to one of them is marked as taken.
    void SetUnlistedAddresses(std::vector<std::uint32_t> addresses)
    {
        m_unlistedAddresses = std::move(addresses);
    }

    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void ApplyLanguage(int nLangId) override;
    int ThreadProc(int nIndex) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // CCameraReportObserver (the main window's thread): a listed reply replaces the copy of its
    // camera, unless it may have left the camera before it applied what a pass sent it.
    void OnCamerasCleared() override {}
    void OnCameraReported(const DeviceRecord& record) override;

    CMyListCtrl* GetList() const { return m_pList; }
    // The dialog's copy of a camera's record (idSerial, letter case ignored), or null.
    const DeviceRecord* FindRecord(const std::string& idSerial) const;
    // Computed addresses that "Apply" found taken, at its last press.
    int GetAddressConflicts() const { return m_nAddressConflicts; }
    static constexpr COLORREF CONFLICT_TEXT = RGB(220, 0, 0);
    // Cells that "Import Plan..." filled (GroupSetDlgPlan.cpp).
    static constexpr COLORREF PLAN_TEXT = RGB(0, 0, 220);
    // The file boxes of "Import Plan..." (bSave false) and "Export Results..." (true); tests
    // replace them. An empty path: cancelled.
    void SetFileChooser(std::function<std::wstring(bool bSave)> chooser)
    {
        m_chooseFile = std::move(chooser);
    }
    // Every change a pass sent, with its status: the change log's file and the results export.
    CChangeLog& GetChangeLog() { return m_log; }
    // The results as "Export Results..." writes them (UTF-8 with a byte-order mark).
    std::string ResultsCsv(int nLangId) const;
    // Checks that the cameras took what the passes sent; the status column shows the results.
    CChangeCheck& GetChangeCheck() { return m_check; }
    // Computed or edited addresses that another device answers on (CInUseMarks).
    CInUseMarks& GetInUseMarks() { return m_marks; }
    // Worker passes finished since construction, and the messages the last one sent.
    int GetFinishedPasses() const { return m_nFinishedPasses.load(); }
    int GetLastSentCount() const { return m_nLastSent.load(); }

  private:
    // What one pass sends: the checked rows with their records and cells, as they were when the
    // pass began.
    struct PassRow {
        DeviceRecord record{};
        std::uint32_t ip = 0, gateway = 0; // parsed cells (only when addresses are sent)
        std::wstring name;
    };
    struct PassSnapshot {
        bool bKeepIp = false;
        bool bKeepName = false;
        int nLangId = 0;
        std::wstring refusal; // a cell that is no address: the pass sends nothing and says this
        std::vector<PassRow> rows;
    };

    // A pass sent to this camera, and a record of it stamped with scan `nScanId` answered no
    // request that left after the camera's settle delay: it may be from before the change.
    bool AwaitsApply(const std::string& idSerial, std::uint32_t nScanId) const;
    void ApplyToList();
    // Marks the computed addresses (rows filled by this "Apply") that are taken, and returns how
    // many.
    int MarkAddressConflicts(const std::vector<bool>& filled, const std::set<std::uint32_t>& gateways);
    void WarnConflicts(int conflicts);
    // "Import Plan..." and "Export Results..." (GroupSetDlgPlan.cpp).
    void ImportPlan();
    void FillFromPlan(const CSitePlan& plan);
    void ExportResults();
    std::wstring ChooseFile(bool bSave);
    // Puts the list's own text colour back in the cells a plan filled.
    void ClearPlanColours();
    // A cell the operator edited away from the plan's value is no longer the plan's.
    void OnCellEdited(int nRow, int nCol);
    // A warning box of the window thread, owned by the dialog.
    void Warn(const std::wstring& text);
    // A label of this dialog as a field's name, in the dialog's language.
    std::wstring LabelName(int nLabelID) const;
    // Writes the status cell of every row of a camera (entry null: all rows), in a language.
    void ShowCheckStatus(const CChangeCheck::Entry* pEntry, int nLangId);
    void RunApplyPass();
    // Asks the network about the addresses a pass is about to send (none that a listed camera
    // holds), marks those in use and asks the operator; false: send nothing.
    bool ConfirmInUse(const PassSnapshot& snapshot, const std::set<std::uint32_t>& held);
    PassSnapshot TakeSnapshot() const;
    void ShowProgress(int nSent, int nTotal);
    void EndProgress();
    // Sends one pass message unless closing has begun, then on the window thread shows the
    // progress, starts its check and makes the camera's copy hold what was sent. False when
    // nothing was sent or the window is gone.
    bool SendPassMessage(const WireMessage& message, unsigned fields, int nSent, int nTotal);
    // The worker's boxes (completion, refusal); not shown once closing has begun.
    // Returns the box's answer (0 when none was shown).
    int ShowWorkerBox(const std::wstring& text, const wchar_t* pszCaption, UINT uIcon = MB_ICONINFORMATION);
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
    std::mutex m_sendLock; // closing and each send of a pass
    std::atomic<DWORD> m_dwSendPause{SEND_PAUSE_MS};
    int m_nAddressConflicts = 0;
    std::vector<std::uint32_t> m_unlistedAddresses;
    std::atomic<HWND> m_hWorkerBox{nullptr};
    CChangeCheck m_check; // user-interface thread only
    CChangeLog m_log;     // user-interface thread only
    std::function<std::wstring(bool)> m_chooseFile;
    std::map<std::pair<int, int>, std::wstring> m_planned; // (row, column): what the plan filled in
    CInUseMarks m_marks;
};
