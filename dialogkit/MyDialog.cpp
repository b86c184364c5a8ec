#include "dialogkit/MyDialog.h"

#include "controls/SkinFiles.h"
#include "base/MyProfile.h"
#include "platform/CClientDC.h"
#include "platform/CGdiObject.h"
#include "platform/CSelectObject.h"
#include "platform/WindowText.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <mutex>
#include <optional>
#include <unordered_map>

namespace {

// Process-wide state of all dialogs. Never destroyed: dialogs may outlive static destruction.
struct DialogShared {
    std::mutex lock; // dialogs and the choice name lists
    std::vector<CMyDialog*> dialogs;
    std::vector<std::wstring> parityNames;
    std::vector<std::wstring> flowNames;
    std::once_flag skinsOnce;
    std::once_flag mutexOnce;
    std::atomic<bool> bMutex{false};
    CFont fixedFont; // user-interface thread only
};

DialogShared& Shared()
{
    static DialogShared* pShared = new DialogShared;
    return *pShared;
}

// One deferred text. The ring is shared by every thread, so it is guarded by its own lock.
struct PostSlot {
    const CMyDialog* pOwner = nullptr;
    unsigned nSequence = 0;
    int nID = 0;
    wchar_t szText[CMyDialog::POST_TEXT_CHARS - 14] = {};
};

struct PostRing {
    std::mutex lock;
    PostSlot slots[CMyDialog::POST_TEXT_SLOTS];
    unsigned nCounter = 0;
};

PostRing& Ring()
{
    static PostRing* pRing = new PostRing;
    return *pRing;
}

// Private messages: a call marshalled to the window's thread, and the start of the deferred
// text timer (SetTimer works only on the thread that owns the window).
UINT CallMessage()
{
    static const UINT message = ::RegisterWindowMessageW(L"CMyDialog.CallOnWindowThread");
    return message;
}

// Calls marshalled by CallOnWindowThread wait here under a token; the message carries only the
// token. The call message is registered desktop-wide, so any program can send it to a dialog:
// a token that this process did not hand out for that window runs nothing.
struct PendingCall {
    HWND hWnd;
    const std::function<void()>* pFn;
};

struct CallTable {
    std::mutex lock;
    std::unordered_map<ULONG_PTR, PendingCall> calls;
    ULONG_PTR nNext = 0;
};

CallTable& Calls()
{
    static CallTable* pTable = [] {
        auto* pNew = new CallTable;
        // Starts somewhere hard to guess, so a stray number rarely matches a waiting call.
        LARGE_INTEGER now{};
        ::QueryPerformanceCounter(&now);
        pNew->nNext = static_cast<ULONG_PTR>(now.QuadPart) * 0x9E3779B97F4A7C15ull ^
                      (static_cast<ULONG_PTR>(::GetCurrentProcessId()) << 32);
        return pNew;
    }();
    return *pTable;
}

ULONG_PTR RegisterCall(HWND hWnd, const std::function<void()>* pFn)
{
    CallTable& table = Calls();
    std::lock_guard<std::mutex> guard(table.lock);
    ULONG_PTR token;
    do
        token = table.nNext++;
    while (token == 0 || table.calls.count(token));
    table.calls.emplace(token, PendingCall{hWnd, pFn});
    return token;
}

// The waiting call of that token for that window, taken out of the table; null for anything else.
const std::function<void()>* TakeCall(ULONG_PTR token, HWND hWnd)
{
    CallTable& table = Calls();
    std::lock_guard<std::mutex> guard(table.lock);
    auto it = table.calls.find(token);
    if (it == table.calls.end() || it->second.hWnd != hWnd)
        return nullptr;
    const std::function<void()>* pFn = it->second.pFn;
    table.calls.erase(it);
    return pFn;
}

void DropCall(ULONG_PTR token)
{
    CallTable& table = Calls();
    std::lock_guard<std::mutex> guard(table.lock);
    table.calls.erase(token);
}

UINT PostTimerMessage()
{
    static const UINT message = ::RegisterWindowMessageW(L"CMyDialog.StartPostTextTimer");
    return message;
}

bool OnOwnerThread(HWND hWnd)
{
    return hWnd && ::GetWindowThreadProcessId(hWnd, nullptr) == ::GetCurrentThreadId();
}

void PutTextOnClipboard(HWND hWndOwner, const std::wstring& text)
{
    if (text.empty() || !::OpenClipboard(hWndOwner))
        return;
    ::EmptyClipboard();
    size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL hMem = ::GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        if (void* p = ::GlobalLock(hMem)) {
            std::memcpy(p, text.c_str(), bytes);
            ::GlobalUnlock(hMem);
            if (!::SetClipboardData(CF_UNICODETEXT, hMem))
                ::GlobalFree(hMem);
        } else {
            ::GlobalFree(hMem);
        }
    }
    ::CloseClipboard();
}

