// The two settings dialog templates as compiled into the program: every control's id, class,
// style, place and text, and each dialog's size, style, font and title.
#include "app/resource.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

struct TemplateItem {
    DWORD exStyle = 0, style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    std::wstring cls, text;
};

struct DialogTemplate {
    DWORD style = 0;
    short cx = 0, cy = 0;
    std::wstring title, face;
    WORD points = 0;
    std::vector<TemplateItem> items;
};

// Reads a DLGTEMPLATEEX: fixed header, menu, class, title, font, then DWORD-aligned items.
class CTemplateReader {
  public:
    explicit CTemplateReader(const BYTE* p) : m_p(p) {}
    WORD Word() { return Take<WORD>(); }
    DWORD Dword() { return Take<DWORD>(); }
    short Short() { return Take<short>(); }
    std::wstring String()
    {
        std::wstring text;
        for (WORD c = Word(); c; c = Word())
            text += static_cast<wchar_t>(c);
        return text;
    }
    // A string or an ordinal (0xFFFF followed by the number), given as "#number".
    std::wstring StringOrOrdinal()
    {
        WORD first;
        std::memcpy(&first, m_p, sizeof first);
        if (first == 0xFFFF) {
            Word();
            return L"#" + std::to_wstring(Word());
        }
        return String();
    }
    void AlignDword()
    {
        while (reinterpret_cast<ULONG_PTR>(m_p) % 4)
            ++m_p;
    }
    void Skip(std::size_t n) { m_p += n; }

  private:
    template <class T> T Take()
    {
        T value;
        std::memcpy(&value, m_p, sizeof value);
        m_p += sizeof value;
        return value;
    }
    const BYTE* m_p;
};

DialogTemplate LoadTemplate(int nID)
{
    DialogTemplate dlg;
    HRSRC hRes = ::FindResourceW(nullptr, MAKEINTRESOURCEW(nID), MAKEINTRESOURCEW(5)); // RT_DIALOG
    if (!hRes)
        return dlg;
    CTemplateReader r(static_cast<const BYTE*>(::LockResource(::LoadResource(nullptr, hRes))));
    EXPECT_EQ(r.Word(), 1);      // dlgVer
    EXPECT_EQ(r.Word(), 0xFFFF); // DIALOGEX
    r.Dword();                   // help id
    r.Dword();                   // extended style
    dlg.style = r.Dword();
    const WORD count = r.Word();
    r.Short();
    r.Short();
    dlg.cx = r.Short();
    dlg.cy = r.Short();
    r.StringOrOrdinal(); // menu
    r.StringOrOrdinal(); // class
    dlg.title = r.String();
    if (dlg.style & DS_SETFONT) {
        dlg.points = r.Word();
        r.Word();  // weight
        r.Skip(2); // italic, charset
        dlg.face = r.String();
    }
    for (WORD i = 0; i < count; ++i) {
        r.AlignDword();
        TemplateItem item;
        r.Dword(); // help id
        item.exStyle = r.Dword();
        item.style = r.Dword();
        item.x = r.Short();
        item.y = r.Short();
        item.cx = r.Short();
        item.cy = r.Short();
        item.id = r.Dword();
        item.cls = r.StringOrOrdinal();
        item.text = r.StringOrOrdinal();
        r.Skip(r.Word()); // creation data
        dlg.items.push_back(item);
    }
    return dlg;
}

enum class Kind { Group, Label, LabelMiddle, LeftMiddle, Edit, Check, Combo, Push, Default, List };

struct Expected {
    int nID;
    Kind kind;
    const wchar_t* text;
    short x, y, cx, cy;
};

