#include "net/Adapters.h"

#include <winsock2.h>
#include <iphlpapi.h>
#include <nb30.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr ULONG FIRST_REQUEST_SIZE = 640;

void FormatMac(char* text, const unsigned char* mac)
{
    std::snprintf(text, 18, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
}

void CopyRow(AdapterRow row, const char* text)
{
    std::strncpy(row, text, ADAPTER_ROW_SIZE - 1);
    row[ADAPTER_ROW_SIZE - 1] = 0;
}

} // namespace

bool IsUsableAdapterAddress(const char* dotted)
{
    size_t length = std::strlen(dotted);
    return !(length >= 2 && dotted[length - 2] == '.' &&
             (dotted[length - 1] == '0' || dotted[length - 1] == '1'));
}

int ListLocalAdapters(AdapterRow* addresses, AdapterRow* macs, int capacity)
{
    if (!addresses || !macs || capacity < 1)
        return 0;

    // Room for one adapter first; the system says how much a longer list needs.
    ULONG size = FIRST_REQUEST_SIZE;
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[size]);
    if (!buffer)
        return 0;
    DWORD status = GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.get()), &size);
    if (status == ERROR_BUFFER_OVERFLOW) {
        buffer.reset(new (std::nothrow) unsigned char[size]);
        if (!buffer)
            return 0;
        status = GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.get()), &size);
    }
    if (status != NO_ERROR)
        return 0;

    int count = 0;
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.get()); adapter && count < capacity;
         adapter = adapter->Next) {
        bool usable = true;
        for (IP_ADDR_STRING* address = &adapter->IpAddressList; address; address = address->Next) {
            if (!IsUsableAdapterAddress(address->IpAddress.String)) {
                usable = false;
                break;
            }
            // With several addresses the row ends up holding the last one.
            CopyRow(addresses[count], address->IpAddress.String);
            Sleep(1);
        }
        if (usable) {
            FormatMac(macs[count], adapter->Address);
            ++count;
        }
    }
    return count;
}

const unsigned char* GetNetbiosMac(char* macText)
{
    // One area per thread, so that concurrent callers do not overwrite each other's answer.
    thread_local unsigned char result[128];
    std::memset(result, 0, sizeof result);

    LANA_ENUM adapters{};
    NCB block{};
    block.ncb_command = NCBENUM;
    block.ncb_buffer = reinterpret_cast<PUCHAR>(&adapters);
    block.ncb_length = sizeof adapters;
    if (Netbios(&block) != NRC_GOODRET || adapters.length == 0)
        return result;

    bool reset = false;
    for (int i = 0; i < adapters.length && !reset; ++i) {
        std::memset(&block, 0, sizeof block);
        block.ncb_command = NCBRESET;
        block.ncb_lana_num = adapters.lana[i];
        reset = Netbios(&block) == NRC_GOODRET;
    }
    if (!reset)
        return result;

    // The status record followed by room for 30 name entries.
    struct {
        ADAPTER_STATUS status;
        NAME_BUFFER names[30];
    } answer{};
    std::memset(&block, 0, sizeof block);
    block.ncb_command = NCBASTAT;
    block.ncb_lana_num = adapters.lana[0];
    std::memset(block.ncb_callname, ' ', NCBNAMSZ);
    block.ncb_callname[0] = '*';
    block.ncb_buffer = reinterpret_cast<PUCHAR>(&answer);
    block.ncb_length = sizeof answer;
    if (Netbios(&block) != NRC_GOODRET)
        return result;

    std::memcpy(result, answer.status.adapter_address, 6);
    if (macText)
        FormatMac(macText, result);
    return result;
}