int CollectRows(HWND hList, std::vector<int>& rows, BOOL bFront, bool bChecked)
{
    rows.clear();
    if (!hList || !::IsWindow(hList))
        return 0;
    int count = static_cast<int>(::SendMessageW(hList, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        bool hit;
        if (bChecked) {
            UINT state = static_cast<UINT>(
                ::SendMessageW(hList, LVM_GETITEMSTATE, static_cast<WPARAM>(i), LVIS_STATEIMAGEMASK));
            hit = ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
        } else {
            hit = (::SendMessageW(hList, LVM_GETITEMSTATE, static_cast<WPARAM>(i), LVIS_SELECTED) &
                   LVIS_SELECTED) != 0;
        }
        if (!hit)
            continue;
        if (bFront)
            rows.insert(rows.begin(), i);
        else
            rows.push_back(i);
    }
    return static_cast<int>(rows.size());
}

} // namespace

// ---- Construction and destruction ------------------------------------------------------------

CMyDialog::CMyDialog(UINT nIDTemplate, CWnd* pParentWnd) : CDialog(nIDTemplate, pParentWnd)
{
    m_lstRedrawQueue.reserve(10);
    m_lstChildDialogs.reserve(10);
    DialogShared& shared = Shared();
    {
        std::lock_guard<std::mutex> guard(shared.lock);
        shared.dialogs.push_back(this);
        for (const wchar_t* name : {L"无", L"奇校验", L"偶校验", L"Mark", L"空格校验"})
            shared.parityNames.emplace_back(name);
        for (const wchar_t* name : {L"硬件", L"软件", L"无", L"自定义"})
            shared.flowNames.emplace_back(name);
    }
    std::call_once(shared.skinsOnce, [] { WriteDefaultSkins(); });

    wchar_t section[32];
    std::swprintf(section, 32, L"DIALOG-%d", static_cast<int>(nIDTemplate));
    m_strLangSection = section;
    m_pProfile =
        std::make_unique<CMyProfile>(GetLanguageFileName().c_str(), m_strLangSection.c_str(), nullptr);
    ReadLanguageSetLangId();
    // The parent is kept as the owner for CreateModeless / DoModal. The window is not made here:
    // during construction the derived OnInitDialog and ApplyLanguage are not reachable yet.
}

void CMyDialog::ReadLanguageSetLangId()
{
    m_nLangId = m_pProfile->GetInt(L"SetLangID", 0);
}

CMyDialog::~CMyDialog()
{
    // Workers first: a pass may still use the controls, the children or the window.
    StopAllThreads();
    {
        DialogShared& shared = Shared();
        std::lock_guard<std::mutex> guard(shared.lock);
        auto& dialogs = shared.dialogs;
        dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), this), dialogs.end());
    }
    {
        // Pending texts for this object must not reach a later dialog at the same address.
        PostRing& ring = Ring();
        std::lock_guard<std::mutex> guard(ring.lock);
        for (auto& slot : ring.slots)
            if (slot.pOwner == this)
                slot = PostSlot{};
    }
    m_lstChildDialogs.clear();
    m_tray.Release();
    // The window goes while the control objects still answer its children's last messages.
    if (m_hWnd)
        ::DestroyWindow(m_hWnd);
    m_skins.Release();
    m_lstRedrawQueue.clear();
    m_frame.Release();
}

std::vector<CMyDialog*> CMyDialog::GetLiveDialogs()
{
    DialogShared& shared = Shared();
    std::lock_guard<std::mutex> guard(shared.lock);
    return shared.dialogs;
}

BOOL CMyDialog::IsLiveDialog(const CMyDialog* pDlg)
{
    DialogShared& shared = Shared();
    std::lock_guard<std::mutex> guard(shared.lock);
    return std::find(shared.dialogs.begin(), shared.dialogs.end(), pDlg) != shared.dialogs.end();
}

std::vector<std::wstring> CMyDialog::GetParityNames()
{
    DialogShared& shared = Shared();
    std::lock_guard<std::mutex> guard(shared.lock);
    return shared.parityNames;
}

