#include "app/ChangeCheck.h"

#include "base/Ipv4Text.h"
#include "base/TextConvert.h"

#include <algorithm>

namespace {

constexpr UINT_PTR TIMER_ID = 1;
const wchar_t TIMER_CLASS[] = L"LarkvaneChangeCheckTimer";

// How a received name is listed: UTF-8 on the wire, converted to the ANSI code page as the
// discovery engine converts it (cut by whole characters to fit the field with its zero).
std::string ListedName(const char (&utf8)[sizeof(WireMessage::name)])
{
    char ansi[sizeof(WireMessage::name)] = {};
    TextUtf8ToAnsiFit(utf8, sizeof utf8, ansi, sizeof ansi);
    return ReadTextField(ansi);
}

// A camera in access-point mode answers from this address (the discovery engine lists it as WiFi).
constexpr std::uint32_t AP_MODE_ADDRESS = 0xC0A86464; // 192.168.100.100

bool Elapsed(DWORD now, DWORD since, DWORD span)
{
    return now - since >= span;
}

} // namespace

CChangeCheck::CChangeCheck() = default;

CChangeCheck::~CChangeCheck()
{
    StopTimer();
    if (m_hTimerWnd)
        ::DestroyWindow(m_hTimerWnd);
}

void CChangeCheck::SetTimes(DWORD settleMs, DWORD periodMs, DWORD windowMs)
{
    if (settleMs)
        m_dwSettle = settleMs;
    if (periodMs)
        m_dwPeriod = periodMs;
    if (windowMs)
        m_dwWindow = windowMs;
}

void CChangeCheck::Expect(const WireMessage& sent, unsigned fields, DWORD now)
{
    m_dwLastTick = now;
    Entry entry;
    entry.idSerial = ReadTextField(sent.idSerial);
    entry.fields = fields & FIELDS_SETTINGS;
    // With DHCP on the camera takes its addresses from the network: what was typed there is not
    // what it will report.
    if ((entry.fields & FIELD_LAN_DHCP) && sent.lanDhcp)
        entry.fields &= ~(FIELD_LAN_IP | FIELD_LAN_MASK | FIELD_LAN_GATEWAY | FIELD_LAN_DNS);
    if ((entry.fields & FIELD_WIFI_DHCP) && sent.wifiDhcp)
        entry.fields &= ~(FIELD_WIFI_IP | FIELD_WIFI_MASK | FIELD_WIFI_GATEWAY | FIELD_WIFI_DNS);
    entry.sent = sent;
    const std::string listed = ListedName(sent.name);
    WriteTextField(entry.sent.name, listed);
    entry.sentAt = now;
    const bool bWasActive = IsActive();
    auto it = std::find_if(m_entries.begin(), m_entries.end(),
                           [&entry](const Entry& e) { return SameCamera(e.idSerial, entry.idSerial); });
    if (it != m_entries.end())
        *it = entry;
    else
        it = m_entries.insert(m_entries.end(), entry);
    // The first request waits for the first camera's settle delay; later messages do not push it
    // back (each camera is asked at the first request after its own delay).
    if (!bWasActive)
        m_dwNextRescan = now + m_dwSettle;
    Changed(*it);
    if (m_bTimerDriven)
        StartTimer();
}

void CChangeCheck::Cancel()
{
    m_entries.clear();
    StopTimer();
}

bool CChangeCheck::IsActive() const
{
    return std::any_of(m_entries.begin(), m_entries.end(), [](const Entry& e) { return e.IsOpen(); });
}

const CChangeCheck::Entry* CChangeCheck::Find(const std::string& idSerial) const
{
    for (const Entry& entry : m_entries)
        if (SameCamera(entry.idSerial, idSerial))
            return &entry;
    return nullptr;
}

void CChangeCheck::Changed(const Entry& entry)
{
    if (m_onChange)
        m_onChange(entry);
}

