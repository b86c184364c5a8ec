#include "protocol/DeviceTable.h"

#include <cstring>
#include <new>

CDeviceTable::CDeviceTable()
{
    InitializeCriticalSection(&m_lock);
}

CDeviceTable::~CDeviceTable()
{
    Clear();
    DeleteCriticalSection(&m_lock);
}

CDeviceTable& CDeviceTable::Instance()
{
    static CDeviceTable table;
    return table;
}

void CDeviceTable::Lock()
{
    EnterCriticalSection(&m_lock);
}

void CDeviceTable::Unlock()
{
    LeaveCriticalSection(&m_lock);
}

void CDeviceTable::LockFromWindowThread()
{
    // A worker holding the lock may be waiting for this thread to handle a sent message; handle
    // those while waiting, and nothing else (posted input must not run under our caller).
    while (!TryEnterCriticalSection(&m_lock)) {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        MsgWaitForMultipleObjectsEx(0, nullptr, 1, QS_SENDMESSAGE, 0);
    }
}

std::string CDeviceTable::SerialKeyOf(const WireMessage& message)
{
    std::string key = ReadTextField(message.idSerial);
    for (char& c : key)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return key;
}

std::string CDeviceTable::KeyOf(const WireMessage& message)
{
    std::string key = SerialKeyOf(message);
    key += '\0'; // an idSerial holds no zero
    // Six bytes of each field are the address; the rest is not read.
    key.append(reinterpret_cast<const char*>(message.lanMac), MAC_BYTES);
    key.append(reinterpret_cast<const char*>(message.wifiMac), MAC_BYTES);
    return key;
}

DeviceRecord* CDeviceTable::Find(const WireMessage& reply)
{
    const auto found = m_index.find(KeyOf(reply));
    return found == m_index.end() ? nullptr : found->second;
}

DeviceRecord* CDeviceTable::Store(const WireMessage& reply, const char* pszSourceIp, int nNetType,
                                  bool& bCreated)
{
    DeviceRecord record{};
    std::memcpy(&record.message, &reply, sizeof reply);
    WriteTextField(record.sourceIp, pszSourceIp ? pszSourceIp : "");
    record.sourceIp[sizeof record.sourceIp - 1] = 0;
    record.netType = nNetType;
    std::memcpy(record.wireName, reply.name, sizeof record.wireName);
    return Store(record, bCreated);
}

DeviceRecord* CDeviceTable::Store(const DeviceRecord& reply, bool& bCreated,
                                  std::vector<DeviceRecord*>* pTwins)
{
    bCreated = false;
    if (DeviceRecord* found = Find(reply.message)) {
        // Where the camera was reached is its first reply's in each scan: a camera asked again
        // without a clear (and perhaps on a new address) is listed where it answers now.
        if (reply.scanId != found->scanId) {
            std::memcpy(found->sourceIp, reply.sourceIp, sizeof found->sourceIp);
            found->sourceIp[sizeof found->sourceIp - 1] = 0;
            found->netType = reply.netType;
        }
        std::memcpy(&found->message, &reply.message, sizeof reply.message);
        std::memcpy(found->wireName, reply.wireName, sizeof found->wireName);
        found->senderIp = reply.senderIp;
        found->scanId = reply.scanId;
        return found;
    }
    if (IsFull())
        return nullptr;
    std::unique_ptr<DeviceRecord> record(new (std::nothrow) DeviceRecord(reply));
    if (!record)
        return nullptr;
    record->sourceIp[sizeof record->sourceIp - 1] = 0;
    try {
        // push_back grows the array geometrically; a reserve of one more each time would copy the
        // whole array for every new camera.
        m_index.emplace(KeyOf(reply.message), record.get());
        m_bySerial[SerialKeyOf(reply.message)].push_back(record.get());
        m_records.push_back(std::move(record));
    } catch (const std::bad_alloc&) {
        m_index.erase(KeyOf(reply.message));
        auto same = m_bySerial.find(SerialKeyOf(reply.message));
        if (same != m_bySerial.end() && !same->second.empty() && same->second.back() == record.get())
            same->second.pop_back();
        return nullptr;
    }
    bCreated = true;
    DeviceRecord* created = m_records.back().get();
    const std::vector<DeviceRecord*>& same = m_bySerial[SerialKeyOf(reply.message)];
    if (same.size() > 1)
        for (DeviceRecord* twin : same) {
            twin->flags |= DEVICE_SHARED_SERIAL;
            if (pTwins && twin != created)
                pTwins->push_back(twin);
        }
    return created;
}

void CDeviceTable::Clear()
{
    m_index.clear();
    m_bySerial.clear();
    m_records.clear();
    m_records.shrink_to_fit();
}

DeviceRecord* CDeviceTable::GetAt(int nIndex) const
{
    if (nIndex < 0 || nIndex >= GetCount())
        return nullptr;
    return m_records[static_cast<size_t>(nIndex)].get();
}

bool CDeviceTable::Contains(const DeviceRecord* pRecord) const
{
    for (auto& record : m_records)
        if (record.get() == pRecord)
            return true;
    return false;
}
