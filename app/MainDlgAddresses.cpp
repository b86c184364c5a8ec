// The main window's local addresses: those discovery searches from ("Search on..."), shown in the
// address box, and the subnets the camera list's warnings rest on.
#include "app/MainDlg.h"

#include "app/SearchOnDlg.h"
#include "app/resource.h"
#include "net/SearchedAddresses.h"
#include "net/SocketHelpers.h"

#include <winsock2.h>

#include <iphlpapi.h>

#include <cwctype>
#include <vector>

std::wstring CMainDlg::LocalAddressesText(bool bLookUp)
{
    std::vector<in_addr> addresses;
    if ((bLookUp ? GenSockLocalAddresses(addresses) : GenSockCachedLocalAddresses(addresses)) <= 0)
        return {};
    std::wstring text;
    for (size_t i = 0; i < addresses.size() && i < 10; ++i) {
        if (!GenSockIsSendingAddress(addresses[i]))
            continue;
        const auto* b = reinterpret_cast<const unsigned char*>(&addresses[i]);
        wchar_t one[32];
        wsprintfW(one, L"%d.%d.%d.%d; ", b[0], b[1], b[2], b[3]);
        text += one;
    }
    while (!text.empty() && (std::iswspace(text.back()) || text.back() == L';'))
        text.pop_back();
    return text;
}

void CMainDlg::FillLocalAddresses()
{
    // The window thread looks nothing up by name: it shows what the last look-up found, and each
    // scan looks up again on its worker (StartScan).
    ShowSearchedAddresses(LocalAddressesText(false));
    m_rows.SetLocalSubnets(LocalSubnets());
}

void CMainDlg::FitCountLabel(const std::wstring& text)
{
    HWND hCaption = ::GetDlgItem(m_hWnd, IDC_MAIN_COUNT_CAPTION);
    HWND hCount = ::GetDlgItem(m_hWnd, IDC_MAIN_COUNT);
    if (!hCaption || !hCount)
        return;
    RECT caption{}, count{};
    ::GetWindowRect(hCaption, &caption);
    ::GetWindowRect(hCount, &count);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&caption), 2);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&count), 2);
    RECT gap{0, 0, 5, 0}; // the template's space between caption and number
    ::MapDialogRect(m_hWnd, &gap);
    const int normalLeft = caption.right + gap.right;
    SIZE size{};
    if (HDC hDC = ::GetDC(hCount)) {
        HFONT hFont = reinterpret_cast<HFONT>(::SendMessageW(hCount, WM_GETFONT, 0, 0));
        if (!hFont)
            hFont = reinterpret_cast<HFONT>(::SendMessageW(m_hWnd, WM_GETFONT, 0, 0));
        HGDIOBJ hOld = hFont ? ::SelectObject(hDC, hFont) : nullptr;
        ::GetTextExtentPoint32W(hDC, text.c_str(), static_cast<int>(text.size()), &size);
        if (hOld)
            ::SelectObject(hDC, hOld);
        ::ReleaseDC(hCount, hDC);
    }
    m_bCountWide = size.cx > count.right - normalLeft;
    const int left = m_bCountWide ? caption.left : normalLeft;
    if (left != count.left)
        ::SetWindowPos(hCount, nullptr, left, count.top, count.right - left, count.bottom - count.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(hCaption, m_bCountWide ? SW_HIDE : SW_SHOWNA);
    ::InvalidateRect(m_hWnd, &caption, TRUE);
}

void CMainDlg::ShowSearchedAddresses(const std::wstring& addresses)
{
    if (GetDlgItemText(IDC_MAIN_ADDRESSES) != addresses)
        SetItemText(IDC_MAIN_ADDRESSES, addresses.c_str());
    const bool bNothing = addresses.empty();
    if (bNothing != m_bNothingSearched) {
        m_bNothingSearched = bNothing;
        WriteCount();
    }
}

void CMainDlg::ChooseSearchedAddresses()
{
    std::vector<in_addr> addresses;
    GenSockCachedLocalAddresses(addresses); // the last look-up: nothing is resolved here
    std::vector<std::uint32_t> locals;
    for (const in_addr& address : addresses)
        locals.push_back(ntohl(address.s_addr));
    CSearchOnDlg dlg(std::move(locals), this);
    if (dlg.DoModal() != IDOK)
        return;
    FillLocalAddresses();
    m_engine.RequestRescan();
}

namespace {

// An IP Helper table (GetIpAddrTable, GetIpForwardTable): asked for its size, then filled; empty
// when the system has none or the call fails.
template <typename Table, typename Get> std::vector<unsigned char> IpHelperTable(Get get)
{
    ULONG size = 0;
    if (get(nullptr, &size) != ERROR_INSUFFICIENT_BUFFER || size < sizeof(DWORD))
        return {};
    std::vector<unsigned char> buffer(size);
    if (get(reinterpret_cast<Table*>(buffer.data()), &size) != NO_ERROR)
        return {};
    return buffer;
}

// The next hops of the system's default routes (host order).
std::vector<std::uint32_t> DefaultGateways()
{
    std::vector<std::uint32_t> gateways;
    const std::vector<unsigned char> buffer = IpHelperTable<MIB_IPFORWARDTABLE>(
        [](MIB_IPFORWARDTABLE* table, ULONG* size) { return ::GetIpForwardTable(table, size, FALSE); });
    if (buffer.empty())
        return gateways;
    const auto* table = reinterpret_cast<const MIB_IPFORWARDTABLE*>(buffer.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const MIB_IPFORWARDROW& route = table->table[i];
        if (route.dwForwardDest == 0 && route.dwForwardMask == 0 && route.dwForwardNextHop != 0)
            gateways.push_back(ntohl(route.dwForwardNextHop));
    }
    return gateways;
}

} // namespace

std::vector<CCameraRows::Subnet> CMainDlg::LocalSubnets()
{
    std::vector<CCameraRows::Subnet> subnets;
    const std::vector<unsigned char> buffer = IpHelperTable<MIB_IPADDRTABLE>(
        [](MIB_IPADDRTABLE* table, ULONG* size) { return ::GetIpAddrTable(table, size, FALSE); });
    if (buffer.empty())
        return subnets;
    const auto* table = reinterpret_cast<const MIB_IPADDRTABLE*>(buffer.data());
    const std::vector<std::uint32_t> gateways = DefaultGateways();
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const std::uint32_t address = ntohl(table->table[i].dwAddr);
        const std::uint32_t mask = ntohl(table->table[i].dwMask);
        if (address == 0 || (address >> 24) == 127)
            continue;
        // The subnet's gateway: a default route's next hop inside it.
        const auto gateway = std::find_if(gateways.begin(), gateways.end(), [&](std::uint32_t hop) {
            return (hop & mask) == (address & mask);
        });
        subnets.push_back({address, mask, gateway == gateways.end() ? 0 : *gateway});
    }
    return subnets;
}