std::vector<std::wstring> CMyDialog::GetFlowNames()
{
    DialogShared& shared = Shared();
    std::lock_guard<std::mutex> guard(shared.lock);
    return shared.flowNames;
}

BOOL CMyDialog::HasFrameworkMutex()
{
    return Shared().bMutex.load();
}

HFONT CMyDialog::GetFixedFont()
{
    return Shared().fixedFont.GetSafeHandle();
}

// ---- Virtual operations ----------------------------------------------------------------------

void CMyDialog::ApplyLanguage(int) {}

int CMyDialog::OnSerialReceive(const void*, int, void*)
{
    return 0;
}

BOOL CMyDialog::CreateModeless(UINT nIDTemplate, CWnd* pParentWnd)
{
    return CDialog::Create(nIDTemplate, pParentWnd);
}

BOOL CMyDialog::CreateModeless(CWnd* pParentWnd)
{
    return CreateModeless(m_nIDTemplate, pParentWnd ? pParentWnd : m_pParentWnd);
}

void CMyDialog::PreSubclassWindow()
{
    CDialog::PreSubclassWindow();
    m_hWndForWorkers.store(m_hWnd);
}

BOOL CMyDialog::CallOnWindowThread(const std::function<void()>& fn)
{
    HWND hWnd = WindowForWorkers();
    if (!hWnd || !::IsWindow(hWnd))
        return FALSE;
    if (OnOwnerThread(hWnd)) {
        fn();
        return TRUE;
    }
    DWORD_PTR result = 0;
    // Sent, so the caller's arguments stay alive; a window that went away in between answers 0.
    const ULONG_PTR token = RegisterCall(hWnd, &fn);
    const bool bDone = ::SendMessageTimeoutW(hWnd, CallMessage(), 0, static_cast<LPARAM>(token), SMTO_NORMAL,
                                             INFINITE, &result) != 0 &&
                       result == 1;
    DropCall(token); // still there when the window never took it
    return bDone;
}

void CMyDialog::SetItemText(int nID, LPCWSTR lpszText)
{
    std::wstring text = lpszText ? lpszText : L"";
    if (!OnOwnerThread(WindowForWorkers())) {
        CallOnWindowThread([this, nID, &text] { SetItemText(nID, text.c_str()); });
        return;
    }
    HWND hItem = FindItem(nID, TRUE);
    if (!hItem || WindowTextOf(hItem) == text)
        return;
    ::SetWindowTextW(hItem, text.c_str());
    RedrawControl(hItem);
}

void CMyDialog::SetItemInt(int nID, int nValue)
{
    wchar_t text[16];
    std::swprintf(text, 16, L"%d", nValue);
    SetItemText(nID, text);
}

HWND CMyDialog::FindItem(int nID, BOOL bSearchChildren)
{
    const HWND hWnd = WindowForWorkers();
    if (!hWnd)
        return nullptr;
    if (!OnOwnerThread(hWnd)) {
        HWND hFound = nullptr;
        CallOnWindowThread(
            [this, nID, bSearchChildren, &hFound] { hFound = FindItem(nID, bSearchChildren); });
        return hFound;
    }
    if (HWND hItem = ::GetDlgItem(hWnd, nID))
        return hItem;
    if (!bSearchChildren)
        return nullptr;
    for (auto& pChild : m_lstChildDialogs)
        if (HWND hItem = pChild->FindItem(nID, TRUE))
            return hItem;
    return nullptr;
}

// ---- OnInitDialog and the skinning pass ------------------------------------------------------

BOOL CMyDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    DialogShared& shared = Shared();
    // One handle for the process: a handle per dialog would never be closed.
    std::call_once(shared.mutexOnce, [&shared] {
        if (::CreateMutexW(nullptr, FALSE, MUTEX_NAME))
            shared.bMutex = true;
    });
    ModifyStyleEx(0, WS_EX_ACCEPTFILES);
    m_skins.Run();
    m_frame.Init();
    if (!shared.fixedFont) {
        LOGFONTW lf{};
        HFONT hFont = GetFont();
        if (!hFont || ::GetObjectW(hFont, sizeof lf, &lf) == 0)
            ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
        wcsncpy_s(lf.lfFaceName, L"Fixedsys", _TRUNCATE);
        shared.fixedFont.Attach(::CreateFontIndirectW(&lf));
    }
    if (HWND hFocus = ::GetFocus(); hFocus && ::IsChild(m_hWnd, hFocus))
        m_nLastClickedId = ::GetDlgCtrlID(hFocus);
    // The polling timers start when there is work: a queued redraw or the mouse over the dialog.
    m_bResting = false;
    if (!m_lstRedrawQueue.empty())
        StartRedrawTimer();
    SetTimer(TIMER_LANGUAGE, 200);
    return TRUE;
}