void CChangeCheck::Tick(DWORD now)
{
    m_dwLastTick = now;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        Entry& entry = m_entries[i];
        if (!entry.IsOpen())
            continue;
        // The window runs from the first request that could see the change. A camera never asked
        // (its owner stopped asking) still ends, after a window and a half past its delay.
        const bool bTimeUp = entry.listenScan ? Elapsed(now, entry.listenSince, m_dwWindow)
                                              : Elapsed(now, entry.sentAt, m_dwSettle + m_dwWindow * 3 / 2);
        if (!bTimeUp)
            continue;
        // Time is up: a camera that never answered is reported so; one that answered with other
        // values keeps its Different.
        entry.bDone = true;
        if (entry.state == State::Sent)
            entry.state = State::NoAnswer;
        // The end is news even when the state stays (the change log writes the final status).
        Changed(m_entries[i]);
    }
    if (!IsActive()) {
        StopTimer();
        return;
    }
    if (static_cast<LONG>(now - m_dwNextRescan) < 0)
        return;
    bool bAsk = false;
    for (Entry& entry : m_entries)
        if (entry.IsOpen() && Elapsed(now, entry.sentAt, m_dwSettle)) {
            entry.bArmed = true;
            bAsk = true;
        }
    if (!bAsk)
        return;
    m_dwNextRescan = now + m_dwPeriod;
    if (m_rescan)
        m_rescan();
}

void CChangeCheck::OnScanStarted(std::uint32_t nScanId, bool /*bCleared*/)
{
    // Any request counts, the operator's too: what matters is that it left after the delay.
    const DWORD now = Now();
    for (Entry& entry : m_entries)
        if (entry.IsOpen() && entry.bArmed && !entry.listenScan) {
            entry.listenScan = nScanId;
            entry.listenSince = now;
        }
}

unsigned CChangeCheck::Compare(const Entry& entry, const DeviceRecord& reply)
{
    const WireMessage& m = reply.message;
    const WireMessage& s = entry.sent;
    // Addresses are compared as addresses ("192.168.1.010" is 192.168.1.10), other texts as bytes.
    auto sameText = [](const auto& a, const auto& b) {
        const std::string x = ReadTextField(a), y = ReadTextField(b);
        const auto ax = ParseIpv4(std::string_view(x)), ay = ParseIpv4(std::string_view(y));
        return ax && ay ? *ax == *ay : x == y;
    };
    struct TextField {
        unsigned field;
        bool same;
    };
    const TextField checks[] = {
        {FIELD_LAN_IP, sameText(s.lanIp, m.lanIp)},
        {FIELD_LAN_GATEWAY, sameText(s.lanGateway, m.lanGateway)},
        {FIELD_NAME, ReadTextField(s.name) == ReadTextField(m.name)},
        {FIELD_LAN_MASK, sameText(s.lanMask, m.lanMask)},
        {FIELD_LAN_DNS, sameText(s.lanDns, m.lanDns)},
        {FIELD_LAN_DHCP, (s.lanDhcp != 0) == (m.lanDhcp != 0)},
        {FIELD_WIFI_IP, sameText(s.wifiIp, m.wifiIp)},
        {FIELD_WIFI_MASK, sameText(s.wifiMask, m.wifiMask)},
        {FIELD_WIFI_GATEWAY, sameText(s.wifiGateway, m.wifiGateway)},
        {FIELD_WIFI_DNS, sameText(s.wifiDns, m.wifiDns)},
        {FIELD_WIFI_DHCP, (s.wifiDhcp != 0) == (m.wifiDhcp != 0)},
        {FIELD_SSID, ReadTextField(s.ssid) == ReadTextField(m.ssid)},
        {FIELD_AP_MODE, (s.apMode != 0) == (m.apMode != 0)},
        {FIELD_ENCRYPT, s.encryptType == m.encryptType},
    };
    unsigned differing = 0;
    for (const TextField& check : checks)
        if ((entry.fields & check.field) && !check.same)
            differing |= check.field;
    // A camera that reports a new address but still answers from another one has not taken it.
    if ((entry.fields & (FIELD_LAN_IP | FIELD_WIFI_IP)) && reply.senderIp != 0) {
        const std::string lanIp = ReadTextField(m.lanIp), wifiIp = ReadTextField(m.wifiIp);
        const auto claimedLan = ParseIpv4(std::string_view(lanIp));
        const auto claimedWifi = ParseIpv4(std::string_view(wifiIp));
        const bool bClaimed = (claimedLan && *claimedLan == reply.senderIp) ||
                              (claimedWifi && *claimedWifi == reply.senderIp) ||
                              reply.senderIp == AP_MODE_ADDRESS;
        if (!bClaimed)
            differing |= FIELD_REPLY_ADDRESS;
    }
    return differing;
}

