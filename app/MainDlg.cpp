#include "app/MainDlg.h"

#include "app/AboutDlg.h"
#include "app/ChangeLog.h"
#include "app/DeviceSetDlg.h"
#include "app/GroupSetDlg.h"
#include "app/SearchOnDlg.h"
#include "app/SettingsText.h"
#include "app/resource.h"
#include "base/Ipv4Text.h"
#include "controls/ImageStripScale.h"
#include "controls/MyListCtrl.h"
#include "net/SearchedAddresses.h"
#include "net/SocketHelpers.h"
#include "base/TextConvert.h"
#include "base/UniqueHandle.h"
#include "platform/CWinApp.h"
#include "platform/DpiScale.h"

#include <winsock2.h>

#include <commctrl.h>
#include <commdlg.h>
#include <iphlpapi.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <string>
#include <vector>

namespace {

struct ColumnSpec {
    int width; // 0: the list's client width minus the others
    const wchar_t* initial;
    const wchar_t* chinese;
    const wchar_t* english;
};

const ColumnSpec kColumns[CMainDlg::COLUMN_COUNT] = {
    {140, L"设备IP", L"设备IP", L"IP Address"}, {115, L"网关", L"网关", L"GateWay"},
    {120, L"设备名称", L"设备名称", L"Name"},   {100, L"设备ID", L"设备ID", L"ID Serial"},
    {60, L"网络", L"网络类型", L"Network"},     {130, L"MAC地址", L"MAC地址", L"MAC Address"},
    {0, L"版本", L"版本", L"Version"},
};
constexpr int CAMERA_IMAGE_SIZE = 20; // pixels at 96 dpi

// In the order they are written.
const SettingsItemText kTexts[] = {
    {IDC_MAIN_COUNT_CAPTION, L"设备数量:", L"Camera Count:"},
    {IDC_MAIN_SINGLE, L"编辑(&M) ...", L"&Modify By Single..."},
    {IDC_MAIN_ADDRESS_CAPTION, L"本机IP地址:", L"IP Address:"},
    {IDC_MAIN_ONTOP, L"窗口置顶(&T)", L"Set On &Top"},
    {IDC_MAIN_RESCAN, L"刷新(&R)", L"&Rescan"},
    {IDC_MAIN_BROWSE, L"打开网页(&B) ...", L"&Browse on Web ..."},
    {IDC_MAIN_GROUP, L"批量操作(&G) ...", L"Modify by &Group ..."},
    // The language choice is labelled in the other language, so either reader finds it.
    {IDC_MAIN_LANG_CAPTION, L"Language:", L"界面语言:"},
    {IDCANCEL, L"退出(&X)", L"E&xit"},
};

// A camera's address as the user interface reads it: at least 7 characters to be usable.
bool HasUsableLanIp(const DeviceRecord& record)
{
    return WideFieldText(record.message.lanIp).size() >= 7;
}

// The camera's web page: "http://" and its wired address written anew from the parsed number, so
// that no host name, user part, port, path or other scheme a camera puts into the field reaches
// the shell. Empty when the field holds no address a camera's page can be at (unset, this
// computer's loopback, multicast or broadcast).
std::wstring WebPageAddress(const DeviceRecord& record)
{
    const auto address = ParseIpv4(ReadTextField(record.message.lanIp));
    if (!address || IsUnsetIpv4(*address) || (*address >> 24) == 127 || *address >= 0xE0000000u)
        return {};
    return L"http://" + FormatIpv4Wide(*address);
}

} // namespace

CMainDlg::CMainDlg(CWnd* pParent) : CMyDialog(IDD_LARKVANE_DIALOG, pParent), m_engine(*this, *this)
{
    m_hIcon = static_cast<HICON>(::LoadImageW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME),
                                              IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
}

CMainDlg::~CMainDlg()
{
    ShutdownDiscovery();
    m_observers.clear();
    m_pGroupSetDlg.reset();
    m_pDeviceSetDlg.reset();
}

void CMainDlg::DoDataExchange(bool bSaveAndValidate)
{
    CMyDialog::DoDataExchange(bSaveAndValidate);
    std::memset(&m_SelDevice, 0, sizeof m_SelDevice);
}