void CMyDialog::SetPollingTimers(bool bOn)
{
    if (!m_hWnd)
        return;
    if (bOn) {
        // Shown: whatever has work starts; the mouse polls look once whether the window came up
        // under the cursor and stop at their first tick when it did not.
        m_bResting = false;
        if (!m_lstRedrawQueue.empty())
            StartRedrawTimer();
        StartMousePolls();
        return;
    }
    m_bResting = true;
    if (m_bRedrawTimer)
        KillTimer(TIMER_REDRAW);
    m_bRedrawTimer = false;
    StopMousePolls();
}

// A timer may start only on a dialog that is not resting; a resting one that is visible again
// (shown without WM_SHOWWINDOW, or a child) wakes up.
static bool MayStart(HWND hWnd, bool& bResting)
{
    if (!hWnd || !OnOwnerThread(hWnd))
        return false;
    if (bResting) {
        if (!::IsWindowVisible(hWnd) && !(::GetWindowLongPtrW(hWnd, GWL_STYLE) & WS_CHILD))
            return false;
        bResting = false;
    }
    return true;
}

void CMyDialog::StartRedrawTimer()
{
    if (m_bRedrawTimer || !MayStart(m_hWnd, m_bResting))
        return;
    m_bRedrawTimer = SetTimer(TIMER_REDRAW, 10) != 0;
}

void CMyDialog::StartMousePolls()
{
    if (m_bMousePolls || !MayStart(m_hWnd, m_bResting))
        return;
    m_nCopyPeriod = 20;
    ::GetCursorPos(&m_ptRest);
    m_dwRestSince = ::GetTickCount();
    SetTimer(TIMER_COPY_TEXT, m_nCopyPeriod);
    SetTimer(TIMER_TRACK, 30);
    m_bMousePolls = true;
}

void CMyDialog::StopMousePolls()
{
    if (m_bMousePolls && m_hWnd) {
        KillTimer(TIMER_COPY_TEXT);
        KillTimer(TIMER_TRACK);
    }
    m_bMousePolls = false;
    m_hWndTracked = nullptr;
    m_ptLastTrack = {-1, -1};
}

bool CMyDialog::RestIfHidden()
{
    // A hidden window has nothing to repaint, copy or track (an idle tool keeps several dialogs
    // hidden). A child is left alone: it is not told when its hidden parent is shown again.
    if (::IsWindowVisible(m_hWnd) || (GetStyle() & WS_CHILD))
        return false;
    SetPollingTimers(false);
    return true;
}

bool CMyDialog::IsMouseWithin() const
{
    POINT pt;
    if (!m_hWnd || !::GetCursorPos(&pt))
        return false;
    HWND hUnder = ::WindowFromPoint(pt);
    return hUnder && (hUnder == m_hWnd || ::IsChild(m_hWnd, hUnder));
}

bool CMyDialog::MouseHasRested()
{
    // A pointer left lying on the window must not keep two timers waking the thread: once it has
    // not moved for a while the polls stop, and its next move (a mouse message) starts them again.
    POINT pt{};
    ::GetCursorPos(&pt);
    const DWORD now = ::GetTickCount();
    if (pt.x != m_ptRest.x || pt.y != m_ptRest.y) {
        m_ptRest = pt;
        m_dwRestSince = now;
        return false;
    }
    return now - m_dwRestSince >= MOUSE_REST_MS;
}

void CMyDialog::OnMouseSeen(UINT message, HWND hWnd)
{
    switch (message) {
    case WM_SETCURSOR:
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        break;
    default:
        return;
    }
    if (!m_bMousePolls && m_hWnd && (hWnd == m_hWnd || ::IsChild(m_hWnd, hWnd)))
        StartMousePolls();
}

void CMyDialog::DoDataExchange(bool bSaveAndValidate)
{
    CDialog::DoDataExchange(bSaveAndValidate);
}

// ---- Timers -----------------------------------------------------------------------------------

void CMyDialog::OnTimer(UINT_PTR)
{
    Default();
}

