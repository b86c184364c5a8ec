#include "app/GroupSetDlg.h"

#include "app/SettingsFields.h"
#include "app/SettingsText.h"
#include "app/resource.h"
#include "base/Ipv4Text.h"
#include "base/TextConvert.h"
#include "controls/MyListCtrl.h"
#include "net/SocketHelpers.h"
#include "platform/DpiScale.h"

#include <winsock2.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <set>

namespace {

// In the order ApplyLanguage writes them.
const SettingsItemText ITEM_TEXTS[] = {
    {IDC_GRP_START_IP_LABEL, L"起始IP:", L"IP From:"},
    {IDC_GRP_GATEWAY_LABEL, L"网关:", L"Gate Way:"},
    {IDC_GRP_NAME_LABEL, L"名称:", L"Name:"},
    {IDC_GRP_STEP_LABEL, L"步长:", L"Step:"},
    {IDC_GRP_ONLY_CHECKED, L"仅应用到√项(&O)", L"&Only checked Item(s)"},
    {IDC_GRP_APPLY, L"应用(&P)", L"A&pply For"},
    {IDC_GRP_CHECK_ALL, L"全(√)(&A)", L"Check &All"},
    {IDC_GRP_UNCHECK_ALL, L"全不(√)(&N)", L"U&ncheck All"},
    {IDC_GRP_REVERSE_CHECK, L"反(√)(&V)", L"Re&verse Check"},
    {IDC_GRP_CHECK_SELECTED, L"√选中项(&C)", L"&Check Selected"},
    {IDC_GRP_UNCHECK_SELECTED, L"反√选中项(&U)", L"&Uncheck Selected"},
    {IDC_GRP_KEEP_IP, L"不修改IP(&I)", L"Not modify &IP"},
    {IDC_GRP_KEEP_NAME, L"不修改名称(&M)", L"Not &modify Name"},
    {IDC_GRP_SEND, L"执行批量设置(&S)", L"&Set for All checked"},
    {IDOK, L"返回(&R)", L"&Return"},
    {IDC_GRP_IMPORT_PLAN, L"导入计划(&L) ...", L"Import P&lan..."},
    {IDC_GRP_EXPORT_RESULTS, L"导出结果(&E) ...", L"&Export Results..."},
};

struct Column {
    int nWidth;
    const wchar_t* initial;
    const wchar_t* chinese;
    const wchar_t* english;
};

const Column COLUMNS[] = {
    {140, L"设备ID", L"设备ID", L"ID Serial"}, {100, L"IP地址", L"IP地址", L"IP Address"},
    {100, L"网关", L"网关", L"GateWay"},       {130, L"名称", L"设备名称", L"Name"},
    {120, L"状态", L"状态", L"Status"},
};

const wchar_t* TitleFor(int nLangId)
{
    return nLangId == 0 ? L"批量设置" : L"Modify by Group";
}

std::wstring Format(const wchar_t* format, int a, int b = 0, int c = 0, int d = 0)
{
    wchar_t text[256];
    std::swprintf(text, 256, format, a, b, c, d);
    return text;
}

// idSerial order without regard to ASCII letter case; a missing record sorts last.
bool SortsAfter(const DeviceRecord* a, const DeviceRecord* b)
{
    if (!a || !b)
        return !a && b;
    const std::string x = ReadTextField(a->message.idSerial), y = ReadTextField(b->message.idSerial);
    for (std::size_t i = 0; i < x.size() && i < y.size(); ++i) {
        const int cx = static_cast<unsigned char>(x[i]), cy = static_cast<unsigned char>(y[i]);
        const int lx = cx >= 'A' && cx <= 'Z' ? cx + 32 : cx, ly = cy >= 'A' && cy <= 'Z' ? cy + 32 : cy;
        if (lx != ly)
            return lx > ly;
    }
    return x.size() > y.size();
}

} // namespace

CGroupSetDlg::CGroupSetDlg(CWnd* pParent) : CMyDialog(IDD_GROUPSET_DIALOG, pParent) {}

CGroupSetDlg::~CGroupSetDlg()
{
    CloseWorkerBoxes();
    StopAllThreads();
}

// ---- Window ---------------------------------------------------------------------------------------