BOOL CMainDlg::OnInitDialog()
{
    CMyDialog::OnInitDialog();

    if (HMENU hSysMenu = ::GetSystemMenu(m_hWnd, FALSE)) {
        wchar_t about[128] = {};
        if (::LoadStringW(AfxGetInstanceHandle(), IDS_ABOUTBOX, about, 128) > 0) {
            ::AppendMenuW(hSysMenu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuW(hSysMenu, MF_STRING, IDM_ABOUTBOX, about);
        }
    }
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    RegisterStateCheckBoxes(-1, IDC_MAIN_ONTOP);

    m_pDeviceList = GetListCtrl(IDC_MAIN_LIST);
    m_rows.Bind(m_pDeviceList);
    BuildImageList();
    if (m_pDeviceList) {
        m_pDeviceList->SetRowHeight(ScaleForWindow(22, m_hWnd));
        m_pDeviceList->SetFocusRect(true);
        InsertColumns();
        m_pDeviceList->SetAutoFitLastColumn(true, 5000);
        m_pDeviceList->RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
    // Before the settings dialogs are centred over it.
    CDialogFrame::FitToWorkArea(m_hWnd, m_pDeviceList ? m_pDeviceList->m_hWnd : nullptr);

    m_pDeviceSetDlg = std::make_unique<CDeviceSetDlg>();
    m_pDeviceSetDlg->CreateModeless(this);
    m_pDeviceSetDlg->CenterWindow(m_hWnd);
    m_pGroupSetDlg = std::make_unique<CGroupSetDlg>();
    m_pGroupSetDlg->CreateModeless(this);
    m_pGroupSetDlg->CenterWindow(m_hWnd);
    // Both dialogs check what they sent against the replies listed here.
    AddCameraObserver(&m_pDeviceSetDlg->GetChangeCheck());
    AddCameraObserver(&m_pGroupSetDlg->GetChangeCheck());
    // Both settings dialogs' copies follow their cameras' replies.
    AddCameraObserver(m_pDeviceSetDlg.get());
    AddCameraObserver(m_pGroupSetDlg.get());

    AddComboString(IDC_MAIN_LANG, L"简体中文", -1);
    AddComboString(IDC_MAIN_LANG, L"English", -1);
    // The combo box was empty when the framework applied the language at start-up.
    SetComboSel(IDC_MAIN_LANG, GetLangId(), TRUE);

    // The operator's choice of local addresses, before the first request goes out.
    SetSearchChoice(CSearchOnDlg::LoadChoice());
    StartThread(CDiscoveryEngine::RESCAN_WORKER);
    StartThread(CDiscoveryEngine::RECEIVE_WORKER);
    StartOnvif();

    SendCommand(IDC_MAIN_ADDRESSES);
    SendCommand(IDC_MAIN_RESCAN);
    return TRUE;
}

void CMainDlg::BuildImageList()
{
    HBITMAP hBitmap =
        static_cast<HBITMAP>(::LoadImageW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDB_CAMERA_IMAGES),
                                          IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    const int dpi = DpiForWindow(m_hWnd);
    const int size = ScaleForDpi(CAMERA_IMAGE_SIZE, dpi);
    if (hBitmap && size != CAMERA_IMAGE_SIZE)
        if (HBITMAP hScaled = ScaleImageStrip(hBitmap, CAMERA_IMAGE_SIZE, dpi)) {
            ::DeleteObject(hBitmap);
            hBitmap = hScaled;
        }
    m_hImageList = ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, 1, 1);
    if (m_hImageList && hBitmap)
        ImageList_AddMasked(m_hImageList, hBitmap, RGB(255, 255, 255));
    if (hBitmap)
        ::DeleteObject(hBitmap);
    // The list view owns the image list from here on and destroys it with itself.
    if (m_pDeviceList && m_hImageList)
        m_pDeviceList->SendMessage(LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(m_hImageList));
    else if (m_hImageList)
        ImageList_Destroy(m_hImageList);
}

void CMainDlg::InsertColumns()
{
    RECT rcClient{};
    m_pDeviceList->GetClientRect(&rcClient);
    const int dpi = DpiForWindow(m_hWnd);
    int fixedWidth = 0;
    for (const ColumnSpec& column : kColumns)
        fixedWidth += ScaleForDpi(column.width, dpi);
    for (int col = 0; col < COLUMN_COUNT; ++col) {
        LVCOLUMNW column{};
        column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = kColumns[col].width ? ScaleForDpi(kColumns[col].width, dpi)
                                        : (rcClient.right - rcClient.left) - fixedWidth;
        column.pszText = const_cast<LPWSTR>(kColumns[col].initial);
        column.iSubItem = col;
        m_pDeviceList->SendMessage(LVM_INSERTCOLUMNW, static_cast<WPARAM>(col),
                                   reinterpret_cast<LPARAM>(&column));
    }
}

void CMainDlg::ApplyLanguage(int nLangId)
{
    const bool chinese = nLangId == 0;
    m_rows.SetLanguage(nLangId);
    SetComboSel(IDC_MAIN_LANG, nLangId, TRUE);
    ApplyItemTexts(*this, kTexts, nLangId);
    if (m_pDeviceList)
        for (int col = 0; col < COLUMN_COUNT; ++col)
            m_pDeviceList->SetColumnText(col, chinese ? kColumns[col].chinese : kColumns[col].english);
    // The count's note is in words.
    if (m_pDeviceList)
        WriteCount();
}

BOOL CMainDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    switch (id) {
    case IDOK:
    case IDC_MAIN_RESCAN:
        // Enter rescans; it never closes the window.
        m_engine.RequestRescan();
        return TRUE;
    case IDC_MAIN_REFRESH:
        m_engine.RequestRefresh();
        return TRUE;
    case IDC_MAIN_SINGLE:
        OpenSingleDialog();
        break;
    case IDC_MAIN_BROWSE:
        // Nothing before a camera has been chosen (the selection is all zeros).
        if (m_SelDevice.message.idSerial[0]) {
            const std::wstring url = WebPageAddress(m_SelDevice);
            const bool chinese = GetLangId() == 0;
            if (!url.empty())
                OpenWebPage(url);
            else
                ::MessageBoxW(m_hWnd,
                              chinese ? L"该设备没有报告可用的 IP 地址。"
                                      : L"The camera reports no usable IP address.",
                              chinese ? L"提示" : L"Message", MB_OK | MB_ICONWARNING);
        }
        break;
    case IDC_MAIN_GROUP:
        OpenGroupDialog();
        break;
    case IDC_MAIN_LANG:
        // Chosen from the open list (it closes up), or with the arrow keys on the closed list (the
        // selection changes with no list open): either way the language follows the box.
        if (code == CBN_CLOSEUP || (code == CBN_SELCHANGE &&
                                    !::SendDlgItemMessageW(m_hWnd, IDC_MAIN_LANG, CB_GETDROPPEDSTATE, 0, 0)))
            if (GetComboSel(IDC_MAIN_LANG) >= 0 && GetComboSel(IDC_MAIN_LANG) != GetLangId())
                SetGlobalLanguage(GetComboSel(IDC_MAIN_LANG));
        break;
    case IDC_MAIN_ADDRESSES:
        FillLocalAddresses();
        break;
    case CMyListCtrl::CMD_DBLCLICK:
        TakeSelection();
        SendCommand(IDC_MAIN_SINGLE);
        break;
    case CMyListCtrl::CMD_CLICK:
        TakeSelection();
        break;
    default:
        break;
    }
    return CMyDialog::OnCommand(wParam, lParam);
}

