#include "tools/camsim/SimSend.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

bool SendFromDevice(int socket, const void* bytes, std::size_t size, std::uint32_t source, int ifindex,
                    std::uint32_t target, std::uint16_t port)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(target);
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    iovec io{const_cast<void*>(bytes), size};
    msghdr header{};
    header.msg_name = &to;
    header.msg_namelen = sizeof to;
    header.msg_iov = &io;
    header.msg_iovlen = 1;
    header.msg_control = control;
    header.msg_controllen = sizeof control;
    cmsghdr* c = CMSG_FIRSTHDR(&header);
    c->cmsg_level = IPPROTO_IP;
    c->cmsg_type = IP_PKTINFO;
    c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_ifindex = ifindex;               // out of this link (broadcast and multicast too)
    info.ipi_spec_dst.s_addr = htonl(source); // from the device's own address
    std::memcpy(CMSG_DATA(c), &info, sizeof info);
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (::sendmsg(socket, &header, 0) >= 0)
            return true;
        if (errno != EAGAIN && errno != ENOBUFS)
            return false;
        usleep(500); // the link's queue is full during a large burst
    }
    return false;
}
