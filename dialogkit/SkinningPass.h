#pragma once
// CSkinningPass: once the dialog's window exists, attaches a skinned control object to each
// child of the kinds its mask names and records what the frame draws around them (group boxes,
// edits, bordered lists). It owns the control objects it attached; no other part of the dialog
// knows their classes.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

class CMyDialog;
class CWnd;
class CMyButton;
class CMyListCtrl;

class CSkinningPass {
  public:
    // One control object that the pass attached. dwKind is a CMyDialog::SKIN_* bit.
    struct SkinnedControl {
        int nID;
        DWORD dwKind;
        CWnd* pWnd;
    };

    explicit CSkinningPass(CMyDialog& dlg);
    ~CSkinningPass();
    CSkinningPass(const CSkinningPass&) = delete;
    CSkinningPass& operator=(const CSkinningPass&) = delete;

    void SetMask(DWORD dwMask) { m_dwMask = dwMask; }
    DWORD GetMask() const { return m_dwMask; }
    void SetUseButtonImages(BOOL bUse) { m_bUseButtonImages = bUse; }

    // Every child of the dialog, in z-order.
    void Run();
    // The control objects go (after the window, whose children may still call them).
    void Release();

    const std::vector<SkinnedControl>& GetSkinned() const { return m_lstSkinned; }
    CWnd* GetControl(int nID, DWORD dwKind) const;
    CMyButton* GetButton(int nID) const;
    CMyListCtrl* GetListCtrl(int nID) const;
    bool IsSkinned(HWND hWnd) const;

    // What the frame draws and colours.
    DWORD GetSavedStyle() const { return m_dwSavedStyle; }
    const std::vector<HWND>& GetEdits() const { return m_lstEdits; }
    const std::vector<HWND>& GetBordered() const { return m_lstBordered; }
    void SetBordered(HWND hItem, bool bOn);
    bool IsReadOnlyEdit(int nID) const;

    // Skinned controls draw themselves: they take the colours of SetItemColors as their own.
    void ApplyItemColors(int nID, COLORREF clrOwnText, COLORREF clrBack);
    void SetButtonImages(int nID, const std::wstring (&names)[4]);
    // A button of any dialog drops its images (an empty deferred text).
    static void ClearButtonImages(HWND hItem);
    // The skinned buttons of every dialog take their captions' new language into their tips.
    static void RefreshButtonToolTips();

  private:
    void SkinOne(HWND hChild, int nTextHeight);

    CMyDialog& m_dlg;
    DWORD m_dwMask = 0xFFFF;
    BOOL m_bUseButtonImages = FALSE;
    std::vector<std::unique_ptr<CWnd>> m_lstObjects;
    std::vector<SkinnedControl> m_lstSkinned;
    DWORD m_dwSavedStyle = 0;              // the window style at initialisation
    std::vector<HWND> m_lstGroupBoxes;     // "BUTTON" group boxes
    std::vector<HWND> m_lstEdits;          // edits (framed by the frame side)
    std::vector<int> m_lstReadOnlyEditIds; // ids of read-only edits
    std::vector<HWND> m_lstBordered;       // list boxes, list views, tree views, date pickers
};