LRESULT CGroupSetDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    // Closing begins with the window, not with the object: the worker sends nothing more.
    if (message == WM_DESTROY)
        CloseWorkerBoxes();
    if (message == CInUseMarks::WM_PROBED) {
        m_marks.OnProbed(static_cast<unsigned>(wParam), GetLangId());
        return 0;
    }
    return CMyDialog::WindowProc(message, wParam, lParam);
}

BOOL CGroupSetDlg::OnInitDialog()
{
    CMyDialog::OnInitDialog();
    SetItemInt(IDC_GRP_STEP, 1);
    m_pList = GetListCtrl(IDC_GRP_LIST);
    if (m_pList) {
        const int dpi = DpiForWindow(m_hWnd);
        for (int i = 0; i < static_cast<int>(std::size(COLUMNS)); ++i)
            m_pList->InsertColumn(i, COLUMNS[i].initial, LVCFMT_LEFT, ScaleForDpi(COLUMNS[i].nWidth, dpi));
        m_pList->SetCheckBoxImages(false);
        m_pList->SetCheckBoxes(true);
        m_pList->SetFocusRect(true);
    }
    CDialogFrame::FitToWorkArea(m_hWnd, m_pList ? m_pList->m_hWnd : nullptr);
    m_marks.Attach(m_hWnd, m_pList, 1, STATUS_COLUMN, CONFLICT_TEXT);
    // The follow-up requests are the owner's (the main window's), and keep its list.
    m_check.SetRescan([this] {
        if (HWND hOwner = ::GetWindow(m_hWnd, GW_OWNER))
            ::SendMessageW(hOwner, WM_COMMAND, MAKEWPARAM(IDC_MAIN_REFRESH, 0), 0);
    });
    m_check.SetOnChange([this](const CChangeCheck::Entry& entry) {
        m_log.StatusChanged(entry, GetLangId());
        ShowCheckStatus(&entry, GetLangId());
    });
    StartThread(0);
    return TRUE;
}

void CGroupSetDlg::ApplyLanguage(int nLangId)
{
    ApplyItemTexts(*this, ITEM_TEXTS, nLangId);
    if (m_pList)
        for (int i = 0; i < static_cast<int>(std::size(COLUMNS)); ++i)
            m_pList->SetColumnText(i, nLangId == 0 ? COLUMNS[i].chinese : COLUMNS[i].english);
    ShowCheckStatus(nullptr, nLangId);
    m_marks.ApplyLanguage(nLangId);
    m_strTitle = TitleFor(nLangId);
    // A running pass shows its progress there; it puts the title back when it ends.
    if (m_hWnd && !m_bInPass)
        SetWindowText(m_strTitle.c_str());
}

BOOL CGroupSetDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (HIWORD(wParam) == 0) {
        switch (LOWORD(wParam)) {
        case LIST_CLICK_CMD:
            if (m_pList && reinterpret_cast<CMyListCtrl*>(lParam) == m_pList) {
                const int nCol = m_pList->GetCurCol();
                if (m_pList->GetCurRow() >= 0 && nCol >= 1 && nCol <= 3)
                    m_pList->EditCell();
            }
            break;
        case LIST_CMD_EDIT_DONE:
            if (m_pList && reinterpret_cast<CMyListCtrl*>(lParam) == m_pList) {
                OnCellEdited(m_pList->GetEditRow(), m_pList->GetEditCol());
                m_marks.OnCellsEdited();
            }
            break;
        case IDC_GRP_APPLY:
            ApplyToList();
            break;
        case IDC_GRP_CHECK_ALL:
        case IDC_GRP_UNCHECK_ALL:
        case IDC_GRP_REVERSE_CHECK:
            if (m_pList)
                m_pList->CheckAllRows(LOWORD(wParam) == IDC_GRP_CHECK_ALL     ? 1
                                      : LOWORD(wParam) == IDC_GRP_UNCHECK_ALL ? 2
                                                                              : 3);
            break;
        case IDC_GRP_CHECK_SELECTED:
        case IDC_GRP_UNCHECK_SELECTED:
            if (m_pList) {
                std::vector<int> rows;
                GetSelectedRows(m_pList->GetSafeHwnd(), rows, FALSE);
                for (int nRow : rows)
                    m_pList->SetCheck(nRow, LOWORD(wParam) == IDC_GRP_CHECK_SELECTED);
            }
            break;
        case IDC_GRP_SEND:
            SetSignal(0);
            break;
        case IDC_GRP_IMPORT_PLAN:
            ImportPlan();
            break;
        case IDC_GRP_EXPORT_RESULTS:
            ExportResults();
            break;
        default:
            break;
        }
    }
    return CMyDialog::OnCommand(wParam, lParam);
}