void CMainDlg::ShowSettingsDialog(CMyDialog* pDlg)
{
    pDlg->ShowDialog(2);
}

void CMainDlg::OpenGroupDialog()
{
    if (!m_pGroupSetDlg)
        return;
    ShowSettingsDialog(m_pGroupSetDlg.get());
    LoadGroupDialog();
}

void CMainDlg::OpenSingleDialog()
{
    if (m_SelDevice.flags & DEVICE_ONVIF) {
        RefuseOnvifEdit();
        return;
    }
    if (!HasUsableLanIp(m_SelDevice) || !m_pDeviceSetDlg)
        return;
    if (!m_bSelAnswering) {
        // Its copy is from before the last rescan: what it holds may no longer be true.
        const bool bChinese = GetLangId() == 0;
        const std::wstring text =
            (bChinese ? L"所选设备自上次搜索以来没有应答："
                      : L"The selected camera has not answered since the last rescan: ") +
            WideFieldText(m_SelDevice.message.idSerial);
        ::MessageBoxW(m_hWnd, text.c_str(), bChinese ? L"提示" : L"Message", MB_OK | MB_ICONWARNING);
        return;
    }
    if (m_SelDevice.flags & DEVICE_SHARED_SERIAL) {
        // A set-parameters message is addressed by idSerial: both cameras would take it.
        const bool bChinese = GetLangId() == 0;
        const std::wstring text =
            bChinese ? L"两台设备使用同一序列号 " + WideFieldText(m_SelDevice.message.idSerial) +
                           L"。\n在这里发送的设置会被这两台设备同时接受。\n\n仍要编辑吗？"
                     : L"Two devices share this serial: " + WideFieldText(m_SelDevice.message.idSerial) +
                           L".\nSettings sent from here reach both of them.\n\nModify anyway?";
        if (ConfirmBox(text) != IDOK)
            return;
    }
    m_pDeviceSetDlg->LoadDevice(&m_SelDevice);
    if (!m_pDeviceSetDlg->IsWindowVisible())
        ShowSettingsDialog(m_pDeviceSetDlg.get());
}

