#pragma once
// CDeviceSetDlg: the single-camera settings dialog. It holds its own copy of one camera's record,
// shows it, and "Do Setting" sends the edited copy to the cameras as one set-parameters message.
//
// Camera names travel as UTF-8 in a 20-byte field. A name whose UTF-8 form is longer is cut at a
// character boundary to at most 19 bytes, so the field keeps its terminating zero and the fields
// after it (ackTag, lanIp) are never touched. The group dialog writes names the same way through
// the shared field writers (SettingsFields.h).
//
// A new wired or WiFi address (not under DHCP) is first asked on the network (CAddressProbe, on
// its own worker): while the probe runs "Do Setting" is disabled and the window stays live; an
// address another device answers on is sent only when the operator says so.

#include "app/CameraReportObserver.h"
#include "app/ChangeCheck.h"
#include "app/ChangeLog.h"
#include "net/AddressProbe.h"
#include "dialogkit/MyDialog.h"
#include "protocol/WireMessage.h"

#include <cstddef>
#include <mutex>
#include <vector>
#include <string>

class CDeviceSetDlg : public CMyDialog, public CCameraReportObserver {
  public:
    explicit CDeviceSetDlg(CWnd* pParent = nullptr);
    ~CDeviceSetDlg() override;

    // Copies the record and shows its values; null does nothing.
    void LoadDevice(const DeviceRecord* pRecord);
    const DeviceRecord& GetDevice() const { return m_device; }
    // Checks that the cameras took what "Do Setting" sent; its status line shows the result.
    CChangeCheck& GetChangeCheck() { return m_check; }
    // Every "Do Setting" and its final status, in the change log's file.
    CChangeLog& GetChangeLog() { return m_log; }

    BOOL OnInitDialog() override;
    // The send worker: the broadcast looks up this computer's addresses, which the window thread
    // must not wait for.
    int ThreadProc(int nIndex) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void ApplyLanguage(int nLangId) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Whether "Do Setting" waits for the network's answer about its new addresses.
    bool IsProbing() const { return m_nProbeId != 0; }

    // Its camera answered: the copy takes what the camera now says, and the fields show it unless
    // the operator has changed them since they were filled.
    void OnCameraReported(const DeviceRecord& record) override;

    // "%s(%s)": a name and the idSerial, as the current-camera line shows them.
    static std::wstring CurrentCameraText(const std::wstring& name, const WireMessage& message);

  private:
    static constexpr int SEND_WORKER = 0;
    void DoSetting();
    // Sends what "Do Setting" made of the fields (the new name for the current-camera line).
    void SendSetting(const DeviceRecord& device, const WireMessage& message, const std::wstring& name);
    // The probe of the new addresses has ended: ask when one is in use, then send.
    void OnProbed(unsigned id);
    void EndProbe();
    // Hands a message to the send worker.
    void QueueSend(const WireMessage& message);
    // Whether every field still shows what LoadDevice put there.
    bool FieldsUntouched();
    // The check's status of the camera shown (empty when it has none), in a language (ApplyLanguage
    // runs before the dialog's language changes).
    void ShowCheckStatus(int nLangId);

    std::mutex m_sendLock;
    std::vector<WireMessage> m_toSend; // under m_sendLock
    DeviceRecord m_device{};
    DeviceRecord m_shown{}; // what the fields were last filled from
    int m_nShownEncrypt = -1;
    CChangeCheck m_check;
    CChangeLog m_log;
    // "Do Setting" waiting for the probe of its new addresses.
    unsigned m_nProbeId = 0;
    DeviceRecord m_pendingDevice{};
    WireMessage m_pendingMessage{};
    std::wstring m_pendingName;
    CAddressProbe m_probe;
};