void CChangeCheck::OnCameraReported(const DeviceRecord& record)
{
    const std::string idSerial = ReadTextField(record.message.idSerial);
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        Entry& entry = m_entries[i];
        // Only a reply to a request that left after the camera's delay is proof.
        if (!entry.IsOpen() || !entry.listenScan || record.scanId < entry.listenScan ||
            !SameCamera(entry.idSerial, idSerial))
            continue;
        const unsigned differing = Compare(entry, record);
        const State state = differing ? State::Different : State::Confirmed;
        if (state == State::Confirmed)
            entry.bDone = true;
        if (state != entry.state || differing != entry.differing) {
            entry.state = state;
            entry.differing = differing;
            Changed(m_entries[i]);
        }
    }
    if (!IsActive())
        StopTimer();
}

std::wstring CChangeCheck::StateText(const Entry& entry, int nLangId)
{
    const bool bChinese = nLangId == 0;
    switch (entry.state) {
    case State::Sent:
        return bChinese ? L"已发送" : L"Sent";
    case State::Confirmed:
        return bChinese ? L"已确认" : L"Confirmed";
    case State::NoAnswer:
        return bChinese ? L"无应答" : L"No answer";
    case State::Different:
        break;
    }
    struct FieldName {
        unsigned field;
        const wchar_t* chinese;
        const wchar_t* english;
    };
    static const FieldName names[] = {
        {FIELD_LAN_IP, L"IP地址", L"IP Address"},
        {FIELD_LAN_GATEWAY, L"网关", L"GateWay"},
        {FIELD_NAME, L"名称", L"Name"},
        {FIELD_LAN_MASK, L"掩码", L"Mask"},
        {FIELD_LAN_DNS, L"DNS", L"DNS"},
        {FIELD_LAN_DHCP, L"DHCP", L"DHCP"},
        {FIELD_WIFI_IP, L"WiFi IP地址", L"WiFi IP Address"},
        {FIELD_WIFI_MASK, L"WiFi 掩码", L"WiFi Mask"},
        {FIELD_WIFI_GATEWAY, L"WiFi 网关", L"WiFi GateWay"},
        {FIELD_WIFI_DNS, L"WiFi DNS", L"WiFi DNS"},
        {FIELD_WIFI_DHCP, L"WiFi DHCP", L"WiFi DHCP"},
        {FIELD_SSID, L"SSID", L"SSID"},
        {FIELD_AP_MODE, L"WiFi 网卡模式", L"AP mode"},
        {FIELD_ENCRYPT, L"加密类型", L"Encrypt Type"},
        {FIELD_REPLY_ADDRESS, L"仍从旧地址应答", L"still answers from its old address"},
    };
    std::wstring text = bChinese ? L"不一致" : L"Different";
    const wchar_t* separator = L": ";
    for (const FieldName& name : names)
        if (entry.differing & name.field) {
            text += separator;
            text += bChinese ? name.chinese : name.english;
            separator = L", ";
        }
    return text;
}

// ---- The timer ------------------------------------------------------------------------------------

LRESULT CALLBACK CChangeCheck::TimerWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER && wParam == TIMER_ID) {
        if (auto* pCheck = reinterpret_cast<CChangeCheck*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA)))
            pCheck->Tick(::GetTickCount());
        return 0;
    }
    return ::DefWindowProcW(hWnd, message, wParam, lParam);
}

void CChangeCheck::StartTimer()
{
    if (m_bTimerOn)
        return;
    if (!m_hTimerWnd) {
        static const ATOM atom = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = TimerWndProc;
            wc.hInstance = ::GetModuleHandleW(nullptr);
            wc.lpszClassName = TIMER_CLASS;
            return ::RegisterClassW(&wc);
        }();
        (void)atom;
        m_hTimerWnd = ::CreateWindowExW(0, TIMER_CLASS, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        ::GetModuleHandleW(nullptr), nullptr);
        if (!m_hTimerWnd)
            return;
        ::SetWindowLongPtrW(m_hTimerWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    // Fine enough for the delays, coarse enough to cost nothing while idle between rescans.
    const UINT tick = std::clamp<UINT>(std::min(m_dwSettle, m_dwPeriod) / 4, 20, 250);
    m_bTimerOn = ::SetTimer(m_hTimerWnd, TIMER_ID, tick, nullptr) != 0;
}

void CChangeCheck::StopTimer()
{
    if (m_bTimerOn && m_hTimerWnd)
        ::KillTimer(m_hTimerWnd, TIMER_ID);
    m_bTimerOn = false;
}
