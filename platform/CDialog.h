#pragma once
// CDialog: a dialog built from a dialog template resource of the executable, run modal (DoModal)
// or modeless (Create).
//
// The object is bound to its window when WM_INITDIALOG arrives (its address travels in that
// message's lParam), so messages the dialog manager sends before it (WM_SETFONT and the creation
// messages) are not seen by the object. DoModal runs its own message loop rather than the system
// dialog box loop so that every message passes through PreTranslateMessage of the windows it is
// aimed at (see CWnd::WalkPreTranslateTree).

#include "platform/CWnd.h"

class CDialog : public CWnd {
  public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // Modeless: creates the dialog from a template id under pParentWnd (its owner when the dialog
    // is a pop-up). FALSE when the template is missing or the window exists already.
    virtual BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    BOOL Create(CWnd* pParentWnd = nullptr) { return Create(m_nIDTemplate, pParentWnd); }

    // Modal: creates the dialog, disables its owner, runs the message loop until EndDialog, then
    // destroys the window and re-enables the owner. Returns the value given to EndDialog, or -1
    // when the dialog could not be created or its window went away without EndDialog.
    virtual INT_PTR DoModal();

    // Ends a modal dialog with nResult; a modeless dialog is hidden.
    void EndDialog(int nResult);

    virtual BOOL OnInitDialog();
    // bSaveAndValidate = true: controls to members; false: members to controls.
    virtual void DoDataExchange(bool bSaveAndValidate);
    BOOL UpdateData(bool bSaveAndValidate = true);
    virtual void OnOK();
    virtual void OnCancel();

    BOOL PreTranslateMessage(MSG* pMsg) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnCmdMsg(UINT nID, int nCode) override;

    BOOL IsModal() const { return m_bModal; }
    UINT GetTemplateId() const { return m_nIDTemplate; }

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

  private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND CreateFromTemplate(UINT nIDTemplate, HWND hWndParent);
    HWND ModalOwner() const;
    void RunModalLoop();

    bool m_bModal = false;
    bool m_bContinueModal = false;
    INT_PTR m_nModalResult = -1;
};
