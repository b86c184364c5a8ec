#pragma once
// CMyDialog: the base of every window of the tool. A CDialog that is also a CMyThreadHost, so
// it can run numbered workers, and that adds language files, skinning of its child controls,
// framework timers, embedded child dialogs, a redraw queue and a deferred text queue that any
// thread may feed.
//
// Deriving an application dialog:
// - Pass the template id to the constructor. The constructor never creates the window (a window
//   made inside the base constructor would never reach the derived OnInitDialog); call DoModal,
//   or CreateModeless(parent) once the object is fully constructed.
// - Override OnInitDialog and call CMyDialog::OnInitDialog first; override OnCommand and pass
//   what you do not handle to CMyDialog::OnCommand; override ApplyLanguage to set the built-in
//   texts of a language id (0 Chinese, anything else English).
// - Workers: override ThreadProc(index) and start them with StartThread. Workers reach windows
//   only through SetItemText, SetItemInt, FindItem (each runs on the user-interface thread by one
//   synchronous message) or PostItemText (queued, never blocks).
// - Shutdown: a dialog that overrides ThreadProc must call StopAllThreads() first thing in its
//   own destructor, before its members go. ~CMyDialog stops the workers again (harmless) before
//   it destroys the window and frees the control objects, so that no worker pass can see a
//   half-destroyed dialog.
//
// Made of parts that it owns: CDialogFrame (frame, painting, on-top, layout), CSkinningPass (the
// skinned control objects), CSerialButtons (serial choice buttons) and CTrayIcon (notification-
// area icon). WindowProc hands each message to the tray icon, the input side, the serial buttons,
// the frame and the core in that order; the first that ends a message answers it.
//
// Sources: MyDialog.cpp (construction, timers, texts, helpers, the message order),
// MyDialogLanguage.cpp (language files), MyDialogInput.cpp (commands, mouse and keyboard), and
// one source per part.

#include "base/MyThreadHost.h"
#include "platform/CDialog.h"
#include "dialogkit/DialogFrame.h"
#include "dialogkit/SerialButtons.h"
#include "dialogkit/SkinningPass.h"
#include "dialogkit/TrayIcon.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class CMyProfile;
class CMyListCtrl;
class CMyButton;

class CMyDialog : public CDialog, public CMyThreadHost {
  public:
    // Framework timers; every id from TIMER_FIRST to TIMER_LAST belongs to the framework.
    static constexpr UINT_PTR TIMER_FIRST = 2201;
    static constexpr UINT_PTR TIMER_LAST = 2220;
    static constexpr UINT_PTR TIMER_FONT_SIZE = 2201;      // one-shot: apply SetDialogFontSize
    static constexpr UINT_PTR TIMER_POST_TEXT = 2203;      // one-shot: deliver PostItemText slots
    static constexpr UINT_PTR TIMER_TRANSPARENT = 2204;    // one-shot: repaint transparent controls
    static constexpr UINT_PTR TIMER_COPY_TEXT = 2206;      // Ctrl + right button copies window texts
    static constexpr UINT_PTR TIMER_WRITE_TEMPLATE = 2208; // one-shot: WriteLanguageTemplate
    static constexpr UINT_PTR TIMER_REDRAW = 2209;         // flush the redraw queue
    static constexpr UINT_PTR TIMER_TRACK = 2211;          // static under a held left button
    static constexpr UINT_PTR TIMER_LANGUAGE = 2212;       // one-shot: load the global language
    // The mouse polls (2206, 2211) stop once the pointer has lain still this long.
    static constexpr DWORD MOUSE_REST_MS = 1000;

    // Control skin mask bits: which kinds the skinning pass attaches.
    static constexpr DWORD SKIN_BUTTON = 0x01;
    static constexpr DWORD SKIN_COMBO = 0x02;
    static constexpr DWORD SKIN_LISTCTRL = 0x04;
    static constexpr DWORD SKIN_LISTBOX = 0x08;
    static constexpr DWORD SKIN_PROGRESS = 0x10;
    static constexpr DWORD SKIN_SLIDER = 0x40;
    static constexpr DWORD SKIN_CHECK = 0x80;