void CGroupSetDlg::LoadDevices(std::vector<const DeviceRecord*>& records)
{
    const std::size_t count = records.size();
    for (std::size_t i = 0; i + 1 < count; ++i)
        for (std::size_t j = i + 1; j < count; ++j)
            if (SortsAfter(records[i], records[j]))
                std::swap(records[i], records[j]);

    // A camera that a pass has just sent to keeps the copy of what was sent: the caller's record
    // may be from before the change (see OnCameraReported).
    std::vector<std::unique_ptr<DeviceRecord>> copies;
    std::vector<int> positions;
    for (std::size_t i = 0; i < count; ++i) {
        if (!records[i])
            continue;
        const std::string idSerial = ReadTextField(records[i]->message.idSerial);
        const DeviceRecord* pHeld =
            AwaitsApply(idSerial, records[i]->scanId) ? FindRecord(idSerial) : nullptr;
        copies.push_back(std::make_unique<DeviceRecord>(pHeld ? *pHeld : *records[i]));
        positions.push_back(static_cast<int>(i));
    }

    // Rows go before the copies they point to. An open cell editor writes back into its row when
    // it loses the focus, so it is closed while that row still exists.
    if (m_pList && m_pList->m_hWnd) {
        m_pList->HideEditors();
        m_pList->SendMessage(WM_SETREDRAW, FALSE);
        m_pList->DeleteAllItems();
    }
    m_records = std::move(copies);
    for (std::size_t k = 0; k < m_records.size() && m_pList && m_pList->m_hWnd; ++k) {
        const DeviceRecord* pCopy = m_records[k].get();
        const WireMessage& m = pCopy->message;
        const int nRow = m_pList->InsertItem(
            positions[k], (Format(L"%2d: ", positions[k]) + WideFieldText(m.idSerial)).c_str());
        if (nRow < 0)
            continue;
        m_pList->SetItemText(nRow, 1, WideFieldText(m.lanIp).c_str());
        m_pList->SetItemText(nRow, 2, WideFieldText(m.lanGateway).c_str());
        m_pList->SetItemText(nRow, 3, WideFieldText(m.name).c_str());
        if (const CChangeCheck::Entry* pEntry = m_check.Find(ReadTextField(m.idSerial)))
            m_pList->SetItemText(nRow, STATUS_COLUMN, CChangeCheck::StateText(*pEntry, GetLangId()).c_str());
        m_pList->SetItemData(nRow, reinterpret_cast<DWORD_PTR>(pCopy));
        m_pList->SetCheck(nRow, TRUE);
    }
    ClearPlanColours(); // the colours belong to the rows' places, not to the cameras
    // So do the marks of taken addresses ("Apply", the network's answers): a new list starts
    // unmarked, and its rows are asked again when addresses are given to them.
    for (int nRow = 0; m_pList && m_pList->m_hWnd && nRow < m_pList->GetItemCount(); ++nRow)
        if (m_pList->GetCellTextColor(nRow, 1) == CONFLICT_TEXT)
            m_pList->SetCellTextColor(nRow, 1, m_pList->GetCellTextColor(nRow, 0));
    if (m_pList && m_pList->m_hWnd) {
        m_pList->SendMessage(WM_SETREDRAW, TRUE);
        ::InvalidateRect(m_pList->m_hWnd, nullptr, TRUE);
    }
    m_marks.Reset();

    if (!m_records.empty() && positions.front() == 0) {
        const WireMessage& m = m_records.front()->message;
        const std::wstring ip = WideFieldText(m.lanIp);
        std::wstring gateway = ip;
        if (const std::size_t dot = gateway.rfind(L'.'); dot != std::wstring::npos)
            gateway = gateway.substr(0, dot + 1) + L"1";
        SetItemText(IDC_GRP_START_IP, ip.c_str());
        SetItemText(IDC_GRP_NAME, WideFieldText(m.name).c_str());
        SetItemText(IDC_GRP_GATEWAY, gateway.c_str());
    }
}

