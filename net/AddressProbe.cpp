#include "net/AddressProbe.h"

#include <winsock2.h>
#include <iphlpapi.h>
#include <ipexport.h>
#include <icmpapi.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <thread>
#include <cstdio>
#include <memory>

namespace {

// Room for the reply record, the echoed data, an ICMP error's header and the status block that
// the asynchronous form writes at the end.
constexpr DWORD REPLY_SIZE = 256;
constexpr char ECHO_DATA[] = "Larkvane";
constexpr std::size_t ARP_THREADS = 8;

std::string MacText(const unsigned char* mac)
{
    char text[18];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2], mac[3], mac[4],
                  mac[5]);
    return text;
}

bool EchoAnswered(const unsigned char* reply, std::uint32_t address)
{
    const auto* record = reinterpret_cast<const ICMP_ECHO_REPLY*>(reply);
    // A router's "unreachable" comes back as a reply too, from the router.
    return record->Status == IP_SUCCESS && record->Address == ::htonl(address);
}

// Asks every address, BATCH at a time: one echo request per call, each on a thread of its own.
// The synchronous form (no event, no routine) returns only once the system has written its answer into the
// caller's buffer. (Under Wine the asynchronous form, IcmpSendEcho2 with an event, sets the event first and
// copies the answer in an APC of the calling thread, which runs at that thread's next alertable
// wait: long after the buffer went, writing into whatever the heap had put there since.)
void EchoAll(std::vector<CAddressProbe::Answer>& answers, const std::vector<std::size_t>& indexes,
             DWORD timeoutMs, const std::function<bool()>& cancelled)
{
    std::atomic<std::size_t> next{0};
    auto ask = [&] {
        const HANDLE hIcmp = ::IcmpCreateFile();
        if (hIcmp == INVALID_HANDLE_VALUE)
            return;
        unsigned char reply[REPLY_SIZE];
        for (std::size_t k = next++; k < indexes.size() && !cancelled(); k = next++) {
            CAddressProbe::Answer& answer = answers[indexes[k]];
            std::memset(reply, 0, sizeof reply);
            // Without an event or a routine the call is synchronous.
            const DWORD nReplies = ::IcmpSendEcho2(hIcmp, nullptr, nullptr, nullptr, ::htonl(answer.address),
                                                   const_cast<char*>(ECHO_DATA), sizeof ECHO_DATA - 1,
                                                   nullptr, reply, REPLY_SIZE, timeoutMs);
            answer.state = nReplies != 0 && EchoAnswered(reply, answer.address) ? CAddressProbe::State::InUse
                                                                                : CAddressProbe::State::Free;
        }
        ::IcmpCloseHandle(hIcmp);
    };
    std::vector<std::thread> threads;
    const std::size_t nThreads = std::min(indexes.size(), CAddressProbe::BATCH);
    for (std::size_t i = 0; i < nThreads; ++i) {
        try {
            threads.emplace_back(ask);
        } catch (...) { // no more threads to be had: those running share the addresses
            break;
        }
    }
    if (threads.empty())
        ask();
    for (std::thread& thread : threads)
        thread.join();
}

// The MAC addresses the system's neighbour table holds for the answers in use.
void FillMacs(std::vector<CAddressProbe::Answer>& answers)
{
    ULONG size = 0;
    if (::GetIpNetTable(nullptr, &size, FALSE) != ERROR_INSUFFICIENT_BUFFER || size == 0)
        return;
    std::vector<unsigned char> buffer(size);
    auto* table = reinterpret_cast<MIB_IPNETTABLE*>(buffer.data());
    if (::GetIpNetTable(table, &size, FALSE) != NO_ERROR)
        return;
    for (CAddressProbe::Answer& answer : answers) {
        if (answer.state != CAddressProbe::State::InUse || !answer.mac.empty())
            continue;
        for (DWORD i = 0; i < table->dwNumEntries; ++i) {
            const MIB_IPNETROW& row = table->table[i];
            if (row.dwAddr == ::htonl(answer.address) && row.dwPhysAddrLen == 6 &&
                row.dwType != MIB_IPNET_TYPE_INVALID) {
                answer.mac = MacText(row.bPhysAddr);
                break;
            }
        }
    }
}

// SendARP for the addresses no echo answered (a device may ignore echoes, but not ARP), on a few
// threads: each request for an address nobody holds blocks its thread for about a second.
void AskArp(std::vector<CAddressProbe::Answer>& answers, HANDLE hCancel)
{
    std::vector<std::size_t> silent;
    for (std::size_t i = 0; i < answers.size(); ++i)
        if (answers[i].state == CAddressProbe::State::Free)
            silent.push_back(i);
    std::atomic<std::size_t> next{0};
    const DWORD dwDeadline = ::GetTickCount() + CAddressProbe::ARP_TIMEOUT_MS;
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < std::min(ARP_THREADS, silent.size()); ++t)
        threads.emplace_back([&] {
            for (std::size_t k = next++; k < silent.size(); k = next++) {
                if ((hCancel && ::WaitForSingleObject(hCancel, 0) == WAIT_OBJECT_0) ||
                    static_cast<LONG>(::GetTickCount() - dwDeadline) >= 0)
                    return;
                CAddressProbe::Answer& answer = answers[silent[k]];
                ULONG mac[2] = {};
                ULONG length = 6;
                if (::SendARP(::htonl(answer.address), 0, mac, &length) == NO_ERROR && length == 6) {
                    answer.state = CAddressProbe::State::InUse;
                    answer.mac = MacText(reinterpret_cast<const unsigned char*>(mac));
                }
            }
        });
    for (std::thread& thread : threads)
        thread.join();
}

} // namespace

