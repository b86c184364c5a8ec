#include "app/ChangeCheck.h"

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
    Entry entry;
    entry.idSerial = ReadTextField(sent.idSerial);
    entry.fields = fields & FIELDS_ALL;
    entry.lanIp = ReadTextField(sent.lanIp);
    entry.lanGateway = ReadTextField(sent.lanGateway);
    entry.name = ListedName(sent.name);
    entry.sentAt = now;
    auto it = std::find_if(m_entries.begin(), m_entries.end(),
                           [&entry](const Entry& e) { return SameCamera(e.idSerial, entry.idSerial); });
    if (it != m_entries.end())
        *it = entry;
    else
        it = m_entries.insert(m_entries.end(), entry);
    // The first follow-up rescan waits for the settle delay of the latest message.
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
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        Entry& entry = m_entries[i];
        if (!entry.IsOpen() || !Elapsed(now, entry.sentAt, m_dwWindow))
            continue;
        // Time is up: a camera that never answered is reported so; one that answered with other
        // values keeps its Different.
        entry.bDone = true;
        if (entry.state == State::Sent) {
            entry.state = State::NoAnswer;
            Changed(m_entries[i]);
        }
    }
    if (!IsActive()) {
        StopTimer();
        return;
    }
    if (static_cast<LONG>(now - m_dwNextRescan) < 0)
        return;
    bool bArmed = false;
    for (Entry& entry : m_entries)
        if (entry.IsOpen() && Elapsed(now, entry.sentAt, m_dwSettle)) {
            entry.bArmed = true;
            bArmed = true;
        }
    if (!bArmed)
        return;
    m_dwNextRescan = now + m_dwPeriod;
    if (m_rescan)
        m_rescan();
}

void CChangeCheck::OnCamerasCleared()
{
    for (Entry& entry : m_entries)
        if (entry.IsOpen() && entry.bArmed)
            entry.bListening = true;
}

void CChangeCheck::OnCameraReported(const DeviceRecord& record)
{
    const std::string idSerial = ReadTextField(record.message.idSerial);
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        Entry& entry = m_entries[i];
        if (!entry.IsOpen() || !entry.bListening || !SameCamera(entry.idSerial, idSerial))
            continue;
        // The listed record's name is already in the ANSI code page.
        const WireMessage& m = record.message;
        unsigned differing = 0;
        if ((entry.fields & FIELD_LAN_IP) && ReadTextField(m.lanIp) != entry.lanIp)
            differing |= FIELD_LAN_IP;
        if ((entry.fields & FIELD_LAN_GATEWAY) && ReadTextField(m.lanGateway) != entry.lanGateway)
            differing |= FIELD_LAN_GATEWAY;
        if ((entry.fields & FIELD_NAME) && ReadTextField(m.name) != entry.name)
            differing |= FIELD_NAME;
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
