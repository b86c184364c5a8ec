#include "app/GroupSetDlg.h"

#include "app/SettingsFields.h"
#include "app/SettingsText.h"
#include "app/resource.h"
#include "controls/MyListCtrl.h"
#include "net/SocketHelpers.h"
#include "base/TextConvert.h"
#include "platform/DpiScale.h"

#include <winsock2.h>

#include <cstdio>
#include <set>

namespace {

// In the order ApplyLanguage writes them.
const SettingsItemText ITEM_TEXTS[] = {
    {IDC_GRP_START_IP_LABEL, L"起始IP:", L"IP From:"},
    {IDC_GRP_GATEWAY_LABEL, L"网关:", L"Gate Way:"},
    {IDC_GRP_NAME_LABEL, L"名称:", L"Name:"},
    {IDC_GRP_STEP_LABEL, L"步长:", L"Step:"},
    {IDC_GRP_ONLY_CHECKED, L"仅应用到√项", L"Only checked Item(s)"},
    {IDC_GRP_APPLY, L"应用", L"Apply For"},
    {IDC_GRP_CHECK_ALL, L"全(√)", L"Check All"},
    {IDC_GRP_UNCHECK_ALL, L"全不(√)", L"Uncheck All"},
    {IDC_GRP_REVERSE_CHECK, L"反(√)", L"Reverse Check"},
    {IDC_GRP_CHECK_SELECTED, L"√选中项", L"Check Selected"},
    {IDC_GRP_UNCHECK_SELECTED, L"反√选中项", L"Uncheck Selected"},
    {IDC_GRP_KEEP_IP, L"不修改IP", L"Not modify IP"},
    {IDC_GRP_KEEP_NAME, L"不修改名称", L"Not modify Name"},
    {IDC_GRP_SEND, L"执行批量设置", L"Set for All checked"},
    {IDOK, L"返回", L"Return"},
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
    }
    CDialogFrame::FitToWorkArea(m_hWnd, m_pList ? m_pList->m_hWnd : nullptr);
    // The follow-up requests are the owner's (the main window's), and keep its list.
    m_check.SetRescan([this] {
        if (HWND hOwner = ::GetWindow(m_hWnd, GW_OWNER))
            ::SendMessageW(hOwner, WM_COMMAND, MAKEWPARAM(IDC_MAIN_REFRESH, 0), 0);
    });
    m_check.SetOnChange([this](const CChangeCheck::Entry& entry) { ShowCheckStatus(&entry, GetLangId()); });
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

