#pragma once
// CChangeCheck: did the cameras take the settings the tool sent them?
//
// A camera answers a set-parameters message with nothing, and applies network settings some
// seconds later (or not at all). So after a settle delay the check asks the listed cameras again,
// one request every period, and compares each camera's next reply (found by idSerial, letter case
// ignored) with what was sent: every field that was set and that a reply carries, the name as the
// tool shows a received name (UTF-8 converted to the ANSI code page). A camera that now answers
// from its new address is the same camera: it is matched by idSerial, never by address.
//
// Only a reply to a request sent after the camera's settle delay counts: replies carry the scan
// they answered (DeviceRecord::scanId), and the check notes the first scan that starts after the
// camera was ready. The camera's time (the window) starts with that scan, not with its message:
// in a long group pass the first cameras are sent long before anyone is asked again. A reply that
// comes from an address the camera does not claim shows that the camera kept its old address.
//
// Everything runs on the window thread that created the check: the main window reports scans and
// cameras (CCameraReportObserver) and a timer of the check's own message-only window drives the
// follow-up, so nothing ever waits. Tick and the observer calls can also be fed directly (tests).

#include "app/CameraReportObserver.h"
#include "protocol/WireMessage.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CChangeCheck : public CCameraReportObserver {
  public:
    enum class State { Sent, Confirmed, Different, NoAnswer };
    // The fields a check compares.
    enum Field : unsigned {
        FIELD_LAN_IP = 1,
        FIELD_LAN_GATEWAY = 2,
        FIELD_NAME = 4,
        FIELD_LAN_MASK = 1u << 3,
        FIELD_LAN_DNS = 1u << 4,
        FIELD_LAN_DHCP = 1u << 5,
        FIELD_WIFI_IP = 1u << 6,
        FIELD_WIFI_MASK = 1u << 7,
        FIELD_WIFI_GATEWAY = 1u << 8,
        FIELD_WIFI_DNS = 1u << 9,
        FIELD_WIFI_DHCP = 1u << 10,
        FIELD_SSID = 1u << 11,
        FIELD_AP_MODE = 1u << 12,
        FIELD_ENCRYPT = 1u << 13,
        // Not a field that is sent: the reply came from an address the camera does not claim.
        FIELD_REPLY_ADDRESS = 1u << 14,
        FIELDS_ADDRESS = FIELD_LAN_IP | FIELD_LAN_GATEWAY,
        FIELDS_ALL = FIELDS_ADDRESS | FIELD_NAME,
        // Everything the single-camera dialog sets that a reply carries back (passwords are not
        // compared: a camera need not report them).
        FIELDS_SETTINGS = FIELDS_ALL | FIELD_LAN_MASK | FIELD_LAN_DNS | FIELD_LAN_DHCP | FIELD_WIFI_IP |
                          FIELD_WIFI_MASK | FIELD_WIFI_GATEWAY | FIELD_WIFI_DNS | FIELD_WIFI_DHCP |
                          FIELD_SSID | FIELD_AP_MODE | FIELD_ENCRYPT,
    };

    // Real cameras apply network settings within a few seconds.
    static constexpr DWORD SETTLE_MS = 3000;
    static constexpr DWORD RESCAN_PERIOD_MS = 3000;
    // A camera's check ends (No answer or Different) this long after the first request that
    // could see the change went out, without a matching reply.
    static constexpr DWORD CHECK_WINDOW_MS = 20000;

    struct Entry {
        std::string idSerial;
        unsigned fields = 0; // what is compared
        WireMessage sent{};  // what was sent, the name as a reply of the camera would be listed
        State state = State::Sent;
        unsigned differing = 0; // the fields the last counted reply had other values in
        DWORD sentAt = 0;
        bool bArmed = false;          // its settle delay is over and a request was asked for
        std::uint32_t listenScan = 0; // the first scan started since: replies to it count
        DWORD listenSince = 0;        // when that scan started; the window runs from here
        bool bDone = false;           // confirmed, or its time ran out
        bool IsOpen() const { return !bDone; }
    };

    CChangeCheck();
    ~CChangeCheck() override;
    CChangeCheck(const CChangeCheck&) = delete;
    CChangeCheck& operator=(const CChangeCheck&) = delete;

    // Asks the cameras again (the owner's discovery request that keeps the listed rows).
    void SetRescan(std::function<void()> rescan) { m_rescan = std::move(rescan); }
    // Told of every change of an entry's state or differing fields.
    void SetOnChange(std::function<void(const Entry&)> onChange) { m_onChange = std::move(onChange); }
    // Tests shorten the delays; zero keeps a value.
    void SetTimes(DWORD settleMs, DWORD periodMs, DWORD windowMs);
    // Off: Expect starts no timer, and only Tick drives the check (tests feed the clock).
    void SetTimerDriven(bool bOn) { m_bTimerDriven = bOn; }

    // A set-parameters message has just been sent; `fields` are the ones the operator set. A
    // camera already being checked starts again.
    void Expect(const WireMessage& sent, unsigned fields, DWORD now);
    void Expect(const WireMessage& sent, unsigned fields) { Expect(sent, fields, ::GetTickCount()); }
    // Ends every check without a result.
    void Cancel();

    // Rescans when one is due and closes the checks whose time has run out.
    void Tick(DWORD now);

    const Entry* Find(const std::string& idSerial) const;
    const std::vector<Entry>& Entries() const { return m_entries; }
    bool IsActive() const;

    // CCameraReportObserver
    void OnScanStarted(std::uint32_t nScanId, bool bCleared) override;
    void OnCameraReported(const DeviceRecord& record) override;

    // The status as the dialogs show it (0 Chinese, anything else English); a Different names
    // the fields that differ.
    static std::wstring StateText(const Entry& entry, int nLangId);
    // The column title / status caption.
    static const wchar_t* StatusTitle(int nLangId) { return nLangId == 0 ? L"状态" : L"Status"; }

  private:
    // The fields of `reply` that differ from what the entry sent.
    static unsigned Compare(const Entry& entry, const DeviceRecord& reply);
    DWORD Now() const { return m_bTimerDriven ? ::GetTickCount() : m_dwLastTick; }
    void Changed(const Entry& entry);
    void StartTimer();
    void StopTimer();
    static LRESULT CALLBACK TimerWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    std::vector<Entry> m_entries;
    std::function<void()> m_rescan;
    std::function<void(const Entry&)> m_onChange;
    DWORD m_dwSettle = SETTLE_MS;
    DWORD m_dwPeriod = RESCAN_PERIOD_MS;
    DWORD m_dwWindow = CHECK_WINDOW_MS;
    DWORD m_dwNextRescan = 0;
    DWORD m_dwLastTick = 0; // the clock as last fed (Expect or Tick)
    bool m_bTimerDriven = true;
    HWND m_hTimerWnd = nullptr;
    bool m_bTimerOn = false;
};