void CMyDialog::OnFrameworkTimer(UINT_PTR nIDEvent)
{
    switch (nIDEvent) {
    case TIMER_FONT_SIZE:
        KillTimer(nIDEvent);
        m_frame.ApplyFontSize();
        break;
    case TIMER_POST_TEXT:
        KillTimer(nIDEvent);
        DeliverPostedTexts();
        break;
    case TIMER_TRANSPARENT:
        KillTimer(nIDEvent);
        m_frame.RepaintTransparent();
        break;
    case TIMER_COPY_TEXT:
    case TIMER_TRACK: {
        if (RestIfHidden())
            break;
        const bool bHeld = ::GetAsyncKeyState(VK_LBUTTON) < 0 || ::GetAsyncKeyState(VK_RBUTTON) < 0 ||
                           ::GetAsyncKeyState(VK_MBUTTON) < 0;
        if (!bHeld && (!IsMouseWithin() || MouseHasRested())) {
            StopMousePolls(); // the next WM_SETCURSOR or mouse message over the dialog restarts them
            break;
        }
        if (nIDEvent == TIMER_COPY_TEXT)
            CopyTextsUnderCursor();
        else
            TrackStaticUnderCursor();
        break;
    }
    case TIMER_WRITE_TEMPLATE:
        KillTimer(nIDEvent);
        WriteLanguageTemplate(m_nLangId);
        break;
    case TIMER_REDRAW:
        FlushRedrawQueue();
        if (m_lstRedrawQueue.empty()) {
            KillTimer(TIMER_REDRAW);
            m_bRedrawTimer = false;
        }
        RestIfHidden();
        break;
    case TIMER_LANGUAGE:
        KillTimer(nIDEvent);
        LoadLanguage(GetGlobalLanguage());
        break;
    default:
        break; // reserved for the framework
    }
}

void CMyDialog::CopyTextsUnderCursor()
{
    if (!HasFrameworkMutex())
        return;
    bool bCopied = false;
    if (::GetAsyncKeyState(VK_CONTROL) < 0 && ::GetAsyncKeyState(VK_RBUTTON) < 0) {
        POINT pt;
        ::GetCursorPos(&pt);
        if (HWND hUnder = ::WindowFromPoint(pt)) {
            std::wstring text = WindowTextOf(hUnder) + L",";
            for (HWND hChild = ::GetWindow(hUnder, GW_CHILD); hChild;
                 hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
                RECT rc;
                ::GetWindowRect(hChild, &rc);
                if (::PtInRect(&rc, pt))
                    text += WindowTextOf(hChild) + L",";
            }
            PutTextOnClipboard(m_hWnd, text);
            bCopied = true;
        }
    }
    // Re-armed only when the period changes: every SetTimer is a call to the window server.
    const UINT nPeriod = bCopied ? 2000 : 20;
    if (nPeriod != m_nCopyPeriod) {
        m_nCopyPeriod = nPeriod;
        SetTimer(TIMER_COPY_TEXT, nPeriod);
    }
}

void CMyDialog::TrackStaticUnderCursor()
{
    if (::GetAsyncKeyState(VK_LBUTTON) >= 0) {
        m_hWndTracked = nullptr;
        return;
    }
    POINT pt;
    ::GetCursorPos(&pt);
    if (pt.x == m_ptLastTrack.x && pt.y == m_ptLastTrack.y)
        return;
    m_ptLastTrack = pt;
    if (!m_hWndTracked) {
        HWND hUnder = ::WindowFromPoint(pt);
        if (hUnder && ::GetParent(hUnder) == m_hWnd && IsClass(hUnder, L"STATIC"))
            m_hWndTracked = hUnder;
    }
    if (m_hWndTracked && !::IsWindow(m_hWndTracked))
        m_hWndTracked = nullptr;
    QueueRedraw(m_hWndTracked);
}

// ---- Redraw queue -----------------------------------------------------------------------------

void CMyDialog::QueueRedraw(HWND hWnd)
{
    if (!hWnd)
        return;
    if (const HWND hDlg = WindowForWorkers(); hDlg && !OnOwnerThread(hDlg)) {
        // The queue and its timer belong to the window's thread.
        CallOnWindowThread([this, hWnd] { QueueRedraw(hWnd); });
        return;
    }
    if (std::find(m_lstRedrawQueue.begin(), m_lstRedrawQueue.end(), hWnd) == m_lstRedrawQueue.end())
        m_lstRedrawQueue.push_back(hWnd);
    StartRedrawTimer();
}

void CMyDialog::RedrawItem(int nID)
{
    QueueRedraw(FindItem(nID, TRUE));
}

void CMyDialog::SetRedrawExclusion(int nIndex, int nID)
{
    if (nIndex >= 0 && nIndex < REDRAW_EXCLUSIONS)
        m_nRedrawExclusions[nIndex] = nID;
}