void CheckItem(const TemplateItem& item, const Expected& want)
{
    SCOPED_TRACE("control " + std::to_string(want.nID));
    EXPECT_EQ(item.x, want.x);
    EXPECT_EQ(item.y, want.y);
    EXPECT_EQ(item.cx, want.cx);
    EXPECT_EQ(item.cy, want.cy);
    EXPECT_EQ(item.text, want.text);
    EXPECT_TRUE(item.style & WS_CHILD);
    EXPECT_TRUE(item.style & WS_VISIBLE);
    const DWORD button = item.style & BS_TYPEMASK, stat = item.style & SS_TYPEMASK;
    switch (want.kind) {
    case Kind::Group:
        EXPECT_EQ(item.cls, L"#128");
        EXPECT_EQ(button, static_cast<DWORD>(BS_GROUPBOX));
        break;
    case Kind::Label:
    case Kind::LabelMiddle:
    case Kind::LeftMiddle:
        EXPECT_EQ(item.cls, L"#130");
        EXPECT_EQ(stat, static_cast<DWORD>(want.kind == Kind::LeftMiddle ? SS_LEFT : SS_RIGHT));
        EXPECT_EQ((item.style & SS_CENTERIMAGE) != 0, want.kind != Kind::Label);
        break;
    case Kind::Edit:
        EXPECT_EQ(item.cls, L"#129");
        EXPECT_TRUE(item.style & ES_AUTOHSCROLL);
        EXPECT_FALSE(item.style & (WS_BORDER | ES_MULTILINE));
        EXPECT_TRUE(item.exStyle & WS_EX_STATICEDGE);
        break;
    case Kind::Check:
        EXPECT_EQ(item.cls, L"#128");
        EXPECT_EQ(button, static_cast<DWORD>(BS_AUTOCHECKBOX));
        break;
    case Kind::Combo:
        EXPECT_EQ(item.cls, L"#133");
        EXPECT_EQ(item.style & 3, static_cast<DWORD>(CBS_DROPDOWNLIST));
        EXPECT_TRUE(item.style & WS_VSCROLL);
        break;
    case Kind::Push:
    case Kind::Default:
        EXPECT_EQ(item.cls, L"#128");
        EXPECT_EQ(button, static_cast<DWORD>(want.kind == Kind::Default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON));
        break;
    case Kind::List:
        EXPECT_EQ(::lstrcmpiW(item.cls.c_str(), WC_LISTVIEWW), 0) << "class name compared without case";
        EXPECT_EQ(item.style & LVS_TYPEMASK, static_cast<DWORD>(LVS_REPORT));
        EXPECT_TRUE(item.style & LVS_SHOWSELALWAYS);
        EXPECT_FALSE(item.style & LVS_SINGLESEL);
        break;
    }
}

void CheckDialog(int nID, const wchar_t* title, short cx, short cy, const std::vector<Expected>& controls)
{
    const DialogTemplate dlg = LoadTemplate(nID);
    EXPECT_EQ(dlg.title, title);
    EXPECT_EQ(dlg.cx, cx);
    EXPECT_EQ(dlg.cy, cy);
    EXPECT_EQ(dlg.points, 9);
    EXPECT_EQ(dlg.face, L"MS Shell Dlg");
    const DWORD style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    EXPECT_EQ(dlg.style & style, style);
    EXPECT_FALSE(dlg.style & WS_VISIBLE);
    ASSERT_EQ(dlg.items.size(), controls.size());
    std::map<DWORD, const TemplateItem*> byId;
    for (const TemplateItem& item : dlg.items)
        byId[item.id] = &item;
    for (const Expected& want : controls) {
        ASSERT_TRUE(byId.count(static_cast<DWORD>(want.nID))) << want.nID;
        CheckItem(*byId[static_cast<DWORD>(want.nID)], want);
    }
}

TEST(SettingsTemplates, SingleCameraDialog)
{
    using K = Kind;
    CheckDialog(IDD_DEVICESET_DIALOG, L"摄像头参数设置", 463, 182,
                {
                    {IDC_DEV_LAN_GROUP, K::Group, L"有线网络", 7, 7, 145, 99},
                    {IDC_DEV_LAN_IP_LABEL, K::Label, L"IP地址:", 15, 23, 49, 8},
                    {IDC_DEV_LAN_IP, K::Edit, L"", 70, 23, 75, 12},
                    {IDC_DEV_LAN_MASK_LABEL, K::Label, L"掩码:", 15, 40, 49, 8},
                    {IDC_DEV_LAN_MASK, K::Edit, L"", 70, 39, 75, 12},
                    {IDC_DEV_LAN_GATEWAY_LABEL, K::Label, L"网关:", 15, 57, 49, 8},
                    {IDC_DEV_LAN_GATEWAY, K::Edit, L"", 70, 57, 75, 12},
                    {IDC_DEV_LAN_DNS_LABEL, K::Label, L"DNS:", 15, 74, 49, 8},
                    {IDC_DEV_LAN_DNS, K::Edit, L"", 70, 74, 75, 12},
                    {IDC_DEV_LAN_DHCP, K::Check, L"打开DHCP(&D)", 68, 91, 76, 10},
                    {IDC_DEV_WIFI_GROUP, K::Group, L"WiFi网络", 156, 7, 300, 99},
                    {IDC_DEV_WIFI_IP_LABEL, K::Label, L"IP地址:", 159, 23, 49, 8},
                    {IDC_DEV_WIFI_IP, K::Edit, L"", 215, 23, 75, 12},
                    {IDC_DEV_WIFI_MASK_LABEL, K::Label, L"掩码:", 159, 41, 49, 8},
                    {IDC_DEV_WIFI_MASK, K::Edit, L"", 215, 40, 75, 12},
                    {IDC_DEV_WIFI_GATEWAY_LABEL, K::Label, L"网关:", 159, 57, 49, 8},
                    {IDC_DEV_WIFI_GATEWAY, K::Edit, L"", 215, 57, 75, 12},
                    {IDC_DEV_WIFI_DNS_LABEL, K::Label, L"DNS:", 159, 74, 49, 8},
                    {IDC_DEV_WIFI_DNS, K::Edit, L"", 215, 74, 75, 12},
                    {IDC_DEV_WIFI_DHCP, K::Check, L"打开DHCP(&H)", 214, 91, 74, 10},
                    {IDC_DEV_AP_PASSWORD_LABEL, K::Label, L"AP密码:", 298, 24, 55, 8},
                    {IDC_DEV_AP_PASSWORD, K::Edit, L"", 358, 23, 85, 12},
                    {IDC_DEV_AP_MODE, K::Check, L"打开 WiFi 网卡模式(&A)", 358, 38, 88, 10},
                    {IDC_DEV_SSID_LABEL, K::Label, L"SSID:", 316, 57, 37, 8},
                    {IDC_DEV_SSID, K::Edit, L"", 358, 57, 85, 12},
                    {IDC_DEV_WIFI_PASSWORD_LABEL, K::Label, L"密码:", 304, 74, 49, 8},
                    {IDC_DEV_WIFI_PASSWORD, K::Edit, L"", 358, 74, 85, 12},
                    {IDC_DEV_ENCRYPT_LABEL, K::Label, L"加密类型:", 288, 91, 65, 8},
                    {IDC_DEV_ENCRYPT, K::Combo, L"", 358, 90, 85, 87},
                    {IDC_DEV_NAME_LABEL, K::Label, L"设备名称:", 8, 117, 55, 8},
                    {IDC_DEV_NAME, K::Edit, L"", 70, 116, 75, 12},
                    {IDC_DEV_APPLY, K::Push, L"设置参数(&S)", 7, 152, 82, 18},
                    {IDC_DEV_CURRENT_LABEL, K::LabelMiddle, L"设备名称:", 95, 153, 68, 15},
                    {IDC_DEV_CURRENT, K::LeftMiddle, L"", 175, 153, 180, 15},
                    {IDOK, K::Default, L"返回(&R)", 361, 152, 86, 18},
                    // Added: the change check's status line, below the name row.
                    {IDC_DEV_CHECK_STATUS, K::LeftMiddle, L"", 8, 134, 448, 12},
                });
}