    // Rows go before the copies they point to. An open cell editor writes back into its row when
    // it loses the focus, so it is closed while that row still exists.
    if (m_pList && m_pList->m_hWnd) {
        m_pList->HideEditors();
        m_pList->SendMessage(WM_SETREDRAW, FALSE);
        m_pList->DeleteAllItems();
    }
    m_records.clear();
    for (std::size_t i = 0; i < count; ++i) {
        if (!records[i])
            continue;
        m_records.push_back(std::make_unique<DeviceRecord>(*records[i]));
        const DeviceRecord* pCopy = m_records.back().get();
        if (!m_pList || !m_pList->m_hWnd)
            continue;
        const WireMessage& m = pCopy->message;
        const int nRow = m_pList->InsertItem(
            static_cast<int>(i), (Format(L"%2d: ", static_cast<int>(i)) + WideFieldText(m.idSerial)).c_str());
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
    if (m_pList && m_pList->m_hWnd) {
        m_pList->SendMessage(WM_SETREDRAW, TRUE);
        ::InvalidateRect(m_pList->m_hWnd, nullptr, TRUE);
    }

    if (count > 0 && records[0]) {
        const WireMessage& m = records[0]->message;
        const std::wstring ip = WideFieldText(m.lanIp);
        std::wstring gateway = ip;
        if (const std::size_t dot = gateway.rfind(L'.'); dot != std::wstring::npos)
            gateway = gateway.substr(0, dot + 1) + L"1";
        SetItemText(IDC_GRP_START_IP, ip.c_str());
        SetItemText(IDC_GRP_NAME, WideFieldText(m.name).c_str());
        SetItemText(IDC_GRP_GATEWAY, gateway.c_str());
    }
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

void CGroupSetDlg::ApplyToList()
{
    if (!m_pList)
        return;
    const char* start = TextWideToAnsi(GetDlgItemText(IDC_GRP_START_IP).c_str());
    const unsigned long address = ::inet_addr(start ? start : "");
    if (address == INADDR_NONE)
        return;
    const auto* bytes = reinterpret_cast<const unsigned char*>(&address);
    BOOL bNumber = FALSE;
    const int step = static_cast<int>(::GetDlgItemInt(m_hWnd, IDC_GRP_STEP, &bNumber, TRUE)) & 0xFF;
    const std::wstring stem = GetDlgItemText(IDC_GRP_NAME);
    const std::wstring gateway = GetDlgItemText(IDC_GRP_GATEWAY);
    const bool bOnlyChecked = IsDlgButtonChecked(IDC_GRP_ONLY_CHECKED) == BST_CHECKED;

    int k = 0;
    const int count = m_pList->GetItemCount();
    std::vector<bool> filled(static_cast<size_t>(count), false);
    for (int nRow = 0; nRow < count; ++nRow) {
        if (bOnlyChecked && !m_pList->GetCheck(nRow))
            continue;
        const int offset = step * k;
        if (bytes[3] + offset > 255) {
            // Never an address ending above 255: this row and the rest keep their cells.
            const bool bChinese = GetLangId() == 0;
            const std::wstring text =
                bChinese ? Format(L"已填写 %d 行。再往下的地址最后一段会超过 255，其余的行保持不变。", k)
                         : Format(L"Filled %d row(s). The next address would end above 255, so the remaining "
                                  L"rows were left unchanged.",
                                  k);
            ::MessageBoxW(m_hWnd, text.c_str(), bChinese ? L"提示" : L"Message", MB_OK | MB_ICONWARNING);
            return;
        }
        m_pList->SetItemText(nRow, 1,
                             Format(L"%d.%d.%d.%d", bytes[0], bytes[1], bytes[2], bytes[3] + offset).c_str());
        m_pList->SetItemText(nRow, 2, gateway.c_str());
        m_pList->SetItemText(nRow, 3, (stem + Format(L"%d", offset)).c_str());
        filled[static_cast<size_t>(nRow)] = true;
        ++k;
    }
    MarkAddressConflicts(filled, gateway);
}

void CGroupSetDlg::MarkAddressConflicts(const std::vector<bool>& filled, const std::wstring& gateway)
{
    // What a computed address must not be: the address of a listed camera that keeps its own, an
    // address of this computer, or the gateway. (Computed addresses equal to each other come from
    // the step the operator chose, 0 for one address for all, and are left to the operator.)
    const int count = m_pList->GetItemCount();
    std::set<std::wstring> reserved;
    for (int nRow = 0; nRow < count; ++nRow)
        if (nRow >= static_cast<int>(filled.size()) || !filled[static_cast<size_t>(nRow)])
            reserved.insert(m_pList->GetItemText(nRow, 1));
    std::vector<in_addr> locals;
    if (GenSockLocalAddresses(locals) > 0)
        for (const in_addr& local : locals) {
            const auto* b = reinterpret_cast<const unsigned char*>(&local);
            reserved.insert(Format(L"%d.%d.%d.%d", b[0], b[1], b[2], b[3]));
        }
    reserved.insert(gateway);

    int conflicts = 0;
    for (int nRow = 0; nRow < count; ++nRow) {
        const std::wstring address = m_pList->GetItemText(nRow, 1);
        const bool bConflict = nRow < static_cast<int>(filled.size()) && filled[static_cast<size_t>(nRow)] &&
                               reserved.count(address) > 0;
        m_pList->SetCellTextColor(nRow, 1, bConflict ? CONFLICT_TEXT : m_pList->GetCellTextColor(nRow, 0));
        conflicts += bConflict;
    }
    m_pList->Invalidate();
    m_nAddressConflicts = conflicts;
    if (conflicts == 0)
        return;
    // The operator may still send: this only says so.
    const bool bChinese = GetLangId() == 0;
    const std::wstring text =
        bChinese ? Format(L"%d 个计算出的地址与列表中的其他设备、本机地址或网关相同，已标为红色。", conflicts)
                 : Format(L"%d computed address(es) are already used by another listed camera, this computer "
                          L"or the gateway; they are marked in red.",
                          conflicts);
    ::MessageBoxW(m_hWnd, text.c_str(), bChinese ? L"提示" : L"Message", MB_OK | MB_ICONWARNING);
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
    const int count = m_pList->GetItemCount();
    for (int nRow = 0; nRow < count; ++nRow) {
        const auto* pRecord = reinterpret_cast<const DeviceRecord*>(m_pList->GetItemData(nRow));
        if (!pRecord || !m_pList->GetCheck(nRow))
            continue;
        PassRow row;
        row.record = *pRecord;
        row.ip = m_pList->GetItemText(nRow, 1);
        row.gateway = m_pList->GetItemText(nRow, 2);
        row.name = m_pList->GetItemText(nRow, 3);
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

void CGroupSetDlg::RunApplyPass()
{
    PassSnapshot snapshot;
    const bool bWindow = CallOnWindowThread([this, &snapshot] { snapshot = TakeSnapshot(); }) != FALSE;
    // With both boxes checked no row changes, so nothing is sent.
    const int total = snapshot.bKeepIp && snapshot.bKeepName ? 0 : static_cast<int>(snapshot.rows.size());
    int sent = 0;
    bool bCutShort = !bWindow;
    for (size_t i = 0; bWindow && total > 0 && i < snapshot.rows.size(); ++i) {
        // Closing stops the pass between two cameras.
        if (!IsThreadRunning(0) || m_bClosing.load()) {
            bCutShort = true;
            break;
        }
        PassRow& row = snapshot.rows[i];
        WireMessage& m = row.record.message;
        if (!snapshot.bKeepIp) {
            WriteAnsiText(m.lanIp, sizeof m.lanIp, row.ip);
            WriteAnsiText(m.lanGateway, sizeof m.lanGateway, row.gateway);
        }
        if (!snapshot.bKeepName)
            WriteTypedName(m, LimitTypedName(row.name));
        else
            ReencodeRecordName(m); // the record holds the name in the ANSI code page; the camera reads UTF-8

        WireMessage message;
        BuildSetInfo(row.record, message);
        GenSockBroadcastSend(CAMERA_PORT, &message, static_cast<int>(MESSAGE_SIZE), 0, nullptr);
        ++sent;
        const unsigned fields = (snapshot.bKeepIp ? 0u : unsigned{CChangeCheck::FIELDS_ADDRESS}) |
                                (snapshot.bKeepName ? 0u : unsigned{CChangeCheck::FIELD_NAME});
        if (!CallOnWindowThread([this, sent, total, &message, fields] {
                ShowProgress(sent, total);
                m_check.Expect(message, fields);
            })) {
            bCutShort = true;
            break;
        }
        ::Sleep(SEND_PAUSE_MS);
    }

    int nLangId = 0;
    CallOnWindowThread([this, &nLangId] {
        EndProgress();
        nLangId = GetLangId();
    });
    m_nLastSent = sent;
    // A pass cut short by closing reports nothing: its count would not be what was asked for.
    if (sent > 0 && !bCutShort && IsThreadRunning(0)) {
        const std::wstring text = nLangId == 0 ? Format(L"完成 %d 个设备信息设置！", sent)
                                               : Format(L"Set %d device(s)'s IP Address or Name.", sent);
        ShowCompletionBox(text, nLangId == 0 ? L"提示" : L"Message");
    }
    ++m_nFinishedPasses;
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

void CGroupSetDlg::ShowCompletionBox(const std::wstring& text, const wchar_t* pszCaption)
{
    if (m_bClosing.load())
        return;
    HHOOK hHook = ::SetWindowsHookExW(WH_CBT, WorkerBoxHook, nullptr, ::GetCurrentThreadId());
    t_pBoxSlot = &m_hWorkerBox;
    t_pClosing = &m_bClosing;
    ::MessageBoxW(m_hWnd, text.c_str(), pszCaption, MB_OK | MB_ICONINFORMATION);
    t_pBoxSlot = nullptr;
    t_pClosing = nullptr;
    m_hWorkerBox.store(nullptr);
    if (hHook)
        ::UnhookWindowsHookEx(hHook);
}

void CGroupSetDlg::CloseWorkerBoxes()
{
    m_bClosing.store(true);
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
