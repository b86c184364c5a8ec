#pragma once
// CMainDlg: the tool's main window. The camera list with its count, the local addresses, and the
// buttons that rescan, open the settings dialogs and a camera's web page, keep the window on top
// and switch the language. Its workers 0 and 1 run the discovery engine. It also lists, read-only,
// the devices of other makers that answer WS-Discovery (COnvifSink; the "ONVIF" list menu item).

#include "app/CameraReportObserver.h"
#include "app/CameraRows.h"
#include "app/OnvifInbox.h"
#include "dialogkit/MyDialog.h"
#include "protocol/DiscoveryEngine.h"
#include "protocol/OnvifDevice.h"
#include "protocol/OnvifDiscovery.h"
#include "protocol/WireMessage.h"

#include <commctrl.h>

#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

class CMyListCtrl;
class CDeviceSetDlg;
class CGroupSetDlg;

class CMainDlg : public CMyDialog, public COnvifSink, private CCameraListView {
  public:
    explicit CMainDlg(CWnd* pParent = nullptr);
    ~CMainDlg() override;

    static constexpr int COLUMN_COUNT = CCameraRows::COLUMN_COUNT;
    static constexpr int CAMERA_IMAGE = CCameraRows::CAMERA_IMAGE;
    // While a burst is listed the count is written at most this often (writing it repaints).
    static constexpr DWORD BURST_COUNT_PERIOD_MS = 250;

    CMyListCtrl* GetDeviceList() const { return m_pDeviceList; }
    const CCameraRows& GetCameraRows() const { return m_rows; }
    CDeviceSetDlg* GetDeviceSetDlg() const { return m_pDeviceSetDlg.get(); }
    CGroupSetDlg* GetGroupSetDlg() const { return m_pGroupSetDlg.get(); }
    const DeviceRecord& GetSelDevice() const { return m_SelDevice; }
    // False after a rescan until the selected camera answers again.
    bool IsSelDeviceAnswering() const { return m_bSelAnswering; }
    const CDiscoveryEngine& GetEngine() const { return m_engine; }
    // The program's own main window: closing it ends the process once every worker has stopped,
    // rather than taking each shown window down in turn.
    void SetEndsProcessOnClose(bool bEnds) { m_bEndsProcessOnClose = bEnds; }

    // Told on the window thread of every clear and every listed reply (not owned).
    void AddCameraObserver(CCameraReportObserver* pObserver);
    void RemoveCameraObserver(CCameraReportObserver* pObserver);

    // The addresses text of the local-addresses box: the resolver's addresses of this computer's
    // host name (at most the first 10) that discovery searches from, joined by "; ".
    // Without bLookUp, from the last look-up (the window thread looks nothing up by name).
    static std::wstring LocalAddressesText(bool bLookUp = true);
    // The computer's IPv4 subnets (loopback left out).
    static std::vector<CCameraRows::Subnet> LocalSubnets();

    // Sorts the camera list by a column (again: the other way) and marks the header.
    void SortCameraList(int nCol);
    // Writes the camera list, in the order shown, as a CSV file; false when it cannot be written.
    bool ExportCameraList(const std::wstring& path) const;
    // The camera list's menu for a row (-1: none), at pAt (screen) or, without it, at the pointer.
    void ShowCameraListMenu(int nRow, const POINT* pAt = nullptr);
    // The menu from the keyboard (menu key, Shift+F10): for the focused row, below it.
    void ShowCameraListMenuAtFocus();

    // COnvifSink (the receiver's thread): the batch waits in a bounded inbox for the window thread.
    void OnOnvifAnnouncements(std::vector<OnvifAnnouncement>&& batch) override;
    // Whether devices of other makers are listed (the "ONVIF" menu item; kept in the settings).
    bool IsOnvifOn() const { return m_bOnvifOn; }
    // Announcements dropped because the window thread fell behind.
    std::size_t GetOnvifDropped() const { return m_onvifInbox.GetDropped(); }
    // Where the discovery settings are kept (the ONVIF switch, the searched addresses): file,
    // section and the ONVIF switch's key.
    static constexpr const wchar_t* SETTINGS_FILE = L"Larkvane";
    static constexpr const wchar_t* DISCOVERY_SECTION = L"Discovery";
    static constexpr const wchar_t* ONVIF_KEY = L"Onvif";
    // Posted to the window when the inbox receives something.
    static constexpr UINT WM_ONVIF_NEWS = WM_APP + 1;

  protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(bool bSaveAndValidate) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnCancel() override;
    void ApplyLanguage(int nLangId) override;
    int ThreadProc(int nIndex) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