TEST(SettingsTemplates, GroupDialog)
{
    using K = Kind;
    CheckDialog(IDD_GROUPSET_DIALOG, L"批量设置", 351, 272,
                {
                    {IDC_GRP_START_IP_LABEL, K::Label, L"起始IP:", 7, 9, 45, 8},
                    {IDC_GRP_GATEWAY_LABEL, K::Label, L"网关:", 7, 24, 45, 8},
                    {IDC_GRP_START_IP, K::Edit, L"", 56, 9, 69, 12},
                    {IDC_GRP_GATEWAY, K::Edit, L"", 56, 23, 69, 12},
                    {IDC_GRP_NAME_LABEL, K::Label, L"名称:", 128, 9, 27, 8},
                    {IDC_GRP_STEP_LABEL, K::Label, L"步长:", 128, 24, 27, 8},
                    {IDC_GRP_NAME, K::Edit, L"", 159, 9, 76, 12},
                    {IDC_GRP_STEP, K::Edit, L"", 159, 23, 26, 12},
                    {IDC_GRP_ONLY_CHECKED, K::Check, L"仅应用到√项(&O)", 242, 24, 97, 10},
                    {IDC_GRP_APPLY, K::Push, L"应用(&P)", 191, 23, 45, 14},
                    {IDC_GRP_LIST, K::List, L"", 7, 40, 337, 191},
                    {IDC_GRP_CHECK_ALL, K::Push, L"全(√)(&A)", 7, 235, 62, 14},
                    {IDC_GRP_UNCHECK_ALL, K::Push, L"全不(√)(&N)", 72, 235, 62, 14},
                    {IDC_GRP_REVERSE_CHECK, K::Push, L"反(√)(&V)", 137, 235, 62, 14},
                    {IDC_GRP_CHECK_SELECTED, K::Push, L"√选中项(&C)", 7, 252, 62, 13},
                    {IDC_GRP_UNCHECK_SELECTED, K::Push, L"反√选中项(&U)", 72, 252, 126, 13},
                    {IDC_GRP_KEEP_IP, K::Check, L"不修改IP(&I)", 206, 237, 67, 10},
                    {IDC_GRP_KEEP_NAME, K::Check, L"不修改名称(&M)", 274, 237, 70, 10},
                    {IDC_GRP_SEND, K::Push, L"执行批量设置(&S)", 206, 252, 94, 13},
                    {IDOK, K::Default, L"返回(&R)", 303, 252, 42, 13},
                    // Added: a site plan in and the results out, right of the name stem.
                    {IDC_GRP_IMPORT_PLAN, K::Push, L"导入计划(&L) ...", 239, 7, 49, 13},
                    {IDC_GRP_EXPORT_RESULTS, K::Push, L"导出结果(&E) ...", 290, 7, 54, 13},
                });
}

} // namespace
