#include "dialogkit/SkinningPass.h"

#include "dialogkit/MyDialog.h"

#include "controls/MyButton.h"
#include "controls/MyCheckButton.h"
#include "controls/MyComboBox.h"
#include "controls/MyListBox.h"
#include "controls/MyProgressCtrl.h"
#include "controls/MySliderCtrl.h"
#include "controls/MyListCtrl.h"
#include "controls/MyListCtrlIds.h"
#include "platform/CClientDC.h"
#include "platform/CSelectObject.h"
#include "platform/WindowText.h"

#include <commctrl.h>

#include <algorithm>
#include <cwctype>

namespace {

constexpr COLORREF NO_COLOR = static_cast<COLORREF>(-1);

std::wstring UpperClassName(HWND hWnd)
{
    std::wstring upper = ClassOf(hWnd);
    for (auto& ch : upper)
        ch = static_cast<wchar_t>(std::towupper(ch));
    return upper;
}

bool IsNoId(int nID)
{
    return nID == CONTROL_ID_NONE || nID == -1;
}

} // namespace

CSkinningPass::CSkinningPass(CMyDialog& dlg) : m_dlg(dlg) {}

// Out of line: the header only declares CWnd, the base of the control objects it frees.
CSkinningPass::~CSkinningPass() = default;

void CSkinningPass::Run()
{
    const HWND hDlg = m_dlg.m_hWnd;
    m_dwSavedStyle = m_dlg.GetStyle();
    int nTextHeight = 0;
    if (const CClientDC dc(hDlg); dc) {
        const CSelectObject font(dc, m_dlg.GetFont() ? m_dlg.GetFont() : ::GetStockObject(DEFAULT_GUI_FONT));
        SIZE size{};
        if (::GetTextExtentPoint32W(dc, L"123", 3, &size))
            nTextHeight = size.cy;
    }
    for (HWND hChild = ::GetWindow(hDlg, GW_CHILD); hChild; hChild = ::GetWindow(hChild, GW_HWNDNEXT))
        SkinOne(hChild, nTextHeight);
}