    // GetControlKind results.
    static constexpr int KIND_OTHER = -1;
    static constexpr int KIND_BUTTON = 0;
    static constexpr int KIND_STATIC = 1;
    static constexpr int KIND_EDIT = 2;
    static constexpr int KIND_COMBOBOX = 3;
    static constexpr int KIND_LISTVIEW = 5;

    static constexpr int POST_TEXT_SLOTS = 50;
    static constexpr int POST_TEXT_CHARS = 260; // per slot, the 14-character header included
    static constexpr int REDRAW_EXCLUSIONS = 10;
    // Language loader bounds for "MinItemID" / "MaxItemID".
    static constexpr int LANG_MIN_ITEM_ID = 1;
    static constexpr int LANG_MAX_ITEM_ID = 5000;

    static constexpr const wchar_t* MUTEX_NAME = L"CMyDialog_COBBLEFRAME_20220113_BY_Tarrowin";

    explicit CMyDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CMyDialog() override;

    // ---- Virtual operations of the framework -------------------------------------------------
    // Sets the dialog's built-in texts for a language; the base does nothing.
    virtual void ApplyLanguage(int nLangId);
    // Writes the text only when it differs from the control's, then redraws the control. Any
    // thread; nothing happens for an id no control has.
    virtual void SetItemText(int nID, LPCWSTR lpszText);
    virtual void SetItemInt(int nID, int nValue);
    // The dialog's own child with that id, else (bSearchChildren) the first hit among the
    // embedded dialogs, else null. Any thread.
    virtual HWND FindItem(int nID, BOOL bSearchChildren = TRUE);
    // Called by a serial port object of the dialog when data arrive; the base answers 0.
    virtual int OnSerialReceive(const void* pData, int nLength, void* pPort);
    virtual BOOL CreateModeless(UINT nIDTemplate, CWnd* pParentWnd);
    virtual BOOL CreateModeless(CWnd* pParentWnd);

    // ---- CDialog overrides -----------------------------------------------------------------
    BOOL OnInitDialog() override;
    void DoDataExchange(bool bSaveAndValidate) override;
    // Input side (MyDialogInput.cpp).
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // ---- Commands, redraw, controls (MyDialog.cpp) -------------------------------------------
    // WM_COMMAND(id, code 0) to this dialog: sent when bSend, else posted.
    LRESULT SendCommand(int nCmdId, LPARAM lParam = 0, BOOL bSend = FALSE);
    // Posts WM_COMMAND(id, code 0) to the parent (or owner) window, when there is one.
    void PostCommandToParent(int nCmdId, LPARAM lParam = 0);
    // Queues a control for the next 10 ms repaint; null is ignored. User-interface thread.
    void QueueRedraw(HWND hWnd);
    void RedrawItem(int nID);
    // Invalidates the parent's area under the window (grown by 2 pixels) and repaints at once.
    static void RedrawControl(HWND hWnd);
    // Up to REDRAW_EXCLUSIONS control ids that the redraw queue never repaints (0 = free).
    void SetRedrawExclusion(int nIndex, int nID);

    // Queues a text for a control of this dialog; any thread, never blocks. Delivered on the
    // user-interface thread about 200 ms later. When more than POST_TEXT_SLOTS texts of all
    // dialogs are pending, the oldest are overwritten. Texts are cut to fit a slot.
    void PostItemText(int nID, LPCWSTR lpszText);
    // SetItemText now and, when bDeferred, PostItemText too.
    void SetItemTextEx(int nID, LPCWSTR lpszText, BOOL bDeferred);

