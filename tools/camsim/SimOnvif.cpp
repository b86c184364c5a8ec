#include "tools/camsim/SimOnvif.h"

#include "protocol/OnvifMessage.h"
#include "tools/camsim/SimSend.h"
#include "tools/camsim/SimText.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

// A Probe is never large; a longer datagram is nothing the simulator answers.
static constexpr std::size_t PROBE_MAX = 8192;

CSimOnvif::CSimOnvif(LabNetwork network) : m_network(std::move(network)) {}

bool CSimOnvif::Open(std::string& error)
{
    CUniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.Valid()) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    const int on = 1, off = 0;
    setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(fd.Get(), IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    // Its own Hello and Bye are not Probes to answer.
    setsockopt(fd.Get(), IPPROTO_IP, IP_MULTICAST_LOOP, &off, sizeof off);
    const int buffer = 4 << 20; // a thousand devices answer one Probe at once
    setsockopt(fd.Get(), SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(WSD_PORT);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(fd.Get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        error = std::string("bind 0.0.0.0:3702: ") + std::strerror(errno);
        return false;
    }
    // Joined on the lab's links only: multicast never leaves or enters through anything else.
    for (const auto& [index, name] : m_network.labLinks) {
        ip_mreqn join{};
        inet_pton(AF_INET, WSD_MULTICAST_ADDRESS, &join.imr_multiaddr);
        join.imr_ifindex = index;
        if (setsockopt(fd.Get(), IPPROTO_IP, IP_ADD_MEMBERSHIP, &join, sizeof join) != 0) {
            error =
                "join " + std::string(WSD_MULTICAST_ADDRESS) + " on " + name + ": " + std::strerror(errno);
            return false;
        }
    }
    m_socket = std::move(fd);
    return true;
}

void CSimOnvif::OnReadable()
{
    for (;;) {
        char bytes[PROBE_MAX + 1];
        sockaddr_in from{};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
        iovec io{bytes, sizeof bytes};
        msghdr header{};
        header.msg_name = &from;
        header.msg_namelen = sizeof from;
        header.msg_iov = &io;
        header.msg_iovlen = 1;
        header.msg_control = control;
        header.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(m_socket.Get(), &header, 0);
        if (n < 0)
            return;
        int ifindex = 0;
        for (cmsghdr* c = CMSG_FIRSTHDR(&header); c; c = CMSG_NXTHDR(&header, c))
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO)
                ifindex = reinterpret_cast<const in_pktinfo*>(CMSG_DATA(c))->ipi_ifindex;
        const auto link = m_network.labLinks.find(ifindex);
        std::string messageId;
        if (link == m_network.labLinks.end() || static_cast<std::size_t>(n) > PROBE_MAX ||
            !ParseOnvifProbe(bytes, static_cast<std::size_t>(n), messageId))
            continue;
        m_probes.push_back({messageId, ntohl(from.sin_addr.s_addr), link->second});
        Answer(messageId, ntohl(from.sin_addr.s_addr), ntohs(from.sin_port), link->second);
    }
}

void CSimOnvif::Answer(const std::string& messageId, std::uint32_t sender, std::uint16_t port,
                       const std::string& device)
{
    for (const SimOnvifDevice& d : m_devices)
        if (d.present && d.device == device)
            Schedule(BuildSimProbeMatches(d, messageId), d.source, device, sender, port, true);
    for (const SimOnvifHostile kind : m_hostile)
        Schedule(BuildSimHostile(kind, messageId), OnvifHostileSource(kind), device, sender, port, false);
}

void CSimOnvif::Schedule(std::string bytes, std::uint32_t source, const std::string& device,
                         std::uint32_t target, std::uint16_t port, bool bMatch)
{
    const int delayMs =
        m_nMaxDelayMs > 0 ? static_cast<int>(m_random() % static_cast<unsigned>(m_nMaxDelayMs)) : 0;
    m_pending.push({Clock::now() + std::chrono::milliseconds(delayMs), m_nOrder++, std::move(bytes), source,
                    target, port, device, bMatch});
}

std::optional<CSimOnvif::Clock::duration> CSimOnvif::SendDue()
{
    while (!m_pending.empty() && m_pending.top().due <= Clock::now()) {
        const Pending& p = m_pending.top();
        if (Send(p.bytes, p.source, p.device, p.target, p.port) && p.bMatch)
            ++m_nMatchesSent;
        m_pending.pop();
    }
    if (m_pending.empty())
        return std::nullopt;
    return std::max(m_pending.top().due - Clock::now(), Clock::duration::zero());
}

void CSimOnvif::SetMaxDelayMs(int ms)
{
    m_nMaxDelayMs = ms;
    m_pending = {};
}

std::size_t CSimOnvif::SendHello(long index)
{
    return Announce(index, true);
}

std::size_t CSimOnvif::SendBye(long index)
{
    return Announce(index, false);
}

std::size_t CSimOnvif::Announce(long index, bool bHello)
{
    std::size_t sent = 0;
    const std::uint32_t group = ParseIpv4(WSD_MULTICAST_ADDRESS).value_or(0);
    for (std::size_t i = 0; i < m_devices.size(); ++i) {
        if (index >= 0 && static_cast<std::size_t>(index) != i)
            continue;
        SimOnvifDevice& device = m_devices[i];
        device.present = bHello;
        const std::string bytes = bHello ? BuildSimHello(device) : BuildSimBye(device);
        sent += Send(bytes, device.source, device.device, group, WSD_PORT);
    }
    return sent;
}

void CSimOnvif::ClearStats()
{
    m_probes.clear();
    m_nMatchesSent = 0;
}

bool CSimOnvif::Send(const std::string& bytes, std::uint32_t source, const std::string& device,
                     std::uint32_t target, std::uint16_t port)
{
    const int ifindex = static_cast<int>(if_nametoindex(device.c_str()));
    if (ifindex == 0 || !m_network.labLinks.count(ifindex) || !IsLabSourceAddress(source)) {
        std::fprintf(stderr, "camsim: onvif: %s is not a lab link or %s no lab address; not sent\n",
                     device.c_str(), FormatIpv4(source).c_str());
        return false;
    }
    if (SendFromDevice(m_socket.Get(), bytes.data(), bytes.size(), source, ifindex, target, port))
        return true;
    std::fprintf(stderr, "camsim: onvif: send from %s on %s: %s\n", FormatIpv4(source).c_str(),
                 device.c_str(), std::strerror(errno));
    return false;
}