void CMyDialog::FlushRedrawQueue()
{
    std::vector<HWND> queue;
    queue.swap(m_lstRedrawQueue);
    for (HWND hWnd : queue) {
        if (!::IsWindow(hWnd))
            continue;
        const int nID = ::GetDlgCtrlID(hWnd);
        if (std::find(std::begin(m_nRedrawExclusions), std::end(m_nRedrawExclusions), nID) !=
                std::end(m_nRedrawExclusions) &&
            nID != 0)
            continue;
        RECT rc;
        ::GetWindowRect(hWnd, &rc);
        ::InflateRect(&rc, 2, 2);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
        ::InvalidateRect(m_hWnd, &rc, TRUE);
    }
}

void CMyDialog::RedrawControl(HWND hWnd)
{
    if (!hWnd || !::IsWindow(hWnd))
        return;
    const bool bChild = (::GetWindowLongPtrW(hWnd, GWL_STYLE) & WS_CHILD) != 0;
    HWND hParent = bChild ? ::GetParent(hWnd) : nullptr;
    RECT rc;
    if (hParent) {
        ::GetWindowRect(hWnd, &rc);
        ::InflateRect(&rc, 2, 2);
        ::MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&rc), 2);
        ::RedrawWindow(hParent, &rc, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    } else {
        ::GetClientRect(hWnd, &rc);
        ::InflateRect(&rc, 2, 2);
        ::RedrawWindow(hWnd, &rc, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
}

// ---- Deferred texts ----------------------------------------------------------------------------

void CMyDialog::PostItemText(int nID, LPCWSTR lpszText)
{
    {
        PostRing& ring = Ring();
        std::lock_guard<std::mutex> guard(ring.lock);
        const unsigned nSequence = ring.nCounter++;
        PostSlot& slot = ring.slots[nSequence % POST_TEXT_SLOTS];
        slot = PostSlot{};
        slot.pOwner = this;
        slot.nSequence = nSequence;
        slot.nID = nID;
        wcsncpy_s(slot.szText, lpszText ? lpszText : L"", _TRUNCATE);
    }
    HWND hWnd = WindowForWorkers();
    if (!hWnd)
        return;
    if (OnOwnerThread(hWnd))
        ::SetTimer(hWnd, TIMER_POST_TEXT, 200, nullptr);
    else
        ::PostMessageW(hWnd, PostTimerMessage(), 0, 0);
}

void CMyDialog::DeliverPostedTexts()
{
    struct Pending {
        unsigned nSequence;
        int nID;
        std::wstring text;
    };
    std::vector<Pending> pending;
    {
        PostRing& ring = Ring();
        std::lock_guard<std::mutex> guard(ring.lock);
        for (auto& slot : ring.slots) {
            if (slot.pOwner != this)
                continue;
            pending.push_back({slot.nSequence, slot.nID, slot.szText});
            slot = PostSlot{};
        }
    }
    // Oldest first, so the latest text of a control wins.
    std::sort(pending.begin(), pending.end(),
              [](const Pending& a, const Pending& b) { return a.nSequence - b.nSequence > 0x80000000u; });
    for (const auto& item : pending) {
        HWND hItem = FindItem(item.nID, TRUE);
        if (!hItem)
            continue;
        if (item.text.empty())
            CSkinningPass::ClearButtonImages(hItem);
        SetItemText(item.nID, item.text.c_str());
    }
}

void CMyDialog::SetItemTextEx(int nID, LPCWSTR lpszText, BOOL bDeferred)
{
    SetItemText(nID, lpszText);
    if (bDeferred)
        PostItemText(nID, lpszText);
}

// ---- Commands and helpers -----------------------------------------------------------------------

LRESULT CMyDialog::SendCommand(int nCmdId, LPARAM lParam, BOOL bSend)
{
    if (!m_hWnd)
        return 0;
    const WPARAM wParam = MAKEWPARAM(static_cast<WORD>(nCmdId), 0);
    if (bSend)
        return ::SendMessageW(m_hWnd, WM_COMMAND, wParam, lParam);
    return ::PostMessageW(m_hWnd, WM_COMMAND, wParam, lParam);
}

void CMyDialog::PostCommandToParent(int nCmdId, LPARAM lParam)
{
    if (!m_hWnd)
        return;
    if (HWND hParent = ::GetParent(m_hWnd))
        ::PostMessageW(hParent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(nCmdId), 0), lParam);
}