bool CGroupSetDlg::AwaitsApply(const std::string& idSerial, std::uint32_t nScanId) const
{
    // Until a reply answers a request that left after the camera's settle delay, it may have left
    // the camera before it applied what was sent.
    const CChangeCheck::Entry* pEntry = m_check.Find(idSerial);
    return pEntry && pEntry->IsOpen() && (!pEntry->listenScan || nScanId < pEntry->listenScan);
}

const DeviceRecord* CGroupSetDlg::FindRecord(const std::string& idSerial) const
{
    for (const auto& pRecord : m_records)
        if (SameCamera(ReadTextField(pRecord->message.idSerial), idSerial))
            return pRecord.get();
    return nullptr;
}

void CGroupSetDlg::OnCameraReported(const DeviceRecord& record)
{
    // The copy keeps what was sent until a reply can show what the camera made of it.
    if (AwaitsApply(ReadTextField(record.message.idSerial), record.scanId))
        return;
    for (const auto& pRecord : m_records)
        if (SameDevice(pRecord->message, record.message))
            *pRecord = record;
}

void CGroupSetDlg::ShowCheckStatus(const CChangeCheck::Entry* pEntry, int nLangId)
{
    if (!m_hWnd || !m_pList || !m_pList->m_hWnd)
        return;
    const int count = m_pList->GetItemCount();
    for (int nRow = 0; nRow < count; ++nRow) {
        const auto* pRecord = reinterpret_cast<const DeviceRecord*>(m_pList->GetItemData(nRow));
        if (!pRecord)
            continue;
        const std::string idSerial = ReadTextField(pRecord->message.idSerial);
        const CChangeCheck::Entry* pShown = pEntry ? pEntry : m_check.Find(idSerial);
        if (!pShown || !SameCamera(pShown->idSerial, idSerial))
            continue;
        m_pList->SetItemText(nRow, STATUS_COLUMN, CChangeCheck::StateText(*pShown, nLangId).c_str());
    }
}

std::wstring CGroupSetDlg::LabelName(int nLabelID) const
{
    for (const SettingsItemText& item : ITEM_TEXTS)
        if (item.nID == nLabelID)
            return FieldName(GetLangId() == 0 ? item.chinese : item.english);
    return {};
}

void CGroupSetDlg::Warn(const std::wstring& text)
{
    ::MessageBoxW(m_hWnd, text.c_str(), GetLangId() == 0 ? L"提示" : L"Message", MB_OK | MB_ICONWARNING);
}

