#include "app/DeviceSetDlg.h"

#include "app/InUseMarks.h"
#include "app/SettingsFields.h"
#include "app/SettingsText.h"
#include "app/resource.h"
#include "base/Ipv4Text.h"
#include "base/TextConvert.h"
#include "net/SocketHelpers.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <optional>

namespace {

const wchar_t* const ENCRYPT_TYPES[] = {L"WEP", L"WPA-PSK", L"WPA2-PSK", L"NONE"};

// In the order ApplyLanguage writes them.
const SettingsItemText ITEM_TEXTS[] = {
    {IDC_DEV_LAN_GROUP, L"有线网络", L"LAN"},
    {IDC_DEV_LAN_IP_LABEL, L"IP地址:", L"IP Address:"},
    {IDC_DEV_LAN_MASK_LABEL, L"掩码:", L"Mask:"},
    {IDC_DEV_LAN_GATEWAY_LABEL, L"网关:", L"GateWay:"},
    {IDC_DEV_LAN_DNS_LABEL, L"DNS:", L"DNS:"},
    {IDC_DEV_LAN_DHCP, L"打开DHCP(&D)", L"Enable &DHCP"},
    {IDC_DEV_WIFI_GROUP, L"WiFi网络", L"WiFi"},
    {IDC_DEV_WIFI_IP_LABEL, L"IP地址:", L"IP Address:"},
    {IDC_DEV_WIFI_MASK_LABEL, L"掩码:", L"Mask:"},
    {IDC_DEV_WIFI_GATEWAY_LABEL, L"网关:", L"GataWay:"},
    {IDC_DEV_WIFI_DNS_LABEL, L"DNS:", L"DNS:"},
    {IDC_DEV_WIFI_DHCP, L"打开DHCP(&H)", L"Enable D&HCP"},
    {IDC_DEV_AP_PASSWORD_LABEL, L"AP密码:", L"AP Password:"},
    {IDC_DEV_AP_MODE, L"打开 WiFi 网卡模式(&A)", L"Enable &AP mode"},
    {IDC_DEV_SSID_LABEL, L"SSID:", L"SSID:"},
    {IDC_DEV_WIFI_PASSWORD_LABEL, L"密码:", L"Password:"},
    {IDC_DEV_ENCRYPT_LABEL, L"加密类型:", L"Encrypt Type:"},
    {IDC_DEV_NAME_LABEL, L"设备名称:", L"Camera Name:"},
    {IDC_DEV_APPLY, L"设置参数(&S)", L"Do &Setting"},
    {IDC_DEV_CURRENT_LABEL, L"当前设备:", L"Currently:"},
    {IDOK, L"返回(&R)", L"&Return"},
};

const wchar_t* TextOf(int nID, int nLangId)
{
    for (const SettingsItemText& item : ITEM_TEXTS)
        if (item.nID == nID)
            return nLangId == 0 ? item.chinese : item.english;
    return L"";
}

// An address edit of the dialog and the field of the message it goes to.
struct AddressField {
    int nEdit, nGroup, nLabel;
    std::size_t offset, width;
    bool bRequired; // unless DHCP is on; the others may be left empty
};

#define LV_FIELD(member) offsetof(WireMessage, member), sizeof(WireMessage::member)
const AddressField ADDRESS_FIELDS[] = {
    {IDC_DEV_LAN_IP, IDC_DEV_LAN_GROUP, IDC_DEV_LAN_IP_LABEL, LV_FIELD(lanIp), true},
    {IDC_DEV_LAN_MASK, IDC_DEV_LAN_GROUP, IDC_DEV_LAN_MASK_LABEL, LV_FIELD(lanMask), true},
    {IDC_DEV_LAN_GATEWAY, IDC_DEV_LAN_GROUP, IDC_DEV_LAN_GATEWAY_LABEL, LV_FIELD(lanGateway), false},
    {IDC_DEV_LAN_DNS, IDC_DEV_LAN_GROUP, IDC_DEV_LAN_DNS_LABEL, LV_FIELD(lanDns), false},
    {IDC_DEV_WIFI_IP, IDC_DEV_WIFI_GROUP, IDC_DEV_WIFI_IP_LABEL, LV_FIELD(wifiIp), false},
    {IDC_DEV_WIFI_MASK, IDC_DEV_WIFI_GROUP, IDC_DEV_WIFI_MASK_LABEL, LV_FIELD(wifiMask), false},
    {IDC_DEV_WIFI_GATEWAY, IDC_DEV_WIFI_GROUP, IDC_DEV_WIFI_GATEWAY_LABEL, LV_FIELD(wifiGateway), false},
    {IDC_DEV_WIFI_DNS, IDC_DEV_WIFI_GROUP, IDC_DEV_WIFI_DNS_LABEL, LV_FIELD(wifiDns), false},
};
#undef LV_FIELD
// The address fields whose new value is asked on the network first.
constexpr std::size_t LAN_IP_FIELD = 0, WIFI_IP_FIELD = 4;

} // namespace

