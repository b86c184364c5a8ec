#include "platform/CDialog.h"

#include "platform/CWinApp.h"
#include "platform/PlatformInit.h"

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog()
{
    // Destroy here, while the dialog part of the object still answers its messages.
    if (m_hWnd)
        ::DestroyWindow(m_hWnd);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Everything but the first WM_INITDIALOG reaches the object through its subclass procedure;
    // answering FALSE here leaves the rest to the dialog manager's default handling.
    if (message != WM_INITDIALOG || FromHandle(hWnd))
        return FALSE;
    auto* pDlg = reinterpret_cast<CDialog*>(lParam);
    if (!pDlg || !pDlg->BindWindow(hWnd, true))
        return FALSE;
    return Dispatch(pDlg, WM_INITDIALOG, wParam, lParam);
}

HWND CDialog::CreateFromTemplate(UINT nIDTemplate, HWND hWndParent)
{
    InitPlatformControls();
    HWND hWnd = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(nIDTemplate), hWndParent,
                                     &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    if (hWnd && m_hWnd != hWnd) {
        // Made but never bound: the object would not see its own window.
        ::DestroyWindow(hWnd);
        return nullptr;
    }
    return hWnd;
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd)
{
    if (m_hWnd)
        return FALSE;
    m_nIDTemplate = nIDTemplate;
    if (pParentWnd)
        m_pParentWnd = pParentWnd;
    m_bModal = false;
    m_bContinueModal = false;
    return CreateFromTemplate(nIDTemplate, pParentWnd ? pParentWnd->m_hWnd : nullptr) != nullptr;
}

HWND CDialog::ModalOwner() const
{
    HWND hWndOwner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    if (!hWndOwner) {
        CWnd* pMain = AfxGetMainWnd();
        if (pMain && pMain != this)
            hWndOwner = pMain->m_hWnd;
    }
    if (!hWndOwner)
        hWndOwner = ::GetActiveWindow();
    if (hWndOwner)
        hWndOwner = ::GetAncestor(hWndOwner, GA_ROOT);
    return hWndOwner;
}

INT_PTR CDialog::DoModal()
{
    if (m_hWnd)
        return -1;
    HWND hWndOwner = ModalOwner();
    bool bOwnerDisabled = false;
    if (hWndOwner && ::IsWindowEnabled(hWndOwner)) {
        ::EnableWindow(hWndOwner, FALSE);
        bOwnerDisabled = true;
    }

    m_bModal = true;
    m_bContinueModal = true;
    m_nModalResult = -1;
    HWND hWnd = CreateFromTemplate(m_nIDTemplate, hWndOwner);
    if (hWnd) {
        if (m_bContinueModal && m_hWnd == hWnd && !::IsWindowVisible(hWnd))
            ::ShowWindow(hWnd, SW_SHOWNORMAL);
        RunModalLoop();
    }

    // Re-enable the owner before the dialog goes, so that activation returns to it.
    if (bOwnerDisabled)
        ::EnableWindow(hWndOwner, TRUE);
    if (hWnd && m_hWnd == hWnd) {
        if (hWndOwner && ::GetActiveWindow() == hWnd)
            ::SetActiveWindow(hWndOwner);
        ::SetWindowPos(hWnd, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
        ::DestroyWindow(hWnd);
    }
    m_bModal = false;
    m_bContinueModal = false;
    return m_nModalResult;
}

void CDialog::RunModalLoop()
{
    MSG msg;
    while (m_bContinueModal && m_hWnd) {
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            // Leave WM_QUIT for the loop outside this one.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got == -1)
            break;
        if (!WalkPreTranslateTree(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

void CDialog::EndDialog(int nResult)
{
    if (m_bModal) {
        m_nModalResult = nResult;
        if (m_bContinueModal) {
            m_bContinueModal = false;
            // Wakes the loop when the call came from outside a dispatched message.
            if (m_hWnd)
                ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
        }
    } else if (m_hWnd) {
        ::ShowWindow(m_hWnd, SW_HIDE);
    }
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(false);
    return TRUE;
}

void CDialog::DoDataExchange(bool) {}

BOOL CDialog::UpdateData(bool bSaveAndValidate)
{
    DoDataExchange(bSaveAndValidate);
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(true))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg)
{
    if (!m_hWnd)
        return FALSE;
    UINT message = pMsg->message;
    bool bInput = (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
                  (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST);
    // Keyboard navigation (Tab, arrows, Enter, Escape, mnemonics) of this dialog's controls.
    return bInput && ::IsDialogMessageW(m_hWnd, pMsg);
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        return OnInitDialog();
    return CWnd::WindowProc(message, wParam, lParam);
}

BOOL CDialog::OnCmdMsg(UINT nID, int nCode)
{
    // Buttons (code 0) and accelerators (code 1).
    if (nCode != 0 && nCode != 1)
        return FALSE;
    if (nID == IDOK) {
        OnOK();
        return TRUE;
    }
    if (nID == IDCANCEL) {
        OnCancel();
        return TRUE;
    }
    return FALSE;
}