    // A new CMyDialog for the template, created modeless inside this one; owned by this dialog.
    CMyDialog* EmbedChildDialog(UINT nIDTemplate, BOOL bShow);
    BOOL IsEmbedded() const { return m_bEmbedded; }
    const std::vector<std::unique_ptr<CMyDialog>>& GetChildDialogs() const { return m_lstChildDialogs; }

    int GetControlKind(int nID);
    BOOL IsControlKind(int nID, int nKind) { return GetControlKind(nID) == nKind; }
    // The shared "Fixedsys" font (bFixed) or the dialog's own font.
    void SetItemFixedFont(int nID, BOOL bFixed);
    static HFONT GetFixedFont();

    void SetComboSel(int nID, int nValue, BOOL bByIndex);
    int GetComboSel(int nID);
    int AddComboString(int nID, LPCWSTR lpszText, int nIndex = -1);
    void SaveComboItems(int nID, LPCWSTR lpszFile, LPCWSTR lpszSection, LPCWSTR lpszPrefix);
    void LoadComboItems(int nID, LPCWSTR lpszFile, LPCWSTR lpszSection, LPCWSTR lpszPrefix, int nCount,
                        BOOL bKeep);

    // The CMyListCtrl the skinning pass attached to that list view, or null.
    CMyListCtrl* GetListCtrl(int nID) { return m_skins.GetListCtrl(nID); }
    // Row indices of a list view's selected / checked rows, rising (or falling with bFront).
    static int GetSelectedRows(HWND hList, std::vector<int>& rows, BOOL bFront);
    static int GetCheckedRows(HWND hList, std::vector<int>& rows, BOOL bFront);

    // ---- Process-wide --------------------------------------------------------------------
    // Live dialogs in the order they were constructed (a copy).
    static std::vector<CMyDialog*> GetLiveDialogs();
    static BOOL IsLiveDialog(const CMyDialog* pDlg);
    // Serial choice names (parity, flow control); every constructor appends them again.
    static std::vector<std::wstring> GetParityNames();
    static std::vector<std::wstring> GetFlowNames();
    static BOOL HasFrameworkMutex();

    // ---- Language files (MyDialogLanguage.cpp) -------------------------------------------
    static int GetGlobalLanguage();
    // Stores id, writes it to "GlobalLang.ini", loads it into every live dialog in creation
    // order, then has the skinned buttons refresh their captions.
    static void SetGlobalLanguage(int nLangId);
    static void ExportLanguageAll(int nLangId);
    // The language file of this executable: "<full path>-Lang.ini".
    static std::wstring GetLanguageFileName();
    static std::wstring GetGlobalLanguageFileName();

    void LoadLanguage(int nLangId);
    void WriteLanguageTemplate(int nLangId);
    // "String-%d-%d" of the current language, in a per-thread buffer valid until the next call.
    LPCWSTR GetLangString(int n);
    void SetLangString(int n, LPCWSTR lpszText);
    void SetItemTextAndSave(int nID, LPCWSTR lpszText);
    // Records a control's place as "ItemPos-%d-%d" of the current language (layout moves).
    void SaveItemPos(HWND hWndItem);
    int GetLangId() const { return m_nLangId; }
    const std::wstring& GetLangSection() const { return m_strLangSection; }
    CMyProfile& GetProfile() { return *m_pProfile; }

    // Image buttons whose four image names the language file carries ("ItemBMP").
    void RegisterImageButton(int nID, LPCWSTR lpszNormal, LPCWSTR lpszOver, LPCWSTR lpszDown,
                             LPCWSTR lpszDisabled);
    struct ImageButton {
        int nID;
        std::wstring names[4];
    };
    const std::vector<ImageButton>& GetImageButtons() const { return m_lstImageButtons; }

    // =========================================================================================
    // Frame, painting, on-top and layout (CDialogFrame, DialogFrame.cpp): colours, fonts,
    // background, drawn items, borders, on top, showing and maximising, and layout moves
    // recorded in the language file.
    // =========================================================================================

