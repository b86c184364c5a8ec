#include "controls/ButtonAccessible.h"

#include <new>

namespace {

// Forwards every question to the standard object, but the role, the state and the default action.
class CButtonAccessibleImpl final : public IAccessible {
  public:
    CButtonAccessibleImpl(HWND hWnd, IAccessible* pStd, ButtonAccessibleState (*read)(HWND))
        : m_hWnd(hWnd), m_pStd(pStd), m_read(read)
    {
    }
    ~CButtonAccessibleImpl() { m_pStd->Release(); }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(IAccessible)) {
            *ppv = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&m_nRefs)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG n = ::InterlockedDecrement(&m_nRefs);
        if (n == 0)
            delete this;
        return static_cast<ULONG>(n);
    }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* p) override { return m_pStd->GetTypeInfoCount(p); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID l, ITypeInfo** pp) override
    {
        return m_pStd->GetTypeInfo(i, l, pp);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID r, LPOLESTR* n, UINT c, LCID l, DISPID* d) override
    {
        return m_pStd->GetIDsOfNames(r, n, c, l, d);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID r, LCID l, WORD f, DISPPARAMS* p, VARIANT* v,
                                     EXCEPINFO* e, UINT* a) override
    {
        return m_pStd->Invoke(id, r, l, f, p, v, e, a);
    }

    // IAccessible: what the button changes.
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* pRole) override
    {
        if (!IsSelf(child))
            return m_pStd->get_accRole(child, pRole);
        if (!pRole)
            return E_POINTER;
        const ButtonAccessibleState state = m_read(m_hWnd);
        pRole->vt = VT_I4;
        pRole->lVal = state.bRadio      ? ROLE_SYSTEM_RADIOBUTTON
                      : state.bCheckBox ? ROLE_SYSTEM_CHECKBUTTON
                                        : ROLE_SYSTEM_PUSHBUTTON;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* pState) override
    {
        const HRESULT hr = m_pStd->get_accState(child, pState);
        if (FAILED(hr) || !IsSelf(child) || !pState || pState->vt != VT_I4)
            return hr;
        const ButtonAccessibleState state = m_read(m_hWnd);
        pState->lVal &= ~(STATE_SYSTEM_CHECKED | STATE_SYSTEM_PRESSED);
        if (state.bChecked)
            pState->lVal |= state.bCheckBox || state.bRadio ? STATE_SYSTEM_CHECKED : STATE_SYSTEM_PRESSED;
        if (!::IsWindowEnabled(m_hWnd))
            pState->lVal |= STATE_SYSTEM_UNAVAILABLE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* pAction) override
    {
        if (!IsSelf(child))
            return m_pStd->get_accDefaultAction(child, pAction);
        if (!pAction)
            return E_POINTER;
        const ButtonAccessibleState state = m_read(m_hWnd);
        *pAction = ::SysAllocString(state.bCheckBox ? (state.bChecked ? L"Uncheck" : L"Check")
                                                    : (state.bRadio ? L"Check" : L"Press"));
        return *pAction ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override
    {
        if (!IsSelf(child))
            return m_pStd->accDoDefaultAction(child);
        // As the platform's buttons do: a click, delivered as the button's own click.
        ::PostMessageW(m_hWnd, BM_CLICK, 0, 0);
        return S_OK;
    }

    // IAccessible: the standard object's answers.
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** pp) override { return m_pStd->get_accParent(pp); }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* p) override { return m_pStd->get_accChildCount(p); }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT c, IDispatch** pp) override
    {
        return m_pStd->get_accChild(c, pp);
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT c, BSTR* p) override { return m_pStd->get_accName(c, p); }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT c, BSTR* p) override { return m_pStd->get_accValue(c, p); }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT c, BSTR* p) override
    {
        return m_pStd->get_accDescription(c, p);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT c, BSTR* p) override { return m_pStd->get_accHelp(c, p); }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* p, VARIANT c, LONG* t) override
    {
        return m_pStd->get_accHelpTopic(p, c, t);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT c, BSTR* p) override
    {
        return m_pStd->get_accKeyboardShortcut(c, p);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* p) override { return m_pStd->get_accFocus(p); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* p) override { return m_pStd->get_accSelection(p); }
    HRESULT STDMETHODCALLTYPE accSelect(long f, VARIANT c) override { return m_pStd->accSelect(f, c); }
    HRESULT STDMETHODCALLTYPE accLocation(long* x, long* y, long* w, long* h, VARIANT c) override
    {
        return m_pStd->accLocation(x, y, w, h, c);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long d, VARIANT s, VARIANT* e) override
    {
        return m_pStd->accNavigate(d, s, e);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* c) override
    {
        return m_pStd->accHitTest(x, y, c);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT c, BSTR n) override { return m_pStd->put_accName(c, n); }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT c, BSTR v) override { return m_pStd->put_accValue(c, v); }

  private:
    static bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

    LONG m_nRefs = 1;
    HWND m_hWnd;
    IAccessible* m_pStd;
    ButtonAccessibleState (*m_read)(HWND);
};

} // namespace

LRESULT AnswerButtonGetObject(HWND hWnd, WPARAM wParam, LPARAM lParam, ButtonAccessibleState (*read)(HWND))
{
    if (static_cast<LONG>(lParam) != OBJID_CLIENT || !read)
        return 0;
    IAccessible* pStd = nullptr;
    // __uuidof: MinGW-w64's IID_IAccessible constant does not hold the interface's id.
    if (FAILED(::CreateStdAccessibleObject(hWnd, OBJID_CLIENT, __uuidof(IAccessible),
                                           reinterpret_cast<void**>(&pStd))) ||
        !pStd)
        return 0;
    auto* pObject = new (std::nothrow) CButtonAccessibleImpl(hWnd, pStd, read);
    if (!pObject) {
        pStd->Release();
        return 0;
    }
    const LRESULT result =
        ::LresultFromObject(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(pObject));
    pObject->Release(); // LresultFromObject holds its own reference
    return result;
}