std::vector<CAddressProbe::Subnet> CAddressProbe::LocalSubnets()
{
    std::vector<Subnet> subnets;
    ULONG size = 0;
    if (::GetIpAddrTable(nullptr, &size, FALSE) != ERROR_INSUFFICIENT_BUFFER || size == 0)
        return subnets;
    std::vector<unsigned char> buffer(size);
    auto* table = reinterpret_cast<MIB_IPADDRTABLE*>(buffer.data());
    if (::GetIpAddrTable(table, &size, FALSE) != NO_ERROR)
        return subnets;
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const std::uint32_t address = ::ntohl(table->table[i].dwAddr);
        if (address != 0 && (address >> 24) != 127)
            subnets.push_back({address, ::ntohl(table->table[i].dwMask)});
    }
    return subnets;
}

bool CAddressProbe::IsProbeable(std::uint32_t address, const std::vector<Subnet>& subnets)
{
    bool bInside = false;
    for (const Subnet& net : subnets) {
        if (address == net.address)
            return false; // this computer
        const std::uint32_t host = address & ~net.mask;
        if ((address & net.mask) == (net.address & net.mask) && host != 0 && host != ~net.mask)
            bInside = true;
    }
    return bInside;
}

bool CAddressProbe::ArpAvailable()
{
    // -1 not asked yet. Wine 8's SendARP is a stub that answers ERROR_NOT_SUPPORTED at once;
    // Windows answers loopback with another error, also at once.
    static std::atomic<int> s_nAvailable{-1};
    if (s_nAvailable.load() < 0) {
        ULONG mac[2] = {};
        ULONG length = 6;
        const DWORD nResult = ::SendARP(::htonl(INADDR_LOOPBACK), 0, mac, &length);
        s_nAvailable = nResult != ERROR_NOT_SUPPORTED && nResult != ERROR_CALL_NOT_IMPLEMENTED;
    }
    return s_nAvailable.load() == 1;
}

std::vector<CAddressProbe::Answer> CAddressProbe::Run(const std::vector<std::uint32_t>& addresses,
                                                      HANDLE hCancel, DWORD echoTimeoutMs)
{
    std::vector<Answer> answers(addresses.size());
    const std::vector<Subnet> subnets = LocalSubnets();
    std::vector<std::size_t> probed;
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        answers[i].address = addresses[i];
        if (IsProbeable(addresses[i], subnets))
            probed.push_back(i);
    }
    auto cancelled = [hCancel] { return hCancel && ::WaitForSingleObject(hCancel, 0) == WAIT_OBJECT_0; };
    EchoAll(answers, probed, echoTimeoutMs, cancelled);
    if (!cancelled() && ArpAvailable())
        AskArp(answers, hCancel);
    FillMacs(answers);
    if (cancelled())
        for (Answer& answer : answers)
            if (answer.state == State::Free)
                answer.state = State::NotProbed; // not asked to the end
    return answers;
}

// ---- The worker -----------------------------------------------------------------------------------

CAddressProbe::CAddressProbe() : m_hCancel(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    m_worker = std::thread([this] { Worker(); });
}

CAddressProbe::~CAddressProbe()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bStop = true;
        ::SetEvent(m_hCancel.Get());
    }
    m_changed.notify_all();
    m_worker.join();
}

unsigned CAddressProbe::Start(std::vector<std::uint32_t> addresses, HWND hNotify, UINT nMessage)
{
    unsigned id = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        id = m_nNextId++;
        if (m_nNextId == 0)
            m_nNextId = 1;
        m_pending = std::move(addresses);
        m_bPending = true;
        m_nRunningId = id;
        m_hNotify = hNotify;
        m_nMessage = nMessage;
        ::SetEvent(m_hCancel.Get()); // a probe that runs gives way
    }
    m_changed.notify_all();
    return id;
}

bool CAddressProbe::Result(unsigned id, std::vector<Answer>& answers)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (id == 0 || m_nDoneId != id)
        return false;
    answers = m_answers;
    return true;
}

bool CAddressProbe::Wait(unsigned id, DWORD nMs)
{
    std::unique_lock<std::mutex> guard(m_lock);
    m_changed.wait_for(guard, std::chrono::milliseconds(nMs),
                       [&] { return m_bStop || m_nDoneId == id || m_nRunningId != id; });
    return id != 0 && m_nDoneId == id;
}

void CAddressProbe::Cancel()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_bPending = false;
    ::SetEvent(m_hCancel.Get());
}

bool CAddressProbe::IsRunning()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_nRunningId != 0 && m_nDoneId != m_nRunningId;
}

void CAddressProbe::Worker()
{
    for (;;) {
        std::vector<std::uint32_t> addresses;
        unsigned id = 0;
        {
            std::unique_lock<std::mutex> guard(m_lock);
            m_changed.wait(guard, [this] { return m_bStop || m_bPending; });
            if (m_bStop)
                return;
            addresses.swap(m_pending);
            m_bPending = false;
            id = m_nRunningId;
            ::ResetEvent(m_hCancel.Get());
        }
        std::vector<Answer> answers = Run(addresses, m_hCancel.Get());
        HWND hNotify = nullptr;
        UINT nMessage = 0;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            if (m_nRunningId != id || m_bStop)
                continue; // replaced or cancelled: nobody waits for these answers
            m_answers = std::move(answers);
            m_nDoneId = id;
            hNotify = m_hNotify;
            nMessage = m_nMessage;
        }
        m_changed.notify_all();
        if (hNotify)
            ::PostMessageW(hNotify, nMessage, id, 0);
    }
}