void CGroupSetDlg::ApplyToList()
{
    if (!m_pList)
        return;
    const bool bChinese = GetLangId() == 0;
    // Each field is refused with its name; nothing changes until all of them read.
    const std::wstring startName = LabelName(IDC_GRP_START_IP_LABEL);
    const std::optional<std::uint32_t> start = ParseIpv4(GetDlgItemText(IDC_GRP_START_IP));
    if (!start) {
        Warn(AddressRefusal(startName, GetLangId()));
        return;
    }
    const int first = static_cast<int>(*start & 0xFF);
    if (first == 0 || first == 255) {
        Warn(bChinese
                 ? L"“" + startName + L"”的最后一段必须在 1 到 254 之间（以 0 或 255 结尾的不是设备地址）。"
                 : L"The last number of \"" + startName +
                       L"\" must be from 1 to 254 (an address ending in 0 or 255 is no camera's).");
        return;
    }
    const std::optional<int> step = ParseStep(GetDlgItemText(IDC_GRP_STEP));
    if (!step) {
        const std::wstring stepName = LabelName(IDC_GRP_STEP_LABEL);
        Warn(bChinese ? L"“" + stepName + L"”必须是 0 到 255 之间的整数。"
                      : L"\"" + stepName + L"\" must be a whole number from 0 to 255.");
        return;
    }
    const std::optional<std::uint32_t> gateway = ParseIpv4(GetDlgItemText(IDC_GRP_GATEWAY));
    if (!gateway) {
        Warn(AddressRefusal(LabelName(IDC_GRP_GATEWAY_LABEL), GetLangId()));
        return;
    }
    const std::wstring gatewayText = FormatIpv4Wide(*gateway);
    const std::wstring stem = GetDlgItemText(IDC_GRP_NAME);
    const bool bOnlyChecked = IsDlgButtonChecked(IDC_GRP_ONLY_CHECKED) == BST_CHECKED;

    int k = 0;
    bool bCut = false;
    const int count = m_pList->GetItemCount();
    std::vector<bool> filled(static_cast<size_t>(count), false);
    for (int nRow = 0; nRow < count; ++nRow) {
        if (bOnlyChecked && !m_pList->GetCheck(nRow))
            continue;
        const int offset = *step * k;
        // Never an address ending in 255 or above: this row and the rest keep their cells.
        if (first + offset > 254) {
            bCut = true;
            break;
        }
        m_pList->SetItemText(nRow, 1, FormatIpv4Wide(*start + static_cast<std::uint32_t>(offset)).c_str());
        m_pList->SetItemText(nRow, 2, gatewayText.c_str());
        m_pList->SetItemText(nRow, 3, (stem + Format(L"%d", offset)).c_str());
        for (const int nCol : {2, 3}) // no longer the plan's (MarkAddressConflicts colours column 1)
            m_pList->SetCellTextColor(nRow, nCol, m_pList->GetCellTextColor(nRow, 0));
        filled[static_cast<size_t>(nRow)] = true;
        ++k;
    }
    std::vector<int> filledRows;
    for (int nRow = 0; nRow < count; ++nRow)
        if (filled[static_cast<size_t>(nRow)])
            filledRows.push_back(nRow);
    m_marks.ProbeRows(filledRows); // answers come later, as the probe's message
    const int conflicts = MarkAddressConflicts(filled, {*gateway});
    m_marks.Repaint(); // rows not filled now keep their marks
    if (bCut)
        Warn(bChinese ? Format(L"已填写 %d 行。再往下的地址最后一段会达到或超过 255，其余的行保持不变。", k)
                      : Format(L"Filled %d row(s). The next address would end in 255 or above, so the "
                               L"remaining rows were left unchanged.",
                               k));
    WarnConflicts(conflicts);
}

void CGroupSetDlg::WarnConflicts(int conflicts)
{
    const bool bChinese = GetLangId() == 0;
    // The operator may still send: this only says so.
    if (conflicts > 0)
        Warn(bChinese
                 ? Format(
                       L"%d "
                       L"个计算出的地址与列表中其他设备的地址、本机地址或网关相同，或彼此相同，已标为红色。",
                       conflicts)
                 : Format(L"%d computed address(es) are already used by another listed camera, this "
                          L"computer or the gateway, or are given twice; they are marked in red.",
                          conflicts));
}

int CGroupSetDlg::MarkAddressConflicts(const std::vector<bool>& filled,
                                       const std::set<std::uint32_t>& gateways)
{
    const int count = m_pList->GetItemCount();
    auto isFilled = [&filled](int nRow) {
        return nRow < static_cast<int>(filled.size()) && filled[static_cast<size_t>(nRow)];
    };
    // The rows that hold each address now: every camera's current address (its copy's), and the
    // cell of a row that keeps its own. A camera re-addressed by this "Apply" keeps its current
    // address until its message applies, so shifting .10/.11 to .11/.12 gives two cameras .11
    // for a while: that counts too.
    std::map<std::uint32_t, std::set<int>> holders;
    std::map<std::uint32_t, int> computed;
    for (int nRow = 0; nRow < count; ++nRow) {
        if (const auto* pRecord = reinterpret_cast<const DeviceRecord*>(m_pList->GetItemData(nRow)))
            if (const auto current = ParseIpv4(ReadTextField(pRecord->message.lanIp)))
                holders[*current].insert(nRow);
        if (const auto cell = ParseIpv4(m_pList->GetItemText(nRow, 1))) {
            if (isFilled(nRow))
                ++computed[*cell];
            else
                holders[*cell].insert(nRow);
        }
    }
    // A device the dialog does not list holds its address as a row would (-1: no row of ours).
    for (const std::uint32_t address : m_unlistedAddresses)
        holders[address].insert(-1);
    // What no camera may be given: an address of this computer, or the gateway.
    std::set<std::uint32_t> reserved = gateways;
    std::vector<in_addr> locals;
    if (GenSockCachedLocalAddresses(locals) > 0) // the window thread looks nothing up by name
        for (const in_addr& local : locals)
            reserved.insert(ntohl(local.s_addr));

    int conflicts = 0;
    for (int nRow = 0; nRow < count; ++nRow) {
        bool bConflict = false;
        if (isFilled(nRow))
            if (const auto address = ParseIpv4(m_pList->GetItemText(nRow, 1))) {
                const std::set<int>& rows = holders[*address];
                bConflict =
                    reserved.count(*address) > 0 || computed[*address] > 1 || rows.size() > rows.count(nRow);
            }
        m_pList->SetCellTextColor(nRow, 1, bConflict ? CONFLICT_TEXT : m_pList->GetCellTextColor(nRow, 0));
        conflicts += bConflict;
    }
    m_pList->Invalidate();
    m_nAddressConflicts = conflicts;
    return conflicts;
}