    // Opens the address with the shell's "Open" verb; tests replace it to capture the address.
    virtual void OpenWebPage(const std::wstring& url);
    // Opens a folder with the shell's "Open" verb (the change log's); tests replace it.
    virtual void OpenFolder(const std::wstring& folder);
    // The menu's chosen command (0: none); tests replace it to choose without a menu loop.
    virtual int ChooseMenuCommand(HMENU hMenu, POINT ptScreen);
    // The file to export to, from the system's save dialog (empty: cancelled); tests replace it.
    virtual std::wstring AskExportPath();
    // A warning with OK and Cancel (Cancel is the default); IDOK or IDCANCEL.
    virtual int ConfirmBox(const std::wstring& text);

  private:
    // CCameraListView: each runs on the window thread in one synchronous message.
    void ClearCameraRows() override;
    void StartScan(std::uint32_t nScanId, bool bCleared) override;
    void ShowCameras(const std::vector<ShownCamera>& cameras, bool bMoreWaiting) override;
    void EndCameraBurst() override;
    void WriteCount();

    void BuildImageList();
    void InsertColumns();
    void TakeSelection();
    // The camera list's own keys (F2, the menu key, Shift+F10); true when the key was used.
    bool OnListKey(UINT message, WPARAM key);
    int FocusedRow() const;
    // The selection follows its camera's replies, so that it always holds what the camera now says.
    void FollowSelection(const DeviceRecord& record);
    void OpenSingleDialog();
    void FillLocalAddresses();
    // Shows the searched addresses (and the count's note when there are none).
    void ShowSearchedAddresses(const std::wstring& addresses);
    // The count label is as narrow as five digits: a note in words takes the caption's room too
    // (the caption is hidden meanwhile).
    void FitCountLabel(const std::wstring& text);
    // "Search on...": the operator chooses the local addresses, and the list is searched again.
    void ChooseSearchedAddresses();
    std::array<std::wstring, COLUMN_COUNT> ColumnTitles() const;
    void OpenGroupDialog();
    void ShowSettingsDialog(CMyDialog* pDlg);
    void OnSysCommand(UINT nID, LPARAM lParam);
    bool PaintMinimised();
    void ShutdownDiscovery();
    // The listing of other makers' devices was switched on or off (also called once at start-up
    // with the kept setting). Starts or stops the WS-Discovery receiver; off removes their rows.
    void OnOnvifSwitched(bool bOn);
    // At start-up: the kept setting, told to OnOnvifSwitched.
    void StartOnvif();
    // The menu item: switches, keeps the setting, tells OnOnvifSwitched.
    void SwitchOnvif(bool bOn);
    // On the rescan worker, as a scan starts: the receiver started or stopped as the window wants,
    // and a Probe with every clearing scan (and the first after switching on).
    void SteerOnvif(bool bCleared);
    // Lists what the inbox holds (WM_ONVIF_NEWS).
    void ShowOnvifNews();
    // "编辑 ..." on a device of another maker: a box says why not.
    void RefuseOnvifEdit();
    // Gives the group dialog this maker's cameras, and the addresses of the listed devices of
    // other makers (which it leaves out, saying so) for its collision marks.
    void LoadGroupDialog();

    CMyListCtrl* m_pDeviceList = nullptr;
    std::unique_ptr<CDeviceSetDlg> m_pDeviceSetDlg;
    std::unique_ptr<CGroupSetDlg> m_pGroupSetDlg;
    bool m_bEndsProcessOnClose = false;
    DeviceRecord m_SelDevice{};
    bool m_bSelAnswering = false;
    HICON m_hIcon = nullptr;

    HIMAGELIST m_hImageList = nullptr;
    CCameraRows m_rows;
    DWORD m_dwCountWritten = 0;      // tick of the last count written
    bool m_bNothingSearched = false; // no local address is searched from
    bool m_bCountWide = false;       // the count label holds a note and covers its caption
    CDiscoveryEngine m_engine;
    std::vector<CCameraReportObserver*> m_observers;
    COnvifInbox m_onvifInbox;
    std::atomic<HWND> m_hOnvifWindow{nullptr}; // where the receiver's thread posts WM_ONVIF_NEWS
    bool m_bOnvifOn = true;
    // The receiver is started, probed and stopped on the rescan worker only (its start and probes
    // look this computer's addresses up, which the window thread never does): the window says
    // what it wants here and asks for a scan.
    std::atomic<bool> m_bOnvifWanted{false};
    std::atomic<bool> m_bOnvifProbeWanted{false};
    // Declared after the inbox it feeds, so that it stops first.
    COnvifDiscovery m_onvif{*this};
};
