#pragma once
// CInUseMarks: the group dialog's marks of addresses that another device already answers on.
//
// The tool lists only cameras, but a printer or a recorder may hold an address that "Apply"
// computes. So the computed addresses (and any address cell the operator edits) are asked on the
// network (CAddressProbe) on the probe's own worker; the answer comes back as a posted message,
// and a row whose address is in use gets its address cell in red and "已被其他设备占用" /
// "In use by another device" (with the device's MAC address when the system knows it) in the
// status column, until a pass sends to its camera or its address cell is edited.
//
// An address that a listed camera holds now is never asked: the camera itself would answer, and
// the dialog's own collision marks cover it. The apply worker asks what no probe has answered in
// the last half minute before it sends (Settle), so a pass never starts before the answers or
// their time-out.
//
// Threading: everything but Settle and Close runs on the window thread. Settle runs on a worker
// and only touches the answers, under their own lock.

#include "net/AddressProbe.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class CMyListCtrl;
struct DeviceRecord;

class CInUseMarks {
  public:
    // Posted to the dialog when a probe ends: wParam = the probe's id.
    static constexpr UINT WM_PROBED = WM_APP + 0x2A1;
    // An answer older than this is asked again before a pass.
    static constexpr DWORD ANSWER_LIFE_MS = 30000;

    CInUseMarks();
    ~CInUseMarks();
    CInUseMarks(const CInUseMarks&) = delete;
    CInUseMarks& operator=(const CInUseMarks&) = delete;

    // The status text of an address in use (0 Chinese, anything else English).
    static std::wstring InUseText(const std::string& mac, int nLangId);

    void Attach(HWND hDlg, CMyListCtrl* pList, int nAddressCol, int nStatusCol, COLORREF clrMark);
    // The rows were rebuilt: every mark and every probe under way is forgotten.
    void Reset();
    // The addresses the listed cameras hold now (their records').
    std::set<std::uint32_t> HeldAddresses() const;
    // Asks the address cells of these rows (their marks go until the answers come).
    void ProbeRows(const std::vector<int>& rows);
    // The dialog's WM_PROBED.
    void OnProbed(unsigned id, int nLangId);
    // After an in-place edit: rows whose address cell changed lose their mark and are asked again.
    void OnCellsEdited();
    // A pass sent to this record's camera: its rows' marks go (the status column is the pass's).
    void ForgetRecord(const DeviceRecord* pRecord);
    // Marks the rows whose address cell holds one of these addresses in use.
    void MarkAddresses(const std::map<std::uint32_t, CAddressProbe::Answer>& inUse, int nLangId);
    // Colours the marked rows' address cells again (after the dialog's collision marks have
    // coloured every row).
    void Repaint();
    // Rewrites the marked rows' status texts in a language.
    void ApplyLanguage(int nLangId);
    bool IsMarked(int nRow) const { return m_marks.count(nRow) > 0; }
    int MarkedCount() const { return static_cast<int>(m_marks.size()); }
    // Whether a probe started by the window thread has not ended yet.
    bool IsProbing() { return m_probe.IsRunning(); }

    // The apply worker, before a pass: waits for a probe under way, asks what is not known (or
    // known for too long), and returns those of `addresses` in use. Ends early once closing.
    std::map<std::uint32_t, CAddressProbe::Answer> Settle(const std::vector<std::uint32_t>& addresses);
    // Closing: a probe or Settle under way ends at once, without answers.
    void Close();

  private:
    struct Mark {
        std::wstring cell; // the address cell that was found in use
        std::string mac;
        std::wstring priorStatus; // what the status column showed before
    };
    struct Known {
        CAddressProbe::Answer answer;
        DWORD at = 0;
    };
    void Unmark(int nRow, bool bRestoreStatus);
    void SetMark(int nRow, const std::string& mac, int nLangId);
    void NoteCells();
    void Remember(const std::vector<CAddressProbe::Answer>& answers);

    HWND m_hDlg = nullptr;
    CMyListCtrl* m_pList = nullptr;
    int m_nAddressCol = 1, m_nStatusCol = 4;
    COLORREF m_clrMark = RGB(220, 0, 0);
    std::map<int, Mark> m_marks;         // by row
    std::vector<std::wstring> m_cells;   // each row's address cell when last looked at
    std::map<int, std::wstring> m_asked; // rows of the probe under way, with their cells
    std::atomic<unsigned> m_nProbeId{0}; // the window thread's probe under way (0: none)
    mutable std::mutex m_knownLock;
    std::map<std::uint32_t, Known> m_known; // answers, under m_knownLock
    CUniqueKernelHandle m_hClosing;
    CAddressProbe m_probe;
};
