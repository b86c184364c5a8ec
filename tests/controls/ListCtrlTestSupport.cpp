#include "tests/controls/ListCtrlTestSupport.h"

#include "platform/CDC.h"
#include "platform/CGdiObject.h"
#include "platform/PlatformInit.h"

namespace {

const wchar_t* const PARENT_CLASS = L"LarkvaneListTestParent";

void RegisterParentClass()
{
    static bool registered = [] {
        WNDCLASSW wc{};
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = PARENT_CLASS;
        return ::RegisterClassW(&wc) != 0;
    }();
    (void)registered;
}

} // namespace

BOOL CCommandRecorder::Create(int width, int height)
{
    RegisterParentClass();
    RECT rc{20, 20, 20 + width, 20 + height};
    return CreateEx(0, PARENT_CLASS, L"List test", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, rc, nullptr, 0);
}

int CCommandRecorder::Count(WORD id) const
{
    int n = 0;
    for (const Command& c : m_commands)
        n += c.id == id;
    return n;
}

const CCommandRecorder::Command* CCommandRecorder::Last(WORD id) const
{
    for (auto it = m_commands.rbegin(); it != m_commands.rend(); ++it)
        if (it->id == id)
            return &*it;
    return nullptr;
}

BOOL CCommandRecorder::OnCommand(WPARAM wParam, LPARAM lParam)
{
    WORD id = LOWORD(wParam);
    if (id == LIST_CMD_CLICK || id == LIST_CMD_DBLCLICK || id == LIST_CMD_EDIT_DONE) {
        m_commands.push_back({id, lParam});
        if (m_onCommand)
            m_onCommand(id, lParam);
        return TRUE;
    }
    return CWnd::OnCommand(wParam, lParam);
}

namespace {

SIZE ClientSizeOf(HWND hWnd)
{
    RECT rc{};
    ::GetClientRect(hWnd, &rc);
    return {rc.right, rc.bottom};
}

} // namespace

CCapture::CCapture(HWND hWnd) : CPixelCanvas(ClientSizeOf(hWnd).cx, ClientSizeOf(hWnd).cy, RGB(1, 2, 3))
{
    ::SendMessageW(hWnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(DC()), PRF_CLIENT);
    ::GdiFlush();
}

void ListFixture::SetUp()
{
    InitPlatformControls();
    ::SetCursorPos(1000, 900); // keep the pointer away from the windows
    ASSERT_NE(m_parent.m_hWnd, nullptr);
    m_parent.m_commands.clear();
    m_parent.m_onCommand = nullptr;
    HWND hList = ::CreateWindowExW(0, WC_LISTVIEWW, L"",
                                   WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS, 10, 10, 600, 400,
                                   m_parent.m_hWnd, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(LIST_ID)),
                                   ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(hList, nullptr);
    ASSERT_TRUE(m_list.SubclassWindow(hList));
}

void ListFixture::TearDown()
{
    if (m_list.m_hWnd)
        ::DestroyWindow(m_list.m_hWnd);
    PumpFor(0);
    m_parent.m_commands.clear();
    m_parent.m_onCommand = nullptr;
}

CCommandRecorder& ListFixture::Parent()
{
    static CCommandRecorder* parent = [] {
        auto* p = new CCommandRecorder; // lives until the process ends
        p->Create(660, 460);
        return p;
    }();
    return *parent;
}

void ListFixture::AddColumns(std::initializer_list<int> widths)
{
    int i = 0;
    for (int width : widths) {
        std::wstring title = L"C" + std::to_wstring(i);
        m_list.InsertColumn(i, title.c_str(), LVCFMT_LEFT, width);
        ++i;
    }
}

void ListFixture::AddRows(int count)
{
    const int cols = m_list.GetColumnCount();
    for (int r = 0; r < count; ++r) {
        int row = m_list.InsertItem(m_list.GetItemCount(), L"");
        for (int c = 0; c < cols; ++c) {
            std::wstring text = L"r" + std::to_wstring(row) + L"c" + std::to_wstring(c);
            m_list.SetItemText(row, c, text.c_str());
        }
    }
}

POINT ListFixture::CellCentre(int row, int col) const
{
    RECT rc{};
    m_list.GetSubItemRect(row, col, LVIR_LABEL, &rc);
    return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

void ListFixture::Click(POINT pt)
{
    m_list.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
    m_list.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
}

void ListFixture::DoubleClick(POINT pt)
{
    m_list.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
    m_list.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
}