// ---- The apply worker ---------------------------------------------------------------------------

int CGroupSetDlg::ThreadProc(int nIndex)
{
    if (nIndex != 0)
        return 0;
    m_dwWorkerThreadId = ::GetCurrentThreadId();
    if (WaitSignal(0, INFINITE) != WAIT_OBJECT_0 || !IsThreadRunning(0))
        return 0;
    RunApplyPass();
    return 0;
}

CGroupSetDlg::PassSnapshot CGroupSetDlg::TakeSnapshot() const
{
    PassSnapshot snapshot;
    if (!m_pList || !m_pList->m_hWnd)
        return snapshot;
    snapshot.bKeepIp = IsDlgButtonChecked(IDC_GRP_KEEP_IP) == BST_CHECKED;
    snapshot.bKeepName = IsDlgButtonChecked(IDC_GRP_KEEP_NAME) == BST_CHECKED;
    snapshot.nLangId = GetLangId();
    const bool bChinese = snapshot.nLangId == 0;
    const int count = m_pList->GetItemCount();
    for (int nRow = 0; nRow < count; ++nRow) {
        const auto* pRecord = reinterpret_cast<const DeviceRecord*>(m_pList->GetItemData(nRow));
        if (!pRecord || !m_pList->GetCheck(nRow))
            continue;
        PassRow row;
        row.record = *pRecord;
        row.name = m_pList->GetItemText(nRow, 3);
        // A message addressed to an idSerial two cameras share reaches both: they would end up
        // with the same settings. The operator unchecks them and changes them another way.
        if ((pRecord->flags & DEVICE_SHARED_SERIAL) && snapshot.refusal.empty()) {
            const std::wstring id = WideFieldText(pRecord->message.idSerial);
            snapshot.refusal =
                bChinese
                    ? Format(L"第 %d 行", nRow) + L"（" + id +
                          L"）：两台设备使用同一序列号，批量设置会同时改动这两台设备。请取消勾选后再发送。"
                    : Format(L"Row %d", nRow) + L" (" + id +
                          L"): Two devices share this serial, and a group pass would change "
                          L"both alike. Uncheck it, then send again.";
        }
        if (!snapshot.bKeepIp) {
            // An address cell that does not read stops the whole pass before anything is sent.
            for (const int nCol : {1, 2}) {
                const std::optional<std::uint32_t> address = ParseIpv4(m_pList->GetItemText(nRow, nCol));
                if (!address && snapshot.refusal.empty()) {
                    const Column& column = COLUMNS[nCol];
                    const std::wstring field =
                        bChinese ? Format(L"第 %d 行", nRow) + L"（" +
                                       WideFieldText(pRecord->message.idSerial) + L"）的" + column.chinese
                                 : column.english + Format(L" of row %d", nRow) + L" (" +
                                       WideFieldText(pRecord->message.idSerial) + L")";
                    snapshot.refusal = AddressRefusal(field, snapshot.nLangId, true);
                }
                (nCol == 1 ? row.ip : row.gateway) = address.value_or(0);
            }
        }
        snapshot.rows.push_back(std::move(row));
    }
    return snapshot;
}