CMyDialog* CMyDialog::EmbedChildDialog(UINT nIDTemplate, BOOL bShow)
{
    auto pChild = std::make_unique<CMyDialog>(nIDTemplate, nullptr);
    pChild->m_bEmbedded = TRUE;
    if (!pChild->CreateModeless(nIDTemplate, this))
        return nullptr;
    if (bShow)
        pChild->ShowWindow(SW_SHOW);
    m_lstChildDialogs.push_back(std::move(pChild));
    return m_lstChildDialogs.back().get();
}

int CMyDialog::GetControlKind(int nID)
{
    HWND hItem = FindItem(nID, TRUE);
    if (!hItem)
        return KIND_OTHER;
    static const struct {
        const wchar_t* pszClass;
        int nKind;
    } kKinds[] = {{L"BUTTON", KIND_BUTTON},
                  {L"STATIC", KIND_STATIC},
                  {L"EDIT", KIND_EDIT},
                  {L"COMBOBOX", KIND_COMBOBOX},
                  {L"SYSLISTVIEW32", KIND_LISTVIEW}};
    for (const auto& k : kKinds)
        if (IsClass(hItem, k.pszClass))
            return k.nKind;
    return KIND_OTHER;
}

void CMyDialog::SetItemFixedFont(int nID, BOOL bFixed)
{
    HWND hItem = FindItem(nID, TRUE);
    if (!hItem)
        return;
    HFONT hFont = bFixed ? GetFixedFont() : GetFont();
    if (hFont)
        ::SendMessageW(hItem, WM_SETFONT, reinterpret_cast<WPARAM>(hFont), TRUE);
}

void CMyDialog::SetComboSel(int nID, int nValue, BOOL bByIndex)
{
    HWND hCombo = FindItem(nID, TRUE);
    if (!hCombo)
        return;
    if (bByIndex) {
        if (::SendMessageW(hCombo, CB_SETCURSEL, static_cast<WPARAM>(nValue), 0) == CB_ERR)
            ::SendMessageW(hCombo, CB_SETCURSEL, 0, 0);
        return;
    }
    wchar_t text[16];
    std::swprintf(text, 16, L"%d", nValue);
    if (::SendMessageW(hCombo, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text)) !=
        CB_ERR)
        return;
    const int count = static_cast<int>(::SendMessageW(hCombo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        int length = static_cast<int>(::SendMessageW(hCombo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0));
        if (length <= 0)
            continue;
        std::wstring item(static_cast<size_t>(length) + 1, L'\0');
        ::SendMessageW(hCombo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item.data()));
        if (item.find(text) != std::wstring::npos) {
            ::SendMessageW(hCombo, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
            return;
        }
    }
}

int CMyDialog::GetComboSel(int nID)
{
    HWND hCombo = FindItem(nID, TRUE);
    if (!hCombo)
        return -1;
    return static_cast<int>(::SendMessageW(hCombo, CB_GETCURSEL, 0, 0));
}

int CMyDialog::AddComboString(int nID, LPCWSTR lpszText, int nIndex)
{
    HWND hCombo = FindItem(nID, TRUE);
    if (!hCombo)
        return -1;
    const LPARAM text = reinterpret_cast<LPARAM>(lpszText ? lpszText : L"");
    if (nIndex < 0)
        return static_cast<int>(::SendMessageW(hCombo, CB_ADDSTRING, 0, text));
    return static_cast<int>(::SendMessageW(hCombo, CB_INSERTSTRING, static_cast<WPARAM>(nIndex), text));
}

