#include "tools/camsim/CamSimulator.h"

#include "tools/camsim/SimSend.h"
#include "tools/camsim/SimText.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

CCamSimulator::CCamSimulator(LabNetwork network) : m_network(std::move(network)) {}

bool CCamSimulator::Open(std::string& error)
{
    CUniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.Valid()) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    const int on = 1;
    setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(fd.Get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    setsockopt(fd.Get(), IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    const int buffer = 4 << 20; // a burst of a thousand replies must not stall on the send buffer
    setsockopt(fd.Get(), SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    setsockopt(fd.Get(), SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(CAMERA_PORT);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(fd.Get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        error = std::string("bind 0.0.0.0:8628: ") + std::strerror(errno);
        return false;
    }
    m_socket = std::move(fd);
    return true;
}

CSimCamera* CCamSimulator::Find(std::string_view idSerial)
{
    for (CSimCamera& camera : m_cameras)
        if (EqualsNoCase(camera.IdSerial(), idSerial))
            return &camera;
    return nullptr;
}

void CCamSimulator::CancelPending()
{
    m_pending = {};
    m_settings = {};
}

void CCamSimulator::TakeSetInfo(const WireMessage& message)
{
    const std::string id = FieldText(message.idSerial, sizeof message.idSerial);
    CSimCamera* camera = Find(id);
    if (!camera)
        return;
    if (camera->ApplyDelayMs() > 0) {
        m_settings.push(
            {Clock::now() + std::chrono::milliseconds(camera->ApplyDelayMs()), m_nOrder++, message});
        return;
    }
    // Every camera that owns the idSerial takes it (twins too, as real cameras would).
    for (CSimCamera& each : m_cameras) {
        if (!EqualsNoCase(each.IdSerial(), id))
            continue;
        const bool bTaken = each.TakeSettings(message);
        if (m_bVerbose)
            std::fprintf(stderr, "camsim: %s %s new settings\n", id.c_str(), bTaken ? "took" : "ignored");
    }
}

void CCamSimulator::ApplyDueSettings(Clock::time_point now)
{
    while (!m_settings.empty() && m_settings.top().due <= now) {
        const WireMessage& message = m_settings.top().message;
        // Looked up again: the camera may have been replaced or removed meanwhile.
        const std::string id = FieldText(message.idSerial, sizeof message.idSerial);
        if (CSimCamera* camera = Find(id)) {
            const bool bTaken = camera->TakeSettings(message);
            if (m_bVerbose)
                std::fprintf(stderr, "camsim: %s %s delayed settings\n", id.c_str(),
                             bTaken ? "took" : "ignored");
        }
        m_settings.pop();
    }
}

void CCamSimulator::ClearLog()
{
    m_logLines.clear();
    m_nRepliesSent = 0;
    m_tally = {};
}

void CCamSimulator::OnReadable()
{
    for (;;) {
        static char buffer[65536];
        char control[256];
        sockaddr_in sender{};
        iovec io{buffer, sizeof buffer};
        msghdr header{};
        header.msg_name = &sender;
        header.msg_namelen = sizeof sender;
        header.msg_iov = &io;
        header.msg_iovlen = 1;
        header.msg_control = control;
        header.msg_controllen = sizeof control;
        ssize_t received = ::recvmsg(m_socket.Get(), &header, MSG_DONTWAIT);
        if (received < 0)
            return; // EAGAIN: drained
        int ifindex = 0;
        for (cmsghdr* c = CMSG_FIRSTHDR(&header); c; c = CMSG_NXTHDR(&header, c))
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO)
                ifindex = reinterpret_cast<const in_pktinfo*>(CMSG_DATA(c))->ipi_ifindex;
        Handle(std::string(buffer, static_cast<std::size_t>(received)), ntohl(sender.sin_addr.s_addr),
               ntohs(sender.sin_port), ifindex);
    }
}

void CCamSimulator::Handle(const std::string& bytes, std::uint32_t sender, std::uint16_t port, int ifindex)
{
    Log(bytes, sender, port, ifindex);
    // Cameras act only on whole messages.
    if (bytes.size() != MESSAGE_SIZE)
        return;
    WireMessage message;
    std::memcpy(&message, bytes.data(), MESSAGE_SIZE);
    if (message.type == MSG_GET) {
        Answer(ifindex);
    } else if (message.type == MSG_SET_INFO) {
        TakeSetInfo(message);
    }
}

void CCamSimulator::Answer(int ifindex)
{
    auto linkIt = m_network.labLinks.find(ifindex);
    const std::string link = linkIt == m_network.labLinks.end() ? std::string() : linkIt->second;
    const Clock::time_point now = Clock::now();
    std::size_t position = 0;
    for (const CSimCamera& camera : m_cameras) {
        // A camera hears only the requests on its own link, unless told otherwise.
        if (!m_bAnswerEach && !camera.AnswersAnyLink() && camera.ListenDevice() != link)
            continue;
        std::string warning;
        const auto due = now + std::chrono::microseconds(static_cast<long long>(position++) * m_nPaceUs) +
                         std::chrono::milliseconds(camera.DelayMs());
        for (SimReply& reply : camera.BuildReplies(warning))
            m_pending.push({due, m_nOrder++, std::move(reply)});
        if (!warning.empty())
            std::fprintf(stderr, "camsim: %s\n", warning.c_str());
    }
}

std::optional<CCamSimulator::Clock::duration> CCamSimulator::SendDue()
{
    ApplyDueSettings(Clock::now());
    std::optional<Clock::duration> untilNext;
    while (!m_pending.empty()) {
        const Clock::time_point now = Clock::now();
        if (m_pending.top().due > now) {
            untilNext = m_pending.top().due - now;
            break;
        }
        Send(m_pending.top().reply);
        m_pending.pop();
    }
    if (!m_settings.empty()) {
        const Clock::duration untilSettings =
            std::max(m_settings.top().due - Clock::now(), Clock::duration::zero());
        if (!untilNext || untilSettings < *untilNext)
            untilNext = untilSettings;
    }
    return untilNext;
}

bool CCamSimulator::Send(const SimReply& reply)
{
    int ifindex = static_cast<int>(if_nametoindex(reply.device.c_str()));
    // Replies leave only by the lab's own links, and only as limited broadcasts.
    if (ifindex == 0 || !m_network.labLinks.count(ifindex)) {
        std::fprintf(stderr, "camsim: %s is not a lab link; reply dropped\n", reply.device.c_str());
        return false;
    }
    if (SendFromDevice(m_socket.Get(), reply.bytes.data(), reply.bytes.size(), reply.source, ifindex,
                       INADDR_BROADCAST, REPLY_PORT)) {
        ++m_nRepliesSent;
        return true;
    }
    std::fprintf(stderr, "camsim: send from %s on %s: %s\n", FormatIpv4(reply.source).c_str(),
                 reply.device.c_str(), std::strerror(errno));
    return false;
}

void CCamSimulator::Log(const std::string& bytes, std::uint32_t sender, std::uint16_t port, int ifindex)
{
    timeval now{};
    gettimeofday(&now, nullptr);
    char ifname[IF_NAMESIZE + 1] = "?";
    if (ifindex > 0)
        if_indextoname(static_cast<unsigned>(ifindex), ifname);
    std::string type = "-";
    if (bytes.size() >= 4) {
        std::int32_t value;
        std::memcpy(&value, bytes.data(), 4);
        type = std::to_string(value);
    }
    std::string id;
    if (bytes.size() > offsetof(WireMessage, idSerial))
        id = FieldText(bytes.data() + offsetof(WireMessage, idSerial),
                       std::min<std::size_t>(64, bytes.size() - offsetof(WireMessage, idSerial)));
    char time[32];
    std::snprintf(time, sizeof time, "%lld.%06ld", static_cast<long long>(now.tv_sec),
                  static_cast<long>(now.tv_usec));
    std::string line = std::string("t=") + time + " type=" + type + " from=" + FormatIpv4(sender) + ":" +
                       std::to_string(port) + " if=" + ifname + " id=" + PercentEncode(id) +
                       " len=" + std::to_string(bytes.size()) +
                       " hex=" + HexEncode(bytes.data(), bytes.size());
    const double seconds = static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_usec) / 1e6;
    ++m_tally.received;
    if (type == std::to_string(MSG_GET)) {
        ++m_tally.requests;
        if (m_tally.firstRequest == 0)
            m_tally.firstRequest = seconds;
        m_tally.lastRequest = seconds;
    } else if (type == std::to_string(MSG_ACK)) {
        ++m_tally.acks;
        m_tally.lastAck = seconds;
        std::string lower = id;
        for (char& c : lower)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        m_tally.ackedIds.insert(std::move(lower));
    }
    if (m_pLogFile) {
        std::fprintf(m_pLogFile, "%s\n", line.c_str());
        std::fflush(m_pLogFile);
    }
    m_logLines.push_back(std::move(line));
}
