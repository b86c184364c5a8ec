#pragma once
// CChangeCheck: did the cameras take the settings the tool sent them?
//
// A camera answers a set-parameters message with nothing, and applies network settings some
// seconds later (or not at all). So after a settle delay the check asks for ordinary rescans,
// one every period, for a bounded time, and compares each camera's next listed reply (found by
// idSerial, letter case ignored) with what was sent: only the fields that were set, the name as
// the tool shows a received name (UTF-8 converted to the ANSI code page). A camera that now
// answers from its new address is the same camera: it is matched by idSerial, never by address.
//
// Everything runs on the window thread that created the check: the main window reports cameras
// (CCameraReportObserver) and a timer of the check's own message-only window drives the
// follow-up, so nothing ever waits. Tick and the observer calls can also be fed directly (tests).

#include "app/CameraReportObserver.h"
#include "protocol/WireMessage.h"

#include <windows.h>

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
        FIELDS_ADDRESS = FIELD_LAN_IP | FIELD_LAN_GATEWAY,
        FIELDS_ALL = FIELDS_ADDRESS | FIELD_NAME,
    };

    // Real cameras apply network settings within a few seconds.
    static constexpr DWORD SETTLE_MS = 3000;
    static constexpr DWORD RESCAN_PERIOD_MS = 3000;
    // After this long without a matching reply a camera's check ends (No answer or Different).
    static constexpr DWORD CHECK_WINDOW_MS = 20000;

    struct Entry {
        std::string idSerial;
        unsigned fields = 0;                 // what is compared
        std::string lanIp, lanGateway, name; // as a reply of the camera would be listed
        State state = State::Sent;
        unsigned differing = 0; // the fields the last reply had other values in
        DWORD sentAt = 0;
        bool bArmed = false;     // a rescan was asked for after its settle delay
        bool bListening = false; // the list was cleared since: replies now count
        bool bDone = false;      // confirmed, or its time ran out
        bool IsOpen() const { return !bDone; }
    };

    CChangeCheck();
    ~CChangeCheck() override;
    CChangeCheck(const CChangeCheck&) = delete;
    CChangeCheck& operator=(const CChangeCheck&) = delete;

    // Asks for one ordinary rescan (the owner's Rescan command).
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
    void OnCamerasCleared() override;
    void OnCameraReported(const DeviceRecord& record) override;

    // The status as the dialogs show it (0 Chinese, anything else English); a Different names
    // the fields that differ.
    static std::wstring StateText(const Entry& entry, int nLangId);
    // The column title / status caption.
    static const wchar_t* StatusTitle(int nLangId) { return nLangId == 0 ? L"状态" : L"Status"; }

  private:
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
    bool m_bTimerDriven = true;
    HWND m_hTimerWnd = nullptr;
    bool m_bTimerOn = false;
};
