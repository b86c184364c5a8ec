#pragma once
// CMainDlg: the tool's main window. The camera list with its count, the local addresses, and the
// buttons that rescan, open the settings dialogs and a camera's web page, keep the window on top
// and switch the language. Its workers 0 and 1 run the discovery engine.

#include "app/CameraReportObserver.h"
#include "app/CameraRows.h"
#include "dialogkit/MyDialog.h"
#include "protocol/DiscoveryEngine.h"
#include "protocol/WireMessage.h"

#include <commctrl.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

class CMyListCtrl;
class CDeviceSetDlg;
class CGroupSetDlg;

class CMainDlg : public CMyDialog, private CCameraListView {
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
    // host name (at most the first 10), without those ending in .1, joined by "; ".
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
    std::array<std::wstring, COLUMN_COUNT> ColumnTitles() const;
    void OpenGroupDialog();
    void ShowSettingsDialog(CMyDialog* pDlg);
    void OnSysCommand(UINT nID, LPARAM lParam);
    bool PaintMinimised();
    void ShutdownDiscovery();

    CMyListCtrl* m_pDeviceList = nullptr;
    std::unique_ptr<CDeviceSetDlg> m_pDeviceSetDlg;
    std::unique_ptr<CGroupSetDlg> m_pGroupSetDlg;
    bool m_bEndsProcessOnClose = false;
    DeviceRecord m_SelDevice{};
    bool m_bSelAnswering = false;
    HICON m_hIcon = nullptr;

    HIMAGELIST m_hImageList = nullptr;
    CCameraRows m_rows;
    DWORD m_dwCountWritten = 0; // tick of the last count written
    CDiscoveryEngine m_engine;
    std::vector<CCameraReportObserver*> m_observers;
};