void CGroupSetDlg::ShowProgress(int nSent, int nTotal)
{
    if (!m_hWnd)
        return;
    if (!m_bInPass) {
        // Whatever the title is now (the language file may have replaced the built-in one) comes
        // back when the pass ends.
        m_strTitle = GetWindowText();
        m_bInPass = true;
    }
    const std::wstring progress =
        m_strTitle + (GetLangId() == 0 ? Format(L" - 已发送 %d/%d", nSent, nTotal)
                                       : Format(L" - sent %d of %d", nSent, nTotal));
    SetWindowText(progress.c_str());
}

void CGroupSetDlg::EndProgress()
{
    if (m_bInPass && m_hWnd)
        SetWindowText(m_strTitle.c_str());
    m_bInPass = false;
}

bool CGroupSetDlg::SendPassMessage(const WireMessage& message, unsigned fields, int nSent, int nTotal)
{
    // Sent here on the worker (the send looks up this computer's addresses, which the window
    // thread must not wait for), under the lock that closing takes: once closing has begun,
    // nothing more goes out.
    {
        std::lock_guard<std::mutex> guard(m_sendLock);
        if (m_bClosing.load())
            return false;
        GenSockBroadcastSend(CAMERA_PORT, &message, static_cast<int>(MESSAGE_SIZE), 0, nullptr);
    }
    bool bSent = false;
    CallOnWindowThread([&] {
        if (!m_hWnd)
            return;
        bSent = true;
        ShowProgress(nSent + 1, nTotal);
        m_check.Expect(message, fields);
        bool bLogged = false;
        for (const auto& pRecord : m_records)
            if (SameCamera(pRecord->message, message)) {
                if (!bLogged)
                    m_log.Sent(*pRecord, message, fields, GetLangId());
                bLogged = true;
                TakeSentMessage(*pRecord, message);
                m_marks.ForgetRecord(pRecord.get());
            }
    });
    return bSent;
}

void CGroupSetDlg::RunApplyPass()
{
    PassSnapshot snapshot;
    std::set<std::uint32_t> held;
    const bool bWindow = CallOnWindowThread([this, &snapshot, &held] {
                             snapshot = TakeSnapshot();
                             held = m_marks.HeldAddresses();
                         }) != FALSE;
    // With both boxes checked no row changes, so nothing is sent.
    const bool bNothing = snapshot.bKeepIp && snapshot.bKeepName;
    const bool bRefused = !bNothing && !snapshot.refusal.empty();
    int total = bNothing || bRefused ? 0 : static_cast<int>(snapshot.rows.size());
    if (bWindow && total > 0 && !snapshot.bKeepIp && !ConfirmInUse(snapshot, held))
        total = 0;
    const unsigned fields = (snapshot.bKeepIp ? 0u : unsigned{CChangeCheck::FIELDS_ADDRESS}) |
                            (snapshot.bKeepName ? 0u : unsigned{CChangeCheck::FIELD_NAME});
    int sent = 0;
    bool bCutShort = !bWindow;
    for (size_t i = 0; bWindow && total > 0 && i < snapshot.rows.size(); ++i) {
        if (!IsThreadRunning(0)) {
            bCutShort = true;
            break;
        }
        PassRow& row = snapshot.rows[i];
        WireMessage& m = row.record.message;
        if (!snapshot.bKeepIp) {
            WriteIpv4Field(m.lanIp, sizeof m.lanIp, row.ip);
            WriteIpv4Field(m.lanGateway, sizeof m.lanGateway, row.gateway);
        }
        if (!snapshot.bKeepName)
            WriteTypedName(m, LimitTypedName(row.name));
        else
            std::memcpy(m.name, row.record.wireName, sizeof m.name); // as the camera sent it

        WireMessage message;
        BuildSetInfo(row.record, message);
        // The send is made on the window thread, and only while closing has not begun.
        if (!SendPassMessage(message, fields, sent, total)) {
            bCutShort = true;
            break;
        }
        ++sent;
        ::Sleep(m_dwSendPause.load());
    }

    int nLangId = snapshot.nLangId;
    CallOnWindowThread([this, &nLangId] {
        EndProgress();
        nLangId = GetLangId();
    });
    m_nLastSent = sent;
    if (bRefused && IsThreadRunning(0))
        ShowWorkerBox(snapshot.refusal, nLangId == 0 ? L"提示" : L"Message", MB_ICONWARNING);
    // A pass cut short by closing reports nothing: its count would not be what was asked for.
    if (sent > 0 && !bCutShort && IsThreadRunning(0)) {
        const std::wstring text = nLangId == 0 ? Format(L"完成 %d 个设备信息设置！", sent)
                                               : Format(L"Set %d device(s)'s IP Address or Name.", sent);
        ShowWorkerBox(text, nLangId == 0 ? L"提示" : L"Message");
    }
    ++m_nFinishedPasses;
}