CDeviceSetDlg::CDeviceSetDlg(CWnd* pParent) : CMyDialog(IDD_DEVICESET_DIALOG, pParent) {}

std::wstring CDeviceSetDlg::CurrentCameraText(const std::wstring& name, const WireMessage& message)
{
    return name + L"(" + WideFieldText(message.idSerial) + L")";
}

// ---- Window ---------------------------------------------------------------------------------------

CDeviceSetDlg::~CDeviceSetDlg()
{
    StopAllThreads();
}

void CDeviceSetDlg::QueueSend(const WireMessage& message)
{
    {
        std::lock_guard<std::mutex> guard(m_sendLock);
        m_toSend.push_back(message);
    }
    SetSignal(SEND_WORKER);
}

int CDeviceSetDlg::ThreadProc(int nIndex)
{
    if (nIndex != SEND_WORKER || WaitSignal(SEND_WORKER, INFINITE) != WAIT_OBJECT_0 ||
        !IsThreadRunning(nIndex))
        return 0;
    std::vector<WireMessage> messages;
    {
        std::lock_guard<std::mutex> guard(m_sendLock);
        messages.swap(m_toSend);
    }
    for (const WireMessage& message : messages)
        GenSockBroadcastSend(CAMERA_PORT, &message, static_cast<int>(MESSAGE_SIZE), 0, nullptr);
    return 0;
}

BOOL CDeviceSetDlg::OnInitDialog()
{
    CMyDialog::OnInitDialog();
    StartThread(SEND_WORKER);
    for (const wchar_t* type : ENCRYPT_TYPES)
        AddComboString(IDC_DEV_ENCRYPT, type);

    SetItemColors(IDC_DEV_CURRENT, 0xFF0000, static_cast<COLORREF>(-1));
    SetItemFont(IDC_DEV_CURRENT_LABEL, 14, FW_BOLD, L"");
    SetItemFont(IDC_DEV_CURRENT, 14, FW_BOLD, L"");

    // The follow-up requests are the owner's (the main window's), and keep its list.
    m_check.SetRescan([this] {
        if (HWND hOwner = ::GetWindow(m_hWnd, GW_OWNER))
            ::SendMessageW(hOwner, WM_COMMAND, MAKEWPARAM(IDC_MAIN_REFRESH, 0), 0);
    });
    m_check.SetOnChange([this](const CChangeCheck::Entry& entry) {
        m_log.StatusChanged(entry, GetLangId());
        if (SameCamera(entry.idSerial, ReadTextField(m_device.message.idSerial)))
            ShowCheckStatus(GetLangId());
    });
    return TRUE;
}

void CDeviceSetDlg::ApplyLanguage(int nLangId)
{
    ApplyItemTexts(*this, ITEM_TEXTS, nLangId);
    if (m_hWnd)
        SetWindowText(nLangId == 0 ? L"单个摄像头参数设置" : L"Modify by Single");
    ShowCheckStatus(nLangId);
}