int CMainDlg::ConfirmBox(const std::wstring& text)
{
    return ::MessageBoxW(m_hWnd, text.c_str(), GetLangId() == 0 ? L"提示" : L"Message",
                         MB_OKCANCEL | MB_ICONWARNING | MB_DEFBUTTON2);
}

void CMainDlg::FollowSelection(const DeviceRecord& record)
{
    if (!m_SelDevice.message.idSerial[0] || !SameDevice(m_SelDevice.message, record.message))
        return;
    m_SelDevice = record;
    m_bSelAnswering = true;
}

void CMainDlg::TakeSelection()
{
    if (!m_pDeviceList)
        return;
    // The rows change only on this thread, and the list forgets its current row when they are
    // cleared, so the row read here is the camera that was clicked.
    const int row = m_pDeviceList->GetCurRow();
    if (row < 0) {
        std::memset(&m_SelDevice, 0, sizeof m_SelDevice);
        return;
    }
    if (const DeviceRecord* record = m_rows.RecordAt(row)) {
        std::memcpy(&m_SelDevice, record, sizeof m_SelDevice);
        m_bSelAnswering = true;
    }
}

std::array<std::wstring, CMainDlg::COLUMN_COUNT> CMainDlg::ColumnTitles() const
{
    std::array<std::wstring, COLUMN_COUNT> titles;
    for (int col = 0; col < COLUMN_COUNT; ++col)
        titles[static_cast<size_t>(col)] = GetLangId() == 0 ? kColumns[col].chinese : kColumns[col].english;
    return titles;
}

void CMainDlg::SortCameraList(int nCol)
{
    m_rows.SortBy(nCol);
    if (!m_pDeviceList)
        return;
    CMyHeaderCtrl& header = m_pDeviceList->GetHeader();
    if (!header.m_hWnd)
        return;
    for (int col = 0; col < COLUMN_COUNT; ++col) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        if (!header.GetItem(col, &item))
            continue;
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (col == m_rows.GetSortColumn())
            item.fmt |= m_rows.IsSortAscending() ? HDF_SORTUP : HDF_SORTDOWN;
        header.SetItem(col, &item);
    }
    header.Invalidate();
}

bool CMainDlg::ExportCameraList(const std::wstring& path) const
{
    const std::string csv = m_rows.CsvText(ColumnTitles());
    bool ok = false;
    {
        CUniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return false;
        DWORD written = 0;
        ok = ::WriteFile(file.Get(), csv.data(), static_cast<DWORD>(csv.size()), &written, nullptr) &&
             written == csv.size();
    } // closed before a failed file is deleted
    if (!ok)
        ::DeleteFileW(path.c_str()); // no half-written file left behind
    return ok;
}

std::wstring CMainDlg::AskExportPath()
{
    wchar_t file[MAX_PATH] = L"cameras.csv";
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_hWnd;
    ofn.lpstrFilter = L"CSV (*.csv)\0*.csv\0\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrDefExt = L"csv";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    return ::GetSaveFileNameW(&ofn) ? file : L"";
}

int CMainDlg::ChooseMenuCommand(HMENU hMenu, POINT ptScreen)
{
    return static_cast<int>(::TrackPopupMenu(hMenu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                             ptScreen.x, ptScreen.y, 0, m_hWnd, nullptr));
}

