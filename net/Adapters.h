#pragma once
// The machine's own network adapters: IPv4 address and MAC text of each usable adapter
// (IP Helper), and one adapter's MAC address through NetBIOS.

#include <cstddef>

// One row of the tables of ListLocalAdapters: 8-bit text, zero-terminated.
constexpr int ADAPTER_ROW_SIZE = 20;
using AdapterRow = char[ADAPTER_ROW_SIZE];

// False for "x.y.z.0" (an unconnected adapter) and "x.y.z.1" (typically a host-side virtual
// adapter): adapters with such an address are left out.
bool IsUsableAdapterAddress(const char* dotted);

// Fills row i of addresses and macs ("%02X:%02X:%02X:%02X:%02X:%02X") for the i-th usable
// adapter: one without an address ending in .0 or .1. Writes at most capacity rows of each
// table and returns the number of rows written.
int ListLocalAdapters(AdapterRow* addresses, AdapterRow* macs, int capacity);

// The same for two arrays of equal length, which sets the capacity.
template <std::size_t N> int ListLocalAdapters(AdapterRow (&addresses)[N], AdapterRow (&macs)[N])
{
    return ListLocalAdapters(addresses, macs, static_cast<int>(N));
}

// The MAC address of the first NetBIOS adapter: a pointer to six bytes of this thread's result
// area, all zero when NetBIOS cannot tell. macText (at least 18 bytes) receives the text form
// only on success.
const unsigned char* GetNetbiosMac(char* macText);