void CDeviceSetDlg::ShowCheckStatus(int nLangId)
{
    if (!m_hWnd)
        return;
    std::wstring text;
    if (const CChangeCheck::Entry* pEntry = m_check.Find(ReadTextField(m_device.message.idSerial)))
        text = std::wstring(CChangeCheck::StatusTitle(nLangId)) + L": " +
               CChangeCheck::StateText(*pEntry, nLangId);
    SetItemText(IDC_DEV_CHECK_STATUS, text.c_str());
}

BOOL CDeviceSetDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(wParam) == IDC_DEV_APPLY && HIWORD(wParam) == BN_CLICKED)
        DoSetting();
    return CMyDialog::OnCommand(wParam, lParam);
}

namespace {

// The edits and what each shows of a record.
struct EditField {
    int nId;
    std::wstring (*text)(const WireMessage&);
};
const EditField EDIT_FIELDS[] = {
    {IDC_DEV_LAN_IP, [](const WireMessage& m) { return WideFieldText(m.lanIp); }},
    {IDC_DEV_LAN_MASK, [](const WireMessage& m) { return WideFieldText(m.lanMask); }},
    {IDC_DEV_LAN_GATEWAY, [](const WireMessage& m) { return WideFieldText(m.lanGateway); }},
    {IDC_DEV_LAN_DNS, [](const WireMessage& m) { return WideFieldText(m.lanDns); }},
    {IDC_DEV_NAME, [](const WireMessage& m) { return WideFieldText(m.name); }},
    {IDC_DEV_WIFI_IP, [](const WireMessage& m) { return WideFieldText(m.wifiIp); }},
    {IDC_DEV_WIFI_MASK, [](const WireMessage& m) { return WideFieldText(m.wifiMask); }},
    {IDC_DEV_WIFI_GATEWAY, [](const WireMessage& m) { return WideFieldText(m.wifiGateway); }},
    {IDC_DEV_WIFI_DNS, [](const WireMessage& m) { return WideFieldText(m.wifiDns); }},
    {IDC_DEV_AP_PASSWORD, [](const WireMessage& m) { return WideFieldText(m.apPassword); }},
    {IDC_DEV_SSID, [](const WireMessage& m) { return WideFieldText(m.ssid); }},
    {IDC_DEV_WIFI_PASSWORD, [](const WireMessage& m) { return WideFieldText(m.wifiPassword); }},
};

struct CheckField {
    int nId;
    std::int32_t WireMessage::*flag;
};
const CheckField CHECK_FIELDS[] = {
    {IDC_DEV_LAN_DHCP, &WireMessage::lanDhcp},
    {IDC_DEV_AP_MODE, &WireMessage::apMode},
    {IDC_DEV_WIFI_DHCP, &WireMessage::wifiDhcp},
};

} // namespace

void CDeviceSetDlg::LoadDevice(const DeviceRecord* pRecord)
{
    if (!pRecord)
        return;
    EndProbe(); // a setting waiting for its probe was for the camera shown until now
    if (pRecord != &m_device)
        m_device = *pRecord;
    m_shown = m_device;
    const WireMessage& m = m_device.message;
    SetItemText(IDC_DEV_CURRENT, CurrentCameraText(WideFieldText(m.name), m).c_str());
    for (const EditField& field : EDIT_FIELDS)
        SetItemText(field.nId, field.text(m).c_str());
    for (const CheckField& field : CHECK_FIELDS)
        CheckDlgButton(field.nId, m.*field.flag ? BST_CHECKED : BST_UNCHECKED);
    SetComboSel(IDC_DEV_ENCRYPT, m.encryptType, TRUE);
    m_nShownEncrypt = GetComboSel(IDC_DEV_ENCRYPT);
    ShowCheckStatus(GetLangId());
}

bool CDeviceSetDlg::FieldsUntouched()
{
    const WireMessage& m = m_shown.message;
    for (const EditField& field : EDIT_FIELDS)
        if (GetDlgItemText(field.nId) != field.text(m))
            return false;
    for (const CheckField& field : CHECK_FIELDS)
        if ((IsDlgButtonChecked(field.nId) == BST_CHECKED) != (m.*field.flag != 0))
            return false;
    return GetComboSel(IDC_DEV_ENCRYPT) == m_nShownEncrypt;
}

