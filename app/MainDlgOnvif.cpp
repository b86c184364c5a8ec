// The main window and the devices of other makers (WS-Discovery): the receiver's batches reach
// the list through a bounded inbox, their rows are read-only, and the "ONVIF" menu item switches
// the listing on and off.
#include "app/MainDlg.h"

#include "app/GroupSetDlg.h"
#include "base/Ipv4Text.h"
#include "base/MyProfile.h"

#include <cstdint>
#include <string>
#include <vector>

void CMainDlg::OnOnvifAnnouncements(std::vector<OnvifAnnouncement>&& batch)
{
    // The window is woken once for all that gathers until it looks.
    if (m_onvifInbox.Put(std::move(batch)))
        if (const HWND hWnd = m_hOnvifWindow.load())
            ::PostMessageW(hWnd, WM_ONVIF_NEWS, 0, 0);
}

void CMainDlg::ShowOnvifNews()
{
    std::vector<OnvifAnnouncement> batch = m_onvifInbox.Take();
    if (!m_bOnvifOn || batch.empty())
        return;
    m_rows.ShowOnvif(batch);
    // As for this maker's replies: in a burst the count (and the rows) follow now and then.
    if (m_onvifInbox.IsEmpty() || ::GetTickCount() - m_dwCountWritten >= BURST_COUNT_PERIOD_MS)
        WriteCount();
}

void CMainDlg::StartOnvif()
{
    m_hOnvifWindow = m_hWnd;
    m_bOnvifOn = CMyProfile(SETTINGS_FILE, DISCOVERY_SECTION).GetInt(ONVIF_KEY, 1) != 0;
    // Before the first scan, which starts the receiver and probes: no scan of its own.
    m_bOnvifWanted = m_bOnvifOn;
    OnOnvifSwitched(m_bOnvifOn);
}

void CMainDlg::SwitchOnvif(bool bOn)
{
    CMyProfile(SETTINGS_FILE, DISCOVERY_SECTION).WriteInt(ONVIF_KEY, bOn ? 1 : 0);
    OnOnvifSwitched(bOn);
}

void CMainDlg::OnOnvifSwitched(bool bOn)
{
    const bool bWasOn = m_bOnvifWanted.exchange(bOn);
    m_bOnvifOn = bOn;
    if (bOn) {
        // Switched on while the list stands: the next scan probes, and keeps the list's rows.
        if (!bWasOn) {
            m_bOnvifProbeWanted = true;
            m_engine.RequestRefresh();
        }
        return;
    }
    m_onvifInbox.Take(); // heard before the switch
    m_rows.ClearOnvif();
    WriteCount();
    if (bWasOn)
        m_engine.RequestRefresh(); // the rescan worker stops the receiver
}

void CMainDlg::SteerOnvif(bool bCleared)
{
    if (!m_bOnvifWanted.load()) {
        m_onvif.Stop();
        return;
    }
    const bool bStarted = !m_onvif.IsRunning();
    if (bStarted && !m_onvif.Start())
        return;
    if (bCleared || bStarted || m_bOnvifProbeWanted.exchange(false))
        m_onvif.Probe();
}

void CMainDlg::RefuseOnvifEdit()
{
    const bool bChinese = GetLangId() == 0;
    ::MessageBoxW(m_hWnd,
                  bChinese ? L"其他厂家的设备 (ONVIF) 只能查看，不能在此修改。"
                           : L"This device of another maker (ONVIF) can only be viewed here, not changed.",
                  bChinese ? L"提示" : L"Message", MB_OK | MB_ICONINFORMATION);
}

void CMainDlg::LoadGroupDialog()
{
    // The rows' own copies of the records: the group dialog copies them in turn.
    std::vector<const DeviceRecord*> records;
    std::vector<std::uint32_t> unlisted;
    for (const DeviceRecord* pRecord : m_rows.Records()) {
        if (!(pRecord->flags & DEVICE_ONVIF)) {
            records.push_back(pRecord);
            continue;
        }
        if (const auto address = ParseIpv4(ReadTextField(pRecord->message.lanIp)))
            unlisted.push_back(*address);
    }
    const int nLeftOut = m_rows.GetRowCount() - static_cast<int>(records.size());
    m_pGroupSetDlg->SetUnlistedAddresses(unlisted);
    m_pGroupSetDlg->LoadDevices(records);
    if (nLeftOut == 0)
        return;
    const bool bChinese = GetLangId() == 0;
    const std::wstring count = std::to_wstring(nLeftOut);
    const std::wstring text =
        bChinese ? L"列表中有 " + count +
                       L" 台其他厂家的设备 (ONVIF) 未列在此处：它们只能查看，不能在此修改。\n"
                       L"计算出的地址与它们的地址相同时，仍会标为红色。"
                 : count + L" device(s) of other makers (ONVIF) in the list are left out here: they can "
                           L"only be viewed, not changed.\nA computed address equal to one of theirs is "
                           L"still marked in red.";
    ::MessageBoxW(m_pGroupSetDlg->m_hWnd, text.c_str(), bChinese ? L"提示" : L"Message",
                  MB_OK | MB_ICONINFORMATION);
}