    static constexpr COLORREF DEFAULT_BACK_COLOR = 0xF0F0F0;
    static constexpr COLORREF DEFAULT_TEXT_COLOR = 0x000000;
    static constexpr COLORREF DEFAULT_CONTROL_BACK_COLOR = 0xFFFFFF;
    static constexpr COLORREF DEFAULT_BORDER_COLOR = 0xD2D2D2;
    static constexpr COLORREF DEFAULT_FOCUS_BORDER_COLOR = 0xFF0000;
    static constexpr int MAX_GRADIENT_COLORS = CDialogFrame::MAX_GRADIENT_COLORS;
    static constexpr int TOP_BAND_HEIGHT = 26;

    // Solid background; clears the inherit flag and repaints.
    void SetBackgroundColor(COLORREF clr) { m_frame.SetBackgroundColor(clr); }
    COLORREF GetBackgroundColor() const { return m_frame.GetBackgroundColor(); }
    // 2 <= nCount <= 100 (the first MAX_GRADIENT_COLORS are kept); FALSE leaves the background
    // as it was. Direction 0 runs left to right, 1 top to bottom; 2 and 3 the same reversed.
    BOOL SetBackgroundGradient(const COLORREF* pColors, int nCount, int nDirection)
    {
        return m_frame.SetBackgroundGradient(pColors, nCount, nDirection);
    }
    void SetControlBackColor(COLORREF clr) { m_frame.SetControlBackColor(clr); }
    // Text colour -1 or -2 means the dialog's; background (COLORREF)-1 means none.
    void SetItemColors(int nID, COLORREF clrText, COLORREF clrBack)
    {
        m_frame.SetItemColors(nID, clrText, clrBack);
    }
    // A static that carries its own colours: its client area is filled with clrBack and its text
    // drawn in clrText on a hollow brush, ahead of the per-control colours.
    void RegisterStatic(int nID, COLORREF clrText, COLORREF clrBack)
    {
        m_frame.RegisterStatic(nID, clrText, clrBack);
    }
    // A font like the dialog's with that height, weight and face (empty: the dialog's face), for
    // one control or, with id 10000 or -1, every child. Fonts are shared by all dialogs.
    void SetItemFont(int nID, int nHeight, int nWeight, LPCWSTR lpszFace)
    {
        m_frame.SetItemFont(nID, nHeight, nWeight, lpszFace);
    }
    // The focused edit nID is framed in clr instead of the focus border colour.
    void SetFocusBorderColor(int nID, COLORREF clr) { m_frame.SetFocusBorderColor(nID, clr); }
    // A skin image stretched over the client area in place of the colour or gradient; an empty
    // name or a file that does not draw leaves them in force.
    void SetBackgroundImage(LPCWSTR lpszFile) { m_frame.SetBackgroundImage(lpszFile); }
    const std::wstring& GetBackgroundImage() const { return m_frame.GetBackgroundImage(); }
    // The control paints the dialog's background behind itself (a snapshot of each paint).
    void AddTransparentItem(HWND hItem) { m_frame.AddTransparentItem(hItem); }
    void AddTransparentItem(int nID);
    // Applied 20 ms later (timer 2201): every child and the dialog scaled to the new font.
    void SetDialogFontSize(float fPoints) { m_frame.SetDialogFontSize(fPoints); }
    void SetTopMost(BOOL bOn) { m_frame.SetTopMost(bOn); }
    // Window command 18685: flips the on-top flag and the z-order with it.
    void ToggleOnTop() { m_frame.ToggleOnTop(); }
    BOOL IsOnTop() const { return m_frame.IsOnTop(); }
    // -1 for none. The on-top box's command is posted once, so the window follows its state.
    void RegisterStateCheckBoxes(int nAutoStartId, int nOnTopId);
    int GetOnTopCheckId() const { return m_frame.GetOnTopCheckId(); }
    // 0 hide, 1 show, 2 show centred over the owner, 3 show maximised, 4 maximise.
    void ShowDialog(int nMode) { m_frame.ShowDialog(nMode); }
    void ToggleMaximise() { m_frame.ToggleMaximise(); }
    // Absolute: -2 centres, -1 keeps; relative: positive offsets are added. Recorded by SaveItemPos.
    void MoveItem(HWND hItem, int x, int y, BOOL bAbsolute) { m_frame.MoveItem(hItem, x, y, bAbsolute); }
    void MoveItem(int nID, int x, int y, BOOL bAbsolute);
    // Edge 0 top, 1 bottom, 2 left, 3 right, at nMargin from that edge of the client area.
    void AlignItem(HWND hItem, int nMargin, int nEdge) { m_frame.AlignItem(hItem, nMargin, nEdge); }
    void AlignItem(int nID, int nMargin, int nEdge);
    // A width or height below 1 keeps the current one.
    void ResizeItem(HWND hItem, int nWidth, int nHeight) { m_frame.ResizeItem(hItem, nWidth, nHeight); }
    void ResizeItem(int nID, int nWidth, int nHeight);
    void SetItemBorder(int nID, BOOL bOn);
    // The control follows the dialog's size: placed at (left, top) (absolute MoveItem rules);
    // a right / bottom margin of 0 or more stretches it to that distance from the edge.
    void AddAnchor(HWND hItem, int nLeft, int nRightMargin, int nTop, int nBottomMargin)
    {
        m_frame.AddAnchor(hItem, nLeft, nRightMargin, nTop, nBottomMargin);
    }
    // Drawn items, painted over the background in this order. -1 sizes reach one pixel before
    // the right / bottom edge; nFillMode below 2 fills with the first colour, else a gradient.
    void AddDrawnRect(int x, int y, int cx, int cy, int nBorderWidth, int nDirection, int nFillMode,
                      COLORREF clrBorder, const std::vector<COLORREF>& fillColors)
    {
        m_frame.AddDrawnRect(x, y, cx, cy, nBorderWidth, nDirection, nFillMode, clrBorder, fillColors);
    }
    void AddDrawnLine(int x1, int y1, int x2, int y2, int nWidth, int nPenStyle, COLORREF clr)
    {
        m_frame.AddDrawnLine(x1, y1, x2, y2, nWidth, nPenStyle, clr);
    }
    void AddDrawnImage(int x, int y, int cx, int cy, int nAngle, LPCWSTR lpszFile)
    {
        m_frame.AddDrawnImage(x, y, cx, cy, nAngle, lpszFile);
    }
    // x / y of -1 centre the text; background (COLORREF)-1 draws it transparently.
    void AddDrawnText(int x, int y, LPCWSTR lpszText, COLORREF clrText, COLORREF clrBack,
                      HFONT hFont = nullptr)
    {
        m_frame.AddDrawnText(x, y, lpszText, clrText, clrBack, hFont);
    }
    void ClearDrawnItems() { m_frame.ClearDrawnItems(); }
    // Paints the whole client area (background, drawn items, borders) into hDC, as WM_PAINT does.
    void PaintClient(HDC hDC);
    // The background of the last paint (owned by the dialog), or null before the first.
    HBITMAP GetCachedBackground() const { return m_frame.GetCachedBackground(); }

