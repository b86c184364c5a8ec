#include "net/SearchedAddresses.h"

#include "base/Ipv4Text.h"

#include <algorithm>
#include <mutex>

namespace {

std::mutex g_choiceLock;
SearchChoice g_choice;

bool Holds(const std::vector<std::uint32_t>& addresses, std::uint32_t address)
{
    return std::find(addresses.begin(), addresses.end(), address) != addresses.end();
}

void AddOnce(std::vector<std::uint32_t>& addresses, std::uint32_t address)
{
    if (!Holds(addresses, address))
        addresses.push_back(address);
}

} // namespace

bool IsSearchedByDefault(std::uint32_t address)
{
    return (address & 0xFF) != 1;
}

bool IsSearchedAddress(std::uint32_t address)
{
    std::lock_guard<std::mutex> lock(g_choiceLock);
    if (Holds(g_choice.added, address))
        return true;
    if (Holds(g_choice.removed, address))
        return false;
    return IsSearchedByDefault(address);
}

void SetSearchChoice(const SearchChoice& choice)
{
    SearchChoice tidy;
    for (std::uint32_t address : choice.added)
        if (!IsSearchedByDefault(address))
            AddOnce(tidy.added, address);
    for (std::uint32_t address : choice.removed)
        if (IsSearchedByDefault(address))
            AddOnce(tidy.removed, address);
    std::lock_guard<std::mutex> lock(g_choiceLock);
    g_choice = std::move(tidy);
}

SearchChoice GetSearchChoice()
{
    std::lock_guard<std::mutex> lock(g_choiceLock);
    return g_choice;
}

SearchChoice ChoiceSearching(const std::vector<std::uint32_t>& locals,
                             const std::vector<std::uint32_t>& searched, const SearchChoice& previous)
{
    SearchChoice choice;
    for (std::uint32_t address : previous.added)
        if (!Holds(locals, address))
            AddOnce(choice.added, address);
    for (std::uint32_t address : previous.removed)
        if (!Holds(locals, address))
            AddOnce(choice.removed, address);
    for (std::uint32_t address : locals) {
        const bool bSearched = Holds(searched, address);
        if (bSearched && !IsSearchedByDefault(address))
            AddOnce(choice.added, address);
        else if (!bSearched && IsSearchedByDefault(address))
            AddOnce(choice.removed, address);
    }
    return choice;
}

std::wstring AddressListText(const std::vector<std::uint32_t>& addresses)
{
    std::wstring text;
    for (std::uint32_t address : addresses) {
        if (!text.empty())
            text += L';';
        text += FormatIpv4Wide(address);
    }
    return text;
}

std::vector<std::uint32_t> ParseAddressList(std::wstring_view text)
{
    std::vector<std::uint32_t> addresses;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find(L';'), text.size());
        std::wstring_view part = text.substr(0, end);
        while (!part.empty() && part.front() == L' ')
            part.remove_prefix(1);
        while (!part.empty() && part.back() == L' ')
            part.remove_suffix(1);
        if (const auto address = ParseIpv4(part))
            AddOnce(addresses, *address);
        text.remove_prefix(end < text.size() ? end + 1 : end);
    }
    return addresses;
}
