#pragma once
// Which of this computer's IPv4 addresses discovery searches from: sends its requests and
// acknowledgements out of. By default every address except one ending in .1, which is usually a
// host-side virtual adapter rather than a camera network; the operator may add any address or
// leave any out. A choice names addresses, and an address it does not name follows the default,
// so a kept choice still means the same when an adapter comes or goes. Safe on any thread.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct SearchChoice {
    std::vector<std::uint32_t> added;   // host order: searched although the default would not
    std::vector<std::uint32_t> removed; // host order: left out although the default would search
    bool operator==(const SearchChoice&) const = default;
};

bool IsSearchedByDefault(std::uint32_t address);
// Under the choice in force.
bool IsSearchedAddress(std::uint32_t address);
void SetSearchChoice(const SearchChoice& choice);
SearchChoice GetSearchChoice();

// The choice that searches exactly `searched` among `locals` (host order), keeping what
// `previous` says of addresses that are not local now.
SearchChoice ChoiceSearching(const std::vector<std::uint32_t>& locals,
                             const std::vector<std::uint32_t>& searched, const SearchChoice& previous);

// Addresses as a settings value, "a.b.c.d;a.b.c.d", and back; reading skips what is no address.
std::wstring AddressListText(const std::vector<std::uint32_t>& addresses);
std::vector<std::uint32_t> ParseAddressList(std::wstring_view text);