void CSkinningPass::SkinOne(HWND hChild, int nTextHeight)
{
    const std::wstring cls = UpperClassName(hChild);
    const int nID = ::GetDlgCtrlID(hChild);
    const DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(hChild, GWL_STYLE));
    const DWORD mask = m_dwMask;
    bool bKeepEdges = false;

    // Attaches a control object and records it; an object that cannot bind is dropped.
    auto attach = [this, hChild, nID](std::unique_ptr<CWnd> pObject, DWORD dwKind) -> CWnd* {
        if (!pObject->SubclassWindow(hChild))
            return nullptr;
        CWnd* pRaw = pObject.get();
        m_lstObjects.push_back(std::move(pObject));
        m_lstSkinned.push_back({nID, dwKind, pRaw});
        return pRaw;
    };

    auto has = [&cls](const wchar_t* name) { return cls.find(name) != std::wstring::npos; };

    if (has(L"BUTTON")) {
        const DWORD type = style & BS_TYPEMASK;
        if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) {
            if ((mask & CMyDialog::SKIN_BUTTON) && !IsNoId(nID)) {
                if (auto* pButton = static_cast<CMyButton*>(
                        attach(std::make_unique<CMyButton>(), CMyDialog::SKIN_BUTTON));
                    pButton && m_bUseButtonImages) {
                    if (nID == IDOK)
                        pButton->SetIconImages(L"General_OK1.png", L"General_OK2.png");
                    else if (nID == IDCANCEL)
                        pButton->SetIconImages(L"General_NG1.png", L"General_NG2.png");
                }
            }
        } else if (type == BS_GROUPBOX) {
            m_lstGroupBoxes.push_back(hChild);
        } else if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
                   type == BS_3STATE || type == BS_AUTO3STATE || type == BS_AUTORADIOBUTTON) {
            // Owner-drawn and other special buttons draw themselves and are left alone.
            ::SetWindowLongPtrW(hChild, GWL_STYLE, static_cast<LONG_PTR>(style | BS_FLAT));
            if (mask & CMyDialog::SKIN_CHECK)
                attach(std::make_unique<CMyCheckButton>(), CMyDialog::SKIN_CHECK);
        }
    } else if (has(L"EDIT")) {
        m_lstEdits.push_back(hChild);
        ::SendMessageW(hChild, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(1, 1));
        const bool bReadOnly = (style & ES_READONLY) != 0;
        if (bReadOnly)
            m_lstReadOnlyEditIds.push_back(nID);
        RECT rc;
        ::GetWindowRect(hChild, &rc);
        ::MapWindowPoints(nullptr, m_dlg.m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
        if (nTextHeight > 0 && rc.bottom - rc.top < 2 * nTextHeight) {
            ::SetWindowPos(hChild, nullptr, 0, 0, rc.right - rc.left, nTextHeight + 2,
                           SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            if (bReadOnly)
                ::SetWindowLongPtrW(hChild, GWL_STYLE,
                                    static_cast<LONG_PTR>(style | ES_MULTILINE | ES_AUTOHSCROLL));
        }
    } else if (has(L"COMBOBOX")) {
        if (mask & CMyDialog::SKIN_COMBO)
            attach(std::make_unique<CMyComboBox>(), CMyDialog::SKIN_COMBO);
    } else if (has(L"LISTBOX")) {
        m_lstBordered.push_back(hChild);
        if (mask & CMyDialog::SKIN_LISTBOX)
            attach(std::make_unique<CMyListBox>(), CMyDialog::SKIN_LISTBOX);
    } else if (has(L"SYSLISTVIEW32")) {
        m_lstBordered.push_back(hChild);
        if (mask & CMyDialog::SKIN_LISTCTRL) {
            if (attach(std::make_unique<CMyListCtrl>(), CMyDialog::SKIN_LISTCTRL)) {
                const DWORD ex = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_FLATSB;
                ::SendMessageW(hChild, LVM_SETEXTENDEDLISTVIEWSTYLE, ex, ex);
            }
        }
    } else if (has(L"MSCTLS_PROGRESS32")) {
        if (mask & CMyDialog::SKIN_PROGRESS)
            attach(std::make_unique<CMyProgressCtrl>(), CMyDialog::SKIN_PROGRESS);
    } else if (has(L"MSCTLS_TRACKBAR32")) {
        if (mask & CMyDialog::SKIN_SLIDER)
            attach(std::make_unique<CMySliderCtrl>(), CMyDialog::SKIN_SLIDER);
    } else if (has(L"SYSTREEVIEW32") || cls == L"SYSDATETIMEPICK32") {
        m_lstBordered.push_back(hChild);
    } else if (has(L"STATIC") || has(L"SLIDER") || has(L"MSCTLS_UPDOWN32")) {
        bKeepEdges = true;
        if (has(L"STATIC") && !IsNoId(nID))
            ::SetWindowLongPtrW(hChild, GWL_STYLE, static_cast<LONG_PTR>(style | SS_NOTIFY));
    }

    DWORD exStyle = static_cast<DWORD>(::GetWindowLongPtrW(hChild, GWL_EXSTYLE));
    if (!bKeepEdges)
        exStyle &= ~static_cast<DWORD>(WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE | WS_EX_STATICEDGE);
    ::SetWindowLongPtrW(hChild, GWL_EXSTYLE, static_cast<LONG_PTR>(exStyle | WS_EX_ACCEPTFILES));
    ::SetWindowPos(hChild, nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void CSkinningPass::Release()
{
    m_lstSkinned.clear();
    m_lstObjects.clear();
    m_lstGroupBoxes.clear();
    m_lstEdits.clear();
    m_lstReadOnlyEditIds.clear();
    m_lstBordered.clear();
}

CWnd* CSkinningPass::GetControl(int nID, DWORD dwKind) const
{
    for (const auto& record : m_lstSkinned)
        if (record.nID == nID && record.dwKind == dwKind)
            return record.pWnd;
    return nullptr;
}

CMyButton* CSkinningPass::GetButton(int nID) const
{
    return static_cast<CMyButton*>(GetControl(nID, CMyDialog::SKIN_BUTTON));
}

CMyListCtrl* CSkinningPass::GetListCtrl(int nID) const
{
    return static_cast<CMyListCtrl*>(GetControl(nID, CMyDialog::SKIN_LISTCTRL));
}

bool CSkinningPass::IsSkinned(HWND hWnd) const
{
    return std::any_of(m_lstSkinned.begin(), m_lstSkinned.end(),
                       [hWnd](const SkinnedControl& s) { return s.pWnd && s.pWnd->m_hWnd == hWnd; });
}

void CSkinningPass::SetBordered(HWND hItem, bool bOn)
{
    m_lstBordered.erase(std::remove(m_lstBordered.begin(), m_lstBordered.end(), hItem), m_lstBordered.end());
    if (bOn)
        m_lstBordered.push_back(hItem);
}

bool CSkinningPass::IsReadOnlyEdit(int nID) const
{
    return std::find(m_lstReadOnlyEditIds.begin(), m_lstReadOnlyEditIds.end(), nID) !=
           m_lstReadOnlyEditIds.end();
}

void CSkinningPass::ApplyItemColors(int nID, COLORREF clrOwnText, COLORREF clrBack)
{
    for (const auto& skinned : m_lstSkinned) {
        if (skinned.nID != nID || !skinned.pWnd)
            continue;
        switch (skinned.dwKind) {
        case CMyDialog::SKIN_BUTTON: {
            auto* pButton = static_cast<CMyButton*>(skinned.pWnd);
            pButton->SetTextColor(clrOwnText);
            if (clrBack != NO_COLOR)
                pButton->SetGradient(clrBack, clrBack);
            break;
        }
        case CMyDialog::SKIN_CHECK: {
            auto* pCheck = static_cast<CMyCheckButton*>(skinned.pWnd);
            pCheck->SetCheckTextColor(clrOwnText, CHECK_STATE_ON);
            pCheck->SetCheckTextColor(clrOwnText, CHECK_STATE_OFF);
            break;
        }
        case CMyDialog::SKIN_PROGRESS:
            static_cast<CMyProgressCtrl*>(skinned.pWnd)->SetTextColor(clrOwnText);
            break;
        case CMyDialog::SKIN_LISTBOX: {
            auto* pList = static_cast<CMyListBox*>(skinned.pWnd);
            CMyListBox::StateColors colors = pList->GetStateColors(0);
            colors.clrText = clrOwnText;
            if (clrBack != NO_COLOR)
                colors.clrBk = colors.clrBk2 = clrBack;
            pList->SetStateColors(0, colors);
            break;
        }
        case CMyDialog::SKIN_LISTCTRL: {
            auto* pList = static_cast<CMyListCtrl*>(skinned.pWnd);
            pList->SetTextColor(clrOwnText);
            if (clrBack != NO_COLOR)
                pList->SetBkColors(clrBack, clrBack);
            break;
        }
        default:
            break;
        }
        if (skinned.pWnd->m_hWnd)
            ::InvalidateRect(skinned.pWnd->m_hWnd, nullptr, TRUE);
    }
}

void CSkinningPass::SetButtonImages(int nID, const std::wstring (&names)[4])
{
    if (CMyButton* pButton = GetButton(nID))
        pButton->SetImages(names[0].c_str(), names[1].c_str(), names[2].c_str(), names[3].c_str());
}

void CSkinningPass::ClearButtonImages(HWND hItem)
{
    if (auto* pButton = dynamic_cast<CMyButton*>(CWnd::FromHandle(hItem)))
        pButton->SetImages(nullptr);
}

void CSkinningPass::RefreshButtonToolTips()
{
    CMyButton::RefreshAllToolTips();
}
