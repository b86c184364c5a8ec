// native_receiver: the baseline of the discovery benchmark. Sends one discovery request the way
// the tool does (a limited broadcast to port 8628 from 198.18.1.10:50504) and receives the
// replies on port 8629 with nothing in between: no Wine, no windows, no acknowledgements. Runs
// only in the lab's tool side (scripts/lab.sh tool ...).
//
//   native_receiver [--expect N] [--quiet MS] [--timeout MS]
//
// It stops when N distinct cameras have answered, when nothing arrived for MS milliseconds
// (default 3000), or after --timeout (default 60000), and prints what it received and when.
#include "protocol/WireMessage.h"
#include "tools/camsim/UniqueFd.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

namespace {

constexpr const char* TOOL_ADDRESS = "198.18.1.10"; // the tool side's first lab link
constexpr int ASKED_BUFFER = 8 * 1024 * 1024;       // as the tool asks; capped at net.core.rmem_max

double Now()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

bool SetInt(int fd, int level, int name, int value)
{
    return ::setsockopt(fd, level, name, &value, sizeof value) == 0;
}

int GetInt(int fd, int level, int name)
{
    int value = 0;
    socklen_t length = sizeof value;
    return ::getsockopt(fd, level, name, &value, &length) == 0 ? value : -1;
}

bool Bind(int fd, const char* address, std::uint16_t port)
{
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    if (::inet_pton(AF_INET, address, &local.sin_addr) != 1)
        return false;
    return ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
}

CUniqueFd OpenSocket()
{
    CUniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (fd.Valid() && SetInt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, 1) &&
        SetInt(fd.Get(), SOL_SOCKET, SO_BROADCAST, 1))
        return fd;
    return CUniqueFd();
}

struct Options {
    std::size_t expect = 0; // 0: until quiet
    int quietMs = 3000;
    int timeoutMs = 60000;
};

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        const long value = std::atol(argv[i + 1]);
        if (arg == "--expect" && value >= 0)
            options.expect = static_cast<std::size_t>(value);
        else if (arg == "--quiet" && value > 0)
            options.quietMs = static_cast<int>(value);
        else if (arg == "--timeout" && value > 0)
            options.timeoutMs = static_cast<int>(value);
        else
            return false;
    }
    return argc % 2 == 1;
}

// The camera's id from a reply: 12 characters at the idSerial field, in one letter case.
std::string IdOf(const char* reply)
{
    std::string id(reply + offsetof(WireMessage, idSerial), ID_SERIAL_LENGTH);
    id.resize(std::strlen(id.c_str()));
    std::transform(id.begin(), id.end(), id.begin(), [](unsigned char c) { return std::tolower(c); });
    return id;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: native_receiver [--expect N] [--quiet MS] [--timeout MS]\n");
        return 2;
    }

    CUniqueFd receiver = OpenSocket();
    if (!receiver.Valid() || !SetInt(receiver.Get(), SOL_SOCKET, SO_RCVBUF, ASKED_BUFFER) ||
        !Bind(receiver.Get(), "0.0.0.0", REPLY_PORT)) {
        std::fprintf(stderr, "native_receiver: cannot bind UDP port %d: %s\n", REPLY_PORT,
                     std::strerror(errno));
        return 1;
    }
    // Reports the socket's drop counter with every datagram.
    SetInt(receiver.Get(), SOL_SOCKET, SO_RXQ_OVFL, 1);
    // Linux reports twice the granted size (it counts its bookkeeping too).
    const int granted = GetInt(receiver.Get(), SOL_SOCKET, SO_RCVBUF);

    CUniqueFd sender = OpenSocket();
    if (!sender.Valid() || !Bind(sender.Get(), TOOL_ADDRESS, SOURCE_PORT)) {
        std::fprintf(stderr, "native_receiver: cannot bind %s:%d: %s\n", TOOL_ADDRESS, SOURCE_PORT,
                     std::strerror(errno));
        return 1;
    }
    WireMessage request;
    BuildGetRequest(request);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(CAMERA_PORT);
    target.sin_addr.s_addr = htonl(INADDR_BROADCAST);

    const double start = Now();
    if (::sendto(sender.Get(), &request, MESSAGE_SIZE, 0, reinterpret_cast<sockaddr*>(&target),
                 sizeof target) != static_cast<ssize_t>(MESSAGE_SIZE)) {
        std::fprintf(stderr, "native_receiver: request not sent: %s\n", std::strerror(errno));
        return 1;
    }

    std::set<std::string> cameras;
    double firstAt = -1, lastAt = -1, lastDatagram = start;
    long datagrams = 0, replies = 0;
    unsigned drops = 0;
    char buffer[MESSAGE_SIZE + 64];
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(std::uint32_t))];
    for (;;) {
        const double now = Now();
        const int quietLeft = options.quietMs - static_cast<int>((now - lastDatagram) * 1000);
        const int totalLeft = options.timeoutMs - static_cast<int>((now - start) * 1000);
        if ((options.expect && cameras.size() >= options.expect) || quietLeft <= 0 || totalLeft <= 0)
            break;
        pollfd waiting{receiver.Get(), POLLIN, 0};
        if (::poll(&waiting, 1, std::min(quietLeft, totalLeft)) <= 0)
            continue;
        iovec io{buffer, sizeof buffer};
        msghdr header{};
        header.msg_iov = &io;
        header.msg_iovlen = 1;
        header.msg_control = control;
        header.msg_controllen = sizeof control;
        const ssize_t received = ::recvmsg(receiver.Get(), &header, MSG_DONTWAIT);
        if (received < 0)
            continue;
        const double at = Now();
        lastDatagram = at;
        ++datagrams;
        for (cmsghdr* c = CMSG_FIRSTHDR(&header); c; c = CMSG_NXTHDR(&header, c))
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_RXQ_OVFL)
                std::memcpy(&drops, CMSG_DATA(c), sizeof drops);
        std::int32_t type = 0;
        if (received < static_cast<ssize_t>(offsetof(WireMessage, idSerial) + ID_SERIAL_LENGTH))
            continue;
        std::memcpy(&type, buffer, sizeof type);
        if (type != MSG_INFO)
            continue;
        ++replies;
        if (cameras.insert(IdOf(buffer)).second) {
            if (firstAt < 0)
                firstAt = at - start;
            lastAt = at - start;
        }
    }

    std::printf(
        "native: received %zu cameras (%ld replies, %ld datagrams), first %.4f s, last %.4f s after the "
        "request; SO_RCVBUF %d (as Linux reports it), dropped %u\n",
        cameras.size(), replies, datagrams, firstAt, lastAt, granted, drops);
    std::printf("native-result count=%zu last_s=%.4f rcvbuf=%d drops=%u\n", cameras.size(), lastAt, granted,
                drops);
    return 0;
}