    // =========================================================================================
    // Skinning (CSkinningPass, SkinningPass.cpp): the control objects attached in OnInitDialog.
    // =========================================================================================
    // Which kinds the skinning pass attaches (SKIN_* bits); set before OnInitDialog.
    void SetControlSkinMask(DWORD dwMask) { m_skins.SetMask(dwMask); }
    DWORD GetControlSkinMask() const { return m_skins.GetMask(); }
    // OK and Cancel buttons get the skin's OK / Cancel images; set before OnInitDialog.
    void SetUseButtonImages(BOOL bUse) { m_skins.SetUseButtonImages(bUse); }

    // One control object that the skinning pass attached. kind is a SKIN_* bit.
    using SkinnedControl = CSkinningPass::SkinnedControl;
    const std::vector<SkinnedControl>& GetSkinnedControls() const { return m_skins.GetSkinned(); }
    CWnd* GetSkinnedControl(int nID, DWORD dwKind) const { return m_skins.GetControl(nID, dwKind); }
    CMyButton* GetSkinnedButton(int nID) const { return m_skins.GetButton(nID); }

    // =========================================================================================
    // Commands and input (MyDialogInput.cpp): window commands, notification commands, wheel
    // steps, edit-slider links.
    // =========================================================================================
    // Framework window commands (code 0).
    static constexpr int CMD_TOGGLE_TOPMOST = 18685;
    static constexpr int CMD_MINIMISE = 18686;
    static constexpr int CMD_TOGGLE_MAXIMISE = 18687;
    static constexpr int CMD_CLOSE = 18688;
    // Notification commands the framework posts to the dialog (lParam in brackets).
    static constexpr int NOTIFY_FIRST = 19968;
    static constexpr int NOTIFY_LAST = 20480;
    static constexpr int NOTIFY_DROP_FILES = 20467;       // drop handle
    static constexpr int NOTIFY_TRAY = 20468;             // tray mouse message
    static constexpr int NOTIFY_DEVICE = 20469;           // 0 device removed, 1 other device event
    static constexpr int NOTIFY_WHEEL = 20470;            // control id
    static constexpr int NOTIFY_MOUSE_LEAVE = 20471;      // control id
    static constexpr int NOTIFY_MOUSE_HOVER = 20472;      // control id
    static constexpr int NOTIFY_RBUTTON_DBL = 20473;      // control id
    static constexpr int NOTIFY_RBUTTON_UP = 20474;       // control id
    static constexpr int NOTIFY_RBUTTON_DOWN = 20475;     // control id
    static constexpr int NOTIFY_LBUTTON_DBL = 20476;      // control id
    static constexpr int NOTIFY_CHILD_LBUTTON_UP = 20477; // to the parent: control id
    static constexpr int NOTIFY_LBUTTON_DOWN = 20478;     // control id
    static constexpr int NOTIFY_CHILD_SCROLL = 20479;     // to the parent: control id
    static constexpr int NOTIFY_CLICK = 20480;            // 0
    static constexpr int CMD_CHOICE_FIRST = 20224;        // entries of the serial choice pop-up
    static constexpr int CMD_CHOICE_LAST = 20352;