void CDeviceSetDlg::OnCameraReported(const DeviceRecord& record)
{
    if (!m_device.message.idSerial[0] || !SameDevice(m_device.message, record.message))
        return;
    if (m_hWnd && FieldsUntouched()) {
        LoadDevice(&record);
        return;
    }
    // The operator's edits stay; what they do not cover comes from the reply.
    m_device = record;
}

void CDeviceSetDlg::DoSetting()
{
    const int nLangId = GetLangId();
    const bool bChinese = nLangId == 0;
    const wchar_t* caption = bChinese ? L"提示" : L"Message";

    // Every address is read before anything changes: one that does not read is refused by name
    // and nothing is sent. Empty is allowed where a camera can do without the value (DNS, the
    // WiFi side, and the wired address and mask under DHCP).
    std::optional<std::uint32_t> addresses[std::size(ADDRESS_FIELDS)];
    for (std::size_t i = 0; i < std::size(ADDRESS_FIELDS); ++i) {
        const AddressField& f = ADDRESS_FIELDS[i];
        const std::wstring typed = GetDlgItemText(f.nEdit);
        const int nDhcp = f.nGroup == IDC_DEV_LAN_GROUP ? IDC_DEV_LAN_DHCP : IDC_DEV_WIFI_DHCP;
        const bool bRequired = f.bRequired && IsDlgButtonChecked(nDhcp) != BST_CHECKED;
        if (typed.empty() && !bRequired)
            continue;
        addresses[i] = ParseIpv4(typed);
        if (!addresses[i]) {
            const std::wstring field =
                std::wstring(TextOf(f.nGroup, nLangId)) + L" " + FieldName(TextOf(f.nLabel, nLangId));
            const std::wstring text = AddressRefusal(field, nLangId, true);
            ::SetFocus(::GetDlgItem(m_hWnd, f.nEdit));
            ::MessageBoxW(m_hWnd, text.c_str(), caption, MB_OK | MB_ICONWARNING);
            return;
        }
    }

    if (m_nProbeId)
        return; // the button is disabled meanwhile; a key may still arrive
    // The edits go into a copy, which becomes the dialog's record once it is sent.
    DeviceRecord device = m_device;
    WireMessage& m = device.message;
    for (std::size_t i = 0; i < std::size(ADDRESS_FIELDS); ++i) {
        char* field = reinterpret_cast<char*>(&m) + ADDRESS_FIELDS[i].offset;
        if (addresses[i])
            WriteIpv4Field(field, ADDRESS_FIELDS[i].width, *addresses[i]);
        else
            WriteTextField(field, ADDRESS_FIELDS[i].width, "");
    }

    const std::wstring name = LimitTypedName(GetDlgItemText(IDC_DEV_NAME));
    WriteTypedName(m, name);
    m.lanDhcp = IsDlgButtonChecked(IDC_DEV_LAN_DHCP) == BST_CHECKED ? 1 : 0;

    WriteAnsiText(m.apPassword, sizeof m.apPassword, GetDlgItemText(IDC_DEV_AP_PASSWORD));
    m.apMode = IsDlgButtonChecked(IDC_DEV_AP_MODE) == BST_CHECKED ? 1 : 0;
    {
        const char* ssid = TextWideToAnsi(GetDlgItemText(IDC_DEV_SSID).c_str());
        WriteSsid(m, ssid ? ssid : "");
    }
    WriteAnsiText(m.wifiPassword, sizeof m.wifiPassword, GetDlgItemText(IDC_DEV_WIFI_PASSWORD));
    m.wifiDhcp = IsDlgButtonChecked(IDC_DEV_WIFI_DHCP) == BST_CHECKED ? 1 : 0;
    m.encryptType = GetComboSel(IDC_DEV_ENCRYPT);

    WireMessage message;
    BuildSetInfo(device, message);

    // A new address that another device may hold is asked first (a camera's own address never:
    // it answers itself). Under DHCP the typed addresses are not used.
    std::vector<std::uint32_t> fresh;
    const WireMessage& was = m_device.message;
    const auto& lan = addresses[LAN_IP_FIELD];
    const auto& wifi = addresses[WIFI_IP_FIELD];
    if (!m.lanDhcp && lan && ParseIpv4(ReadTextField(was.lanIp)) != lan)
        fresh.push_back(*lan);
    if (!m.wifiDhcp && wifi && ParseIpv4(ReadTextField(was.wifiIp)) != wifi && wifi != lan)
        fresh.push_back(*wifi);
    if (!fresh.empty()) {
        m_pendingDevice = device;
        m_pendingMessage = message;
        m_pendingName = name;
        m_nProbeId = m_probe.Start(fresh, m_hWnd, CInUseMarks::WM_PROBED);
        ::EnableWindow(::GetDlgItem(m_hWnd, IDC_DEV_APPLY), FALSE);
        return;
    }
    SendSetting(device, message, name);
}