void CMyDialog::SaveComboItems(int nID, LPCWSTR lpszFile, LPCWSTR lpszSection, LPCWSTR lpszPrefix)
{
    HWND hCombo = FindItem(nID, TRUE);
    if (!hCombo)
        return;
    CMyProfile profile(lpszFile, lpszSection, lpszPrefix);
    const int count = static_cast<int>(::SendMessageW(hCombo, CB_GETCOUNT, 0, 0));
    profile.WriteInt((profile.GetItemPrefix() + L"Count").c_str(), count < 0 ? 0 : count);
    for (int i = 0; i < count; ++i) {
        int length = static_cast<int>(::SendMessageW(hCombo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0));
        std::wstring item(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
        if (length > 0)
            ::SendMessageW(hCombo, CB_GETLBTEXT, static_cast<WPARAM>(i),
                           reinterpret_cast<LPARAM>(item.data()));
        item.resize(static_cast<size_t>(length > 0 ? length : 0));
        profile.WriteStringAt(i, item.c_str());
    }
}

void CMyDialog::LoadComboItems(int nID, LPCWSTR lpszFile, LPCWSTR lpszSection, LPCWSTR lpszPrefix, int nCount,
                               BOOL bKeep)
{
    HWND hCombo = FindItem(nID, TRUE);
    if (!hCombo)
        return;
    CMyProfile profile(lpszFile, lpszSection, lpszPrefix);
    if (!bKeep)
        ::SendMessageW(hCombo, CB_RESETCONTENT, 0, 0);
    if (nCount == -1)
        nCount = profile.GetInt((profile.GetItemPrefix() + L"Count").c_str(), 0);
    if (nCount <= 0)
        nCount = 65535;
    for (int i = 0; i < nCount; ++i) {
        std::wstring text;
        profile.GetStringAt(i, text);
        if (!text.empty())
            ::SendMessageW(hCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    ::SendMessageW(hCombo, CB_SETCURSEL, 0, 0);
}

int CMyDialog::GetSelectedRows(HWND hList, std::vector<int>& rows, BOOL bFront)
{
    return CollectRows(hList, rows, bFront, false);
}

int CMyDialog::GetCheckedRows(HWND hList, std::vector<int>& rows, BOOL bFront)
{
    return CollectRows(hList, rows, bFront, true);
}

// ---- Frame forwarders taking a control id --------------------------------------------------------

void CMyDialog::AddTransparentItem(int nID)
{
    m_frame.AddTransparentItem(FindItem(nID));
}

void CMyDialog::MoveItem(int nID, int x, int y, BOOL bAbsolute)
{
    m_frame.MoveItem(FindItem(nID), x, y, bAbsolute);
}

void CMyDialog::AlignItem(int nID, int nMargin, int nEdge)
{
    m_frame.AlignItem(FindItem(nID), nMargin, nEdge);
}

void CMyDialog::ResizeItem(int nID, int nWidth, int nHeight)
{
    m_frame.ResizeItem(FindItem(nID), nWidth, nHeight);
}

void CMyDialog::SetItemBorder(int nID, BOOL bOn)
{
    m_frame.SetItemBorder(FindItem(nID), bOn);
}

void CMyDialog::PaintClient(HDC hDC)
{
    // The focused edit framed last counts as the last clicked control.
    if (const std::optional<int> focusedEdit = m_frame.PaintClient(hDC))
        m_nLastClickedId = *focusedEdit;
}

// ---- Messages -----------------------------------------------------------------------------------

LRESULT CMyDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    // In this order; the first part that ends a message answers it. The tray icon and the input
    // side only look, the serial buttons answer the cursor over them, the frame paints, colours
    // and drags, the core runs marshalled calls and framework timers.
    LRESULT result = 0;
    if (m_tray.OnMessage(message, wParam, lParam, result))
        return result;
    if (OnInputMessage(message, wParam, lParam, result))
        return result;
    if (m_serial.OnMessage(message, wParam, lParam, result))
        return result;
    if (m_frame.OnMessage(message, wParam, lParam, result))
        return result;
    if (OnCoreMessage(message, wParam, lParam, result))
        return result;
    result = CDialog::WindowProc(message, wParam, lParam);
    // A new size moves the anchored controls once the default handling has taken it.
    m_frame.AfterMessage(message);
    return result;
}

bool CMyDialog::OnCoreMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message == CallMessage()) {
        result = 0;
        if (const std::function<void()>* pFn = TakeCall(static_cast<ULONG_PTR>(lParam), m_hWnd)) {
            (*pFn)();
            result = 1;
        }
        return true;
    }
    if (message == PostTimerMessage()) {
        SetTimer(TIMER_POST_TEXT, 200);
        result = 0;
        return true;
    }
    switch (message) {
    case WM_TIMER:
        if (wParam >= TIMER_FIRST && wParam <= TIMER_LAST)
            OnFrameworkTimer(wParam);
        else
            OnTimer(wParam);
        result = 0;
        return true;
    case WM_SHOWWINDOW:
        if (wParam)
            SetPollingTimers(true);
        else if (!(GetStyle() & WS_CHILD))
            SetPollingTimers(false);
        break;
    case WM_NCDESTROY:
        // Workers find no window from here on; m_hWnd itself is cleared after this message.
        m_hWndForWorkers.store(nullptr);
        break;
    case WM_DESTROY:
        m_lstRedrawQueue.clear();
        m_hWndTracked = nullptr;
        m_bRedrawTimer = false;
        m_bMousePolls = false;
        m_bResting = false;
        break;
    default:
        break;
    }
    return false;
}
