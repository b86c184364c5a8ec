#pragma once
// CDeviceTable: the cameras found since the last rescan, one owned record per camera, in the
// order of their first accepted reply. A camera is its idSerial (letter case ignored) and its MAC
// addresses: two cameras that were given one idSerial stay two records, both marked
// DEVICE_SHARED_SERIAL, instead of one record that mixes their replies.
//
// One lock guards the table and its records. The discovery workers hold it across a whole
// clear-and-free or look-up-store-and-row step, including the synchronous window messages of
// that step, so the user-interface thread must never block on it plainly: it takes the lock with
// LockFromWindowThread, which keeps handling the messages sent to it while it waits.

#include "protocol/WireMessage.h"

#include <windows.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class CDeviceTable {
  public:
    CDeviceTable();
    ~CDeviceTable();
    CDeviceTable(const CDeviceTable&) = delete;
    CDeviceTable& operator=(const CDeviceTable&) = delete;

    // The process-wide table.
    static CDeviceTable& Instance();

    // Cameras held at most, far above any one site: replies from more serials (a flood of forged
    // ones, say) are dropped rather than let the table and the list grow without limit.
    static constexpr int MAX_CAMERAS = 20000;

    void Lock();
    void Unlock();
    // For the thread that owns the windows the workers send to.
    void LockFromWindowThread();

    // Everything below requires the lock.

    // The record of the camera that sent the reply (its idSerial without regard to letter case,
    // and its MAC addresses); constant time, since every reply of a burst looks its camera up.
    DeviceRecord* Find(const WireMessage& reply);
    // Overwrites the found record's image (it keeps its sourceIp and netType) or appends a new
    // record. `bCreated` tells which happened. Null when memory ran out or when the reply is of a
    // new camera and the table is full.
    DeviceRecord* Store(const WireMessage& reply, const char* pszSourceIp, int nNetType, bool& bCreated);
    // The same for a reply with what the engine knows of it: a found record takes the image, the
    // wire name, the sender and the scan, and keeps its sourceIp and netType unless the reply is
    // the first of a later scan (a scan that did not clear the table).
    // A new record whose idSerial another camera already has marks both; the others are added to
    // `pTwins` (when given), since their marks changed too.
    DeviceRecord* Store(const DeviceRecord& reply, bool& bCreated,
                        std::vector<DeviceRecord*>* pTwins = nullptr);
    // Frees every record and the array's storage.
    void Clear();
    int GetCount() const { return static_cast<int>(m_records.size()); }
    bool IsFull() const { return GetCount() >= MAX_CAMERAS; }
    DeviceRecord* GetAt(int nIndex) const;
    // True while the record belongs to the table (a row's item data can be checked with it).
    bool Contains(const DeviceRecord* pRecord) const;

  private:
    // The idSerial as the table compares it: up to its terminator, ASCII letters lowered.
    static std::string SerialKeyOf(const WireMessage& message);
    // The serial key and the MAC addresses.
    static std::string KeyOf(const WireMessage& message);

    CRITICAL_SECTION m_lock;
    std::vector<std::unique_ptr<DeviceRecord>> m_records;
    std::unordered_map<std::string, DeviceRecord*> m_index;
    // Cameras per serial key: almost always one.
    std::unordered_map<std::string, std::vector<DeviceRecord*>> m_bySerial;
};

// Holds the table's lock for a scope, the plain way (workers) or pumping sent messages (the
// user-interface thread).
class CDeviceTableLock {
  public:
    enum Mode { Worker, WindowThread };
    explicit CDeviceTableLock(CDeviceTable& table, Mode mode = Worker) : m_table(table)
    {
        if (mode == WindowThread)
            m_table.LockFromWindowThread();
        else
            m_table.Lock();
    }
    ~CDeviceTableLock() { m_table.Unlock(); }
    CDeviceTableLock(const CDeviceTableLock&) = delete;
    CDeviceTableLock& operator=(const CDeviceTableLock&) = delete;

  private:
    CDeviceTable& m_table;
};