LRESULT CDeviceSetDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == CInUseMarks::WM_PROBED) {
        OnProbed(static_cast<unsigned>(wParam));
        return 0;
    }
    // Closed ("Return") while its probe runs: the operator left the setting.
    if (message == WM_SHOWWINDOW && !wParam)
        EndProbe();
    return CMyDialog::WindowProc(message, wParam, lParam);
}

void CDeviceSetDlg::EndProbe()
{
    if (!m_nProbeId)
        return;
    m_nProbeId = 0;
    m_probe.Cancel();
    if (m_hWnd)
        ::EnableWindow(::GetDlgItem(m_hWnd, IDC_DEV_APPLY), TRUE);
}

void CDeviceSetDlg::OnProbed(unsigned id)
{
    std::vector<CAddressProbe::Answer> answers;
    if (!id || id != m_nProbeId || !m_probe.Result(id, answers))
        return;
    EndProbe();
    const int nLangId = GetLangId();
    std::wstring inUse;
    for (const CAddressProbe::Answer& answer : answers)
        if (answer.state == CAddressProbe::State::InUse)
            inUse +=
                L"\n" + FormatIpv4Wide(answer.address) + L": " + CInUseMarks::InUseText(answer.mac, nLangId);
    if (!inUse.empty()) {
        const std::wstring question =
            (nLangId == 0 ? L"新地址已被其他设备占用：" : L"A new address is in use:") + inUse +
            (nLangId == 0 ? L"\n\n仍要设置吗？" : L"\n\nSet it anyway?");
        if (::MessageBoxW(m_hWnd, question.c_str(), nLangId == 0 ? L"提示" : L"Message",
                          MB_YESNO | MB_ICONWARNING) != IDYES)
            return;
    }
    SendSetting(m_pendingDevice, m_pendingMessage, m_pendingName);
}

void CDeviceSetDlg::SendSetting(const DeviceRecord& device, const WireMessage& message,
                                const std::wstring& name)
{
    const bool bChinese = GetLangId() == 0;
    const wchar_t* caption = bChinese ? L"提示" : L"Message";
    const DeviceRecord before = m_device; // the camera as last heard, for the change log
    m_device = device;
    m_device.message = message; // the copy now holds what was sent
    SetItemText(IDC_DEV_CURRENT, CurrentCameraText(name, message).c_str());
    QueueSend(message);
    // The dialog writes every field; the check compares those a camera's reply carries back.
    m_log.Sent(before, message, CChangeCheck::FIELDS_SETTINGS, GetLangId());
    m_check.Expect(message, CChangeCheck::FIELDS_SETTINGS);

    // No camera answers a set-parameters message: the box can only say it went out. The status
    // line (the change check) says whether the camera took it.
    ::MessageBoxW(m_hWnd,
                  bChinese ? L"设置已发送。摄像头是否已采用，请看状态行。"
                           : L"The settings were sent. The status line shows whether the camera took them.",
                  caption, MB_OK | MB_ICONINFORMATION);
}