    // The mouse wheel over the edit nID changes its value by dStep (integer or real value).
    void SetWheelStep(int nID, double dStep, BOOL bReal);
    // The slider and the edit move each other; the edit shows the position times fStep.
    void LinkEditSlider(int nSliderID, int nEditID, float fStep);
    int GetFocusedEditId() const { return m_nFocusedEditId; }
    int GetLastClickedId() const { return m_nLastClickedId; }
    int GetLastClickedEditId() const { return m_nLastClickedEditId; }
    short GetLastWheelDelta() const { return m_nLastWheelDelta; }

    // =========================================================================================
    // Serial choice buttons (CSerialButtons, SerialButtons.cpp).
    // =========================================================================================
    // Six buttons per set (port, baud rate, parity, data bits, stop bits, flow control). A click opens a
    // pop-up of the field's choices (commands CMD_CHOICE_FIRST + entry); the chosen entry's text goes into
    // the button and its index into the set. Group -1 is the single set; groups 0..SERIAL_GROUPS-1 are saved
    // to "COMGroupSetting.ini", "COMSet%d".
    static constexpr int SERIAL_FIELDS = CSerialButtons::FIELDS;
    static constexpr int SERIAL_GROUPS = CSerialButtons::GROUPS;
    static constexpr int SERIAL_PORT = 0;
    static constexpr int SERIAL_BAUD = 1;
    static constexpr int SERIAL_PARITY = 2;
    static constexpr int SERIAL_DATA = 3;
    static constexpr int SERIAL_STOP = 4;
    static constexpr int SERIAL_FLOW = 5;
    static constexpr int SERIAL_BAUD_DEFAULT = 11; // 115200, marked for a rate not in the list
    // The six button ids (0 = none) of a set; pIds null clears them.
    void SetSerialButtons(int nGroup, const int* pIds) { m_serial.SetButtons(nGroup, pIds); }
    int GetSerialButton(int nGroup, int nField) const { return m_serial.GetButton(nGroup, nField); }
    // The baud field also takes a rate (above 110), stored as its entry. Writes the button's text.
    // Returns the entry marked now, -1 when the value is beyond the field's choices.
    int SetSerialChoice(int nGroup, int nField, int nChoice)
    {
        return m_serial.SetChoice(nGroup, nField, nChoice);
    }
    int GetSerialChoice(int nGroup, int nField) const { return m_serial.GetChoice(nGroup, nField); }
    // Reads a group's six indices from "COMGroupSetting.ini" (out-of-range values keep the
    // defaults) and shows them on its buttons.
    void LoadSerialGroup(int nGroup) { m_serial.LoadGroup(nGroup); }
    // Port entries run "COM0" to "COM<nMaxPort>".
    void SetSerialMaxPort(int nMaxPort) { m_serial.SetMaxPort(nMaxPort); }
    // The field's choices become the choice list; returns the entry to mark (-1 none). With
    // bPopup the pop-up opens under the button, else the marked entry's text goes into it.
    int ShowSerialChoices(int nGroup, int nField, BOOL bPopup)
    {
        return m_serial.ShowChoices(nGroup, nField, bPopup);
    }
    const std::vector<std::wstring>& GetChoiceList() const { return m_serial.GetChoiceList(); }
    static std::wstring GetSerialSettingsFileName() { return CSerialButtons::SettingsFileName(); }