void CMainDlg::ShowCameraListMenu(int nRow, const POINT* pAt)
{
    if (!m_pDeviceList)
        return;
    const bool chinese = GetLangId() == 0;
    const bool bRow = m_rows.RecordAt(nRow) != nullptr;
    if (bRow) {
        // The right-clicked camera is the one the menu acts on, as a click would choose it.
        m_pDeviceList->MoveCurrentRow(nRow);
        TakeSelection();
    }
    HMENU hMenu = ::CreatePopupMenu();
    if (!hMenu)
        return;
    const UINT rowItem = bRow ? MF_STRING : MF_STRING | MF_GRAYED;
    ::AppendMenuW(hMenu, MF_STRING, IDM_LIST_COPY, chinese ? L"复制列表" : L"Copy List");
    ::AppendMenuW(hMenu, MF_STRING, IDM_LIST_EXPORT,
                  chinese ? L"导出为 CSV 文件 ..." : L"Export to CSV File ...");
    ::AppendMenuW(hMenu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(hMenu, rowItem, IDM_LIST_BROWSE, chinese ? L"打开网页 ..." : L"Browse on Web ...");
    ::AppendMenuW(hMenu, rowItem, IDM_LIST_SINGLE, chinese ? L"编辑 ..." : L"Modify By Single...");
    ::AppendMenuW(hMenu, MF_STRING, IDM_LIST_LOG_FOLDER,
                  chinese ? L"打开更改记录文件夹" : L"Open Change Log Folder");
    // The headings' sort, for those who do not click them.
    if (HMENU hSort = ::CreatePopupMenu()) {
        const std::array<std::wstring, COLUMN_COUNT> titles = ColumnTitles();
        for (int col = 0; col < COLUMN_COUNT; ++col)
            ::AppendMenuW(hSort, MF_STRING | (col == m_rows.GetSortColumn() ? MF_CHECKED : 0),
                          static_cast<UINT_PTR>(IDM_LIST_SORT + col),
                          titles[static_cast<size_t>(col)].c_str());
        ::AppendMenuW(hMenu, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuW(hMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(hSort), chinese ? L"排序" : L"Sort By");
    }
    // Where and what discovery searches: the local addresses, and devices of other makers too (the
    // protocol's name reads the same in both languages).
    ::AppendMenuW(hMenu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(hMenu, MF_STRING, IDM_LIST_SEARCH_ON, chinese ? L"搜索网卡 ..." : L"Search on...");
    ::AppendMenuW(hMenu, MF_STRING | (m_bOnvifOn ? MF_CHECKED : 0), IDM_LIST_ONVIF, L"ONVIF");
    POINT pt{};
    if (pAt)
        pt = *pAt;
    else
        ::GetCursorPos(&pt);
    const int command = ChooseMenuCommand(hMenu, pt);
    ::DestroyMenu(hMenu);
    switch (command) {
    case IDM_LIST_COPY:
        // Quoted and made safe for a spreadsheet like the CSV file (Ctrl+C keeps its plain form).
        CopyToClipboard(m_rows.ListText(ColumnTitles()));
        break;
    case IDM_LIST_EXPORT: {
        const std::wstring path = AskExportPath();
        if (!path.empty() && !ExportCameraList(path))
            ::MessageBoxW(
                m_hWnd,
                (std::wstring(chinese ? L"无法写入文件：" : L"Cannot write the file: ") + path).c_str(),
                chinese ? L"提示" : L"Message", MB_OK | MB_ICONWARNING);
        break;
    }
    case IDM_LIST_BROWSE:
        if (bRow)
            SendMessage(WM_COMMAND, MAKEWPARAM(IDC_MAIN_BROWSE, BN_CLICKED), 0);
        break;
    case IDM_LIST_SINGLE:
        if (bRow)
            SendMessage(WM_COMMAND, MAKEWPARAM(IDC_MAIN_SINGLE, BN_CLICKED), 0);
        break;
    case IDM_LIST_SEARCH_ON:
        ChooseSearchedAddresses();
        break;
    case IDM_LIST_ONVIF:
        SwitchOnvif(!m_bOnvifOn);
        break;
    case IDM_LIST_LOG_FOLDER:
        OpenFolder(CChangeLog::FolderOf(CChangeLog::DefaultPath()));
        break;
    default:
        if (command >= IDM_LIST_SORT && command < IDM_LIST_SORT + COLUMN_COUNT)
            SortCameraList(command - IDM_LIST_SORT);
        break;
    }
}

BOOL CMainDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    // The list answers its own requests (cell texts) first.
    if (CMyDialog::OnNotify(wParam, lParam, pResult))
        return TRUE;
    const auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
    if (!hdr || !m_pDeviceList || hdr->hwndFrom != m_pDeviceList->m_hWnd)
        return FALSE;
    switch (hdr->code) {
    case LVN_COLUMNCLICK:
        SortCameraList(reinterpret_cast<const NMLISTVIEW*>(lParam)->iSubItem);
        return TRUE;
    case NM_RCLICK:
        ShowCameraListMenu(reinterpret_cast<const NMITEMACTIVATE*>(lParam)->iItem);
        return TRUE;
    case LVN_ITEMCHANGED: {
        // The focus moved to a row (arrow, Home, End and Page keys as well as clicks): that camera
        // is the chosen one.
        const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
        if (change->iItem >= 0 && (change->uChanged & LVIF_STATE) && (change->uNewState & LVIS_FOCUSED) &&
            !(change->uOldState & LVIS_FOCUSED) && m_rows.RecordAt(change->iItem)) {
            m_pDeviceList->MoveCurrentRow(change->iItem);
            TakeSelection();
        }
        return FALSE;
    }
    default:
        return FALSE;
    }
}

void CMainDlg::OpenFolder(const std::wstring& folder)
{
    ::ShellExecuteW(m_hWnd, L"open", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void CMainDlg::OpenWebPage(const std::wstring& url)
{
    ::ShellExecuteW(m_hWnd, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

int CMainDlg::ThreadProc(int nIndex)
{
    switch (nIndex) {
    case CDiscoveryEngine::RESCAN_WORKER:
        return m_engine.RescanPass();
    case CDiscoveryEngine::RECEIVE_WORKER:
        return m_engine.ReceivePass();
    default:
        return 0;
    }
}

void CMainDlg::OnCancel()
{
    if (!m_bEndsProcessOnClose) {
        CMyDialog::OnCancel();
        return;
    }
    // Hiding a shown top-level window can take seconds (Wine without a window manager waits 2 s
    // for one that is not there, for each window), and nothing is kept from the windows: every
    // setting is written when it changes. So the workers stop, each at a safe point (nothing
    // half sent, sockets closed), and the process ends with its windows.
    if (m_pGroupSetDlg)
        m_pGroupSetDlg->StopAllThreads();
    if (m_pDeviceSetDlg)
        m_pDeviceSetDlg->StopAllThreads();
    ShutdownDiscovery();
    std::fflush(nullptr);
    ::ExitProcess(0);
}

void CMainDlg::ShutdownDiscovery()
{
    // The passes end before the list and its records go away.
    m_engine.BeginShutdown();
    StopAllThreads();
    m_engine.EndShutdown();
    m_onvif.Stop(); // the rescan worker, which steers it, has stopped
}

LRESULT CMainDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
            CAboutDlg about;
            about.DoModal();
            return 0;
        }
        break;
    case WM_PAINT:
        if (PaintMinimised())
            return 0;
        break;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<LRESULT>(m_hIcon);
    case WM_CONTEXTMENU:
        // From the keyboard (lParam -1, also sent by accessibility tools); a right-click's menu
        // comes with NM_RCLICK.
        if (m_pDeviceList && reinterpret_cast<HWND>(wParam) == m_pDeviceList->m_hWnd && lParam == -1) {
            ShowCameraListMenuAtFocus();
            return 0;
        }
        break;
    case WM_ONVIF_NEWS:
        ShowOnvifNews();
        return 0;
    case WM_DESTROY:
        m_hOnvifWindow = nullptr;
        ShutdownDiscovery();
        m_rows.Bind(nullptr);
        m_pDeviceList = nullptr;
        break;
    default:
        break;
    }
    return CMyDialog::WindowProc(message, wParam, lParam);
}

bool CMainDlg::PaintMinimised()
{
    if (!IsIconic())
        return false;
    PAINTSTRUCT ps;
    HDC hDC = ::BeginPaint(m_hWnd, &ps);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(hDC), 0);
    RECT rc{};
    GetClientRect(&rc);
    const int x = (rc.right - rc.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (rc.bottom - rc.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(hDC, x, y, m_hIcon);
    ::EndPaint(m_hWnd, &ps);
    return true;
}

// ---------------------------------------------------------------------------------------------
// The camera rows, written for the discovery workers.

void CMainDlg::ClearCameraRows()
{
    // Called with the camera table's lock held: only the window's own work here.
    CallOnWindowThread([this] {
        m_rows.Clear();
        m_bSelAnswering = false;
        for (CCameraReportObserver* pObserver : m_observers)
            pObserver->OnCamerasCleared();
        WriteCount();
    });
}

void CMainDlg::StartScan(std::uint32_t nScanId, bool bCleared)
{
    // Asked here, on the rescan worker and without the camera table's lock: the system's answer
    // can take a while, and the window must not wait for it.
    const std::vector<CCameraRows::Subnet> subnets = LocalSubnets();
    const std::wstring addresses = LocalAddressesText();
    SteerOnvif(bCleared);
    CallOnWindowThread([this, &subnets, &addresses, nScanId, bCleared] {
        m_rows.SetLocalSubnets(subnets);
        ShowSearchedAddresses(addresses);
        for (CCameraReportObserver* pObserver : m_observers)
            pObserver->OnScanStarted(nScanId, bCleared);
    });
}

void CMainDlg::ShowCameras(const std::vector<ShownCamera>& cameras, bool bMoreWaiting)
{
    CallOnWindowThread([this, &cameras, bMoreWaiting] {
        m_rows.Show(cameras);
        for (const ShownCamera& camera : cameras)
            FollowSelection(*camera.pRecord);
        for (CCameraReportObserver* pObserver : m_observers)
            for (const ShownCamera& camera : cameras)
                pObserver->OnCameraReported(*camera.pRecord);
        // The label repaints at once when written; in a burst it follows now and then, and when
        // the socket is drained.
        if (!bMoreWaiting || ::GetTickCount() - m_dwCountWritten >= BURST_COUNT_PERIOD_MS)
            WriteCount();
    });
}

void CMainDlg::AddCameraObserver(CCameraReportObserver* pObserver)
{
    if (pObserver && std::find(m_observers.begin(), m_observers.end(), pObserver) == m_observers.end())
        m_observers.push_back(pObserver);
}

void CMainDlg::RemoveCameraObserver(CCameraReportObserver* pObserver)
{
    m_observers.erase(std::remove(m_observers.begin(), m_observers.end(), pObserver), m_observers.end());
}

void CMainDlg::EndCameraBurst()
{
    CallOnWindowThread([this] { WriteCount(); });
}

void CMainDlg::WriteCount()
{
    m_rows.SyncList();
    // A device of another maker leaves its row (a Bye, or it turned out to be a listed camera):
    // the choice follows the list's current row, which is forgotten when its row goes.
    if (m_SelDevice.flags & DEVICE_ONVIF)
        TakeSelection();
    // A full table drops new cameras, and a receive pass that failed was started again: the
    // count says so, beside the number, rather than in a message box per event.
    const int nRows = m_rows.GetRowCount();
    const bool chinese = GetLangId() == 0;
    const wchar_t* pszNote = nullptr;
    if (nRows - m_rows.GetOnvifRowCount() >= CDeviceTable::MAX_CAMERAS)
        pszNote = chinese ? L" (列表已满)" : L" (list full)";
    else if (m_engine.GetReceiveFailures() > 0)
        pszNote = chinese ? L" (接收已重启)" : L" (receiving restarted)";
    std::wstring text = std::to_wstring(nRows);
    if (pszNote)
        text += pszNote;
    // Nothing can answer when no address sends the request: say why the list stays empty.
    if (nRows == 0 && m_bNothingSearched)
        text = chinese ? L"未搜索任何网卡" : L"No address searched";
    // A bare number always fits; a note may need the caption's room.
    if (pszNote || m_bCountWide || text.find_first_not_of(L"0123456789") != std::wstring::npos)
        FitCountLabel(text);
    SetItemText(IDC_MAIN_COUNT, text.c_str());
    m_dwCountWritten = ::GetTickCount();
}