bool CGroupSetDlg::ConfirmInUse(const PassSnapshot& snapshot, const std::set<std::uint32_t>& held)
{
    std::vector<std::uint32_t> addresses;
    for (const PassRow& row : snapshot.rows)
        if (!held.count(row.ip))
            addresses.push_back(row.ip);
    const std::map<std::uint32_t, CAddressProbe::Answer> inUse = m_marks.Settle(addresses);
    if (inUse.empty())
        return !m_bClosing.load();
    int nLangId = snapshot.nLangId;
    if (!CallOnWindowThread([this, &inUse, &nLangId] {
            nLangId = GetLangId();
            m_marks.MarkAddresses(inUse, nLangId);
        }))
        return false;
    int rows = 0;
    for (const PassRow& row : snapshot.rows)
        rows += inUse.count(row.ip) > 0;
    const std::wstring question =
        nLangId == 0 ? Format(L"%d 个要发送的地址已被其他设备占用（标为红色）。仍要发送吗？", rows)
                     : Format(L"%d address(es) to be sent are in use by another device (marked in red). "
                              L"Send anyway?",
                              rows);
    return ShowWorkerBox(question, nLangId == 0 ? L"提示" : L"Message", MB_YESNO | MB_ICONWARNING) == IDYES;
}

namespace {

// The worker's message box, known to the dialog as soon as it is created.
thread_local std::atomic<HWND>* t_pBoxSlot = nullptr;
thread_local std::atomic<bool>* t_pClosing = nullptr;

LRESULT CALLBACK WorkerBoxHook(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode == HCBT_ACTIVATE && t_pBoxSlot && t_pClosing) {
        const HWND hBox = reinterpret_cast<HWND>(wParam);
        t_pBoxSlot->store(hBox);
        // Closing began before the box existed: it closes itself (the closer may have looked
        // for it too early).
        if (t_pClosing->load())
            ::PostMessageW(hBox, WM_COMMAND, IDOK, 0);
    }
    return ::CallNextHookEx(nullptr, nCode, wParam, lParam);
}

} // namespace

int CGroupSetDlg::ShowWorkerBox(const std::wstring& text, const wchar_t* pszCaption, UINT uIcon)
{
    if (m_bClosing.load())
        return 0;
    HHOOK hHook = ::SetWindowsHookExW(WH_CBT, WorkerBoxHook, nullptr, ::GetCurrentThreadId());
    t_pBoxSlot = &m_hWorkerBox;
    t_pClosing = &m_bClosing;
    const int nAnswer = ::MessageBoxW(m_hWnd, text.c_str(), pszCaption, MB_OK | uIcon);
    t_pBoxSlot = nullptr;
    t_pClosing = nullptr;
    m_hWorkerBox.store(nullptr);
    if (hHook)
        ::UnhookWindowsHookEx(hHook);
    return nAnswer;
}

void CGroupSetDlg::CloseWorkerBoxes()
{
    {
        std::lock_guard<std::mutex> guard(m_sendLock); // a send under way ends first
        m_bClosing.store(true);
    }
    m_marks.Close();
    if (const HWND hBox = m_hWorkerBox.load())
        ::PostMessageW(hBox, WM_COMMAND, IDOK, 0);
    const DWORD dwThreadId = m_dwWorkerThreadId.load();
    if (!dwThreadId)
        return;
    ::EnumThreadWindows(
        dwThreadId,
        [](HWND hWnd, LPARAM) -> BOOL {
            wchar_t cls[16] = {};
            if (::GetClassNameW(hWnd, cls, 16) && std::wstring(cls) == L"#32770")
                ::PostMessageW(hWnd, WM_COMMAND, IDOK, 0);
            return TRUE;
        },
        0);
}