    // =========================================================================================
    // Tray icon (CTrayIcon, TrayIcon.cpp).
    // =========================================================================================
    // Notification-area icon: operation NIM_ADD / NIM_MODIFY / NIM_DELETE; a given tip, icon or
    // callback message is stored first. Returns the shell's result.
    BOOL ShowTrayIcon(DWORD dwOperation, LPCWSTR lpszTip = nullptr, HICON hIcon = nullptr, UINT nMessage = 0)
    {
        return m_tray.Show(dwOperation, lpszTip, hIcon, nMessage);
    }
    BOOL HasTrayIcon() const { return m_tray.IsShown(); }
    void SetRestoreOnTrayClick(BOOL bRestore) { m_tray.SetRestoreOnClick(bRestore); }

  protected:
    // WindowProc hands each message to these in turn; the first that ends it gives the result.
    // The input side (commands, scrolling, dropped files, the mouse polls' wake-up).
    bool OnInputMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // The core: marshalled calls, framework timers, resting when hidden.
    bool OnCoreMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // Timer ids outside the framework range arrive here; the base gives them to the default
    // handling.
    virtual void OnTimer(UINT_PTR nIDEvent);
    // One framework timer (TIMER_FIRST..TIMER_LAST).
    void OnFrameworkTimer(UINT_PTR nIDEvent);

    // Runs fn on the thread that owns the window (directly when that is this thread, else by
    // one sent message); FALSE when there is no window to run it on.
    BOOL CallOnWindowThread(const std::function<void()>& fn);
    // The window's handle for code that may run on a worker: m_hWnd belongs to the window's
    // thread, which writes it while workers may be reading.
    HWND WindowForWorkers() const { return m_hWndForWorkers.load(); }
    void PreSubclassWindow() override;

    void DeliverPostedTexts();
    void FlushRedrawQueue();
    // Polling timers. The redraw timer (2209) runs only while the redraw queue holds something;
    // the copy (2206) and track (2211) polls only while the mouse is over the dialog or one of
    // its children, or a mouse button is held. A hidden top-level dialog rests: SetPollingTimers
    // (false) stops all three and none starts again until it is shown (SetPollingTimers(true)
    // wakes whatever has work).
    void SetPollingTimers(bool bOn);
    void StartRedrawTimer();
    void StartMousePolls();
    void StopMousePolls();
    // Rests the polling timers when the dialog is a hidden top-level window; TRUE when it did.
    bool RestIfHidden();
    // The cursor is over this window (any part of it) or one of its descendants.
    bool IsMouseWithin() const;
    // True once the pointer has lain still for MOUSE_REST_MS (polled by the mouse timers).
    bool MouseHasRested();
    // A mouse message for this dialog or one of its descendants: the mouse is over it.
    void OnMouseSeen(UINT message, HWND hWnd);
    void CopyTextsUnderCursor();
    void TrackStaticUnderCursor();
    void ReadLanguageSetLangId();

    // ---- Members of the core ---------------------------------------------------------------
    BOOL m_bEmbedded = FALSE;
    int m_nLangId = 0;
    int m_nRedrawExclusions[REDRAW_EXCLUSIONS] = {};
    std::vector<HWND> m_lstRedrawQueue;
    std::vector<std::unique_ptr<CMyDialog>> m_lstChildDialogs;
    std::wstring m_strLangSection; // "DIALOG-%d"
    std::unique_ptr<CMyProfile> m_pProfile;
    std::vector<ImageButton> m_lstImageButtons;
    int m_nLastClickedId = 0;     // also used by the input side
    HWND m_hWndTracked = nullptr; // timer 2211
    // Set when the window is bound, cleared when its last message (WM_NCDESTROY) arrives.
    std::atomic<HWND> m_hWndForWorkers{nullptr};
    bool m_bResting = false;        // hidden top-level: no polling timer until shown
    bool m_bRedrawTimer = false;    // timer 2209 set
    bool m_bMousePolls = false;     // timers 2206 and 2211 set
    UINT m_nCopyPeriod = 0;         // the period timer 2206 is set to
    POINT m_ptLastTrack = {-1, -1}; // timer 2211
    POINT m_ptRest = {-1, -1};      // where the pointer lies still, since m_dwRestSince
    DWORD m_dwRestSince = 0;

    // ---- Input members (MyDialogInput.cpp) ---------------------------------------------------
    struct WheelStep {
        int nID;
        BOOL bReal;
        double dStep;
    };
    struct EditSliderLink {
        int nSliderID;
        int nEditID;
        float fStep;
    };
    const EditSliderLink* FindLinkByEdit(int nEditID) const;
    const EditSliderLink* FindLinkBySlider(int nSliderID) const;
    void OnScroll(HWND hWndScroll);
    // Clipboard text of a Ctrl key release on a combo box or list view (empty = nothing).
    std::wstring CopyTextForKey(HWND hWnd, WPARAM nKey);
    BOOL CopyToClipboard(const std::wstring& text);
    // The CMyDialog nearest above (or at) hWnd; messages of embedded dialogs belong to them.
    static CMyDialog* OwningDialog(HWND hWnd);

    int m_nFocusedEditId = 0;
    int m_nLastClickedEditId = 0;
    POINT m_ptMouseDown = {0, 0};
    short m_nLastWheelDelta = 0;
    std::vector<WheelStep> m_lstWheelSteps;
    std::vector<EditSliderLink> m_lstEditSliderLinks;
    int m_nAutoStartCheckId = -1; // check box that switches starting with the system

    // ---- Parts --------------------------------------------------------------------------------
    // The frame reads what the skinning pass recorded, so the pass comes first.
    CSkinningPass m_skins{*this};
    CDialogFrame m_frame{*this, m_skins};
    CSerialButtons m_serial{*this};
    CTrayIcon m_tray{*this};
};
