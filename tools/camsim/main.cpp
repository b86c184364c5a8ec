// camsim: simulated IP cameras for the Larkvane lab. Runs only inside the lab's camera
// namespace (scripts/lab.sh cam ...).
//
//   camsim [--fleet default|N] [--burst] [--pace MS] [--answer-each] [--control PORT] [--log FILE]
//          [--verbose] [--onvif none|default|N]

#include "tools/camsim/CamSimulator.h"
#include "tools/camsim/LabNetwork.h"
#include "tools/camsim/SimControl.h"
#include "tools/camsim/SimOnvif.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int)
{
    g_stop = 1;
}

int Usage()
{
    std::fprintf(stderr, "usage: camsim [--fleet default|N] [--burst] [--pace MS] [--answer-each] "
                         "[--control PORT] [--log FILE] [--verbose] [--onvif none|default|N]\n");
    return 2;
}

CUniqueFd Listen(int port)
{
    CUniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.Valid())
        return fd;
    const int on = 1;
    setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<std::uint16_t>(port));
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(fd.Get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::listen(fd.Get(), 8) != 0)
        return CUniqueFd();
    return fd;
}

struct ControlClient {
    CUniqueFd fd;
    std::string input;
};

bool SendAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Runs the commands complete in the client's input; false when the connection is to close.
bool ServeClient(ControlClient& client, CSimControl& control)
{
    char buffer[4096];
    ssize_t n = ::recv(client.fd.Get(), buffer, sizeof buffer, 0);
    if (n <= 0)
        return false;
    client.input.append(buffer, static_cast<std::size_t>(n));
    std::size_t newline;
    while ((newline = client.input.find('\n')) != std::string::npos) {
        std::string line = client.input.substr(0, newline);
        client.input.erase(0, newline + 1);
        if (!SendAll(client.fd.Get(), control.Execute(line)) || control.TakeCloseRequest())
            return false;
    }
    return client.input.size() < 65536;
}

} // namespace

int main(int argc, char** argv)
{
    std::string fleet = "default", onvifFleet = "none", logPath;
    int controlPort = 0, paceMs = -1;
    bool burst = false, verbose = false, answerEach = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* value = nullptr;
        if (arg == "--burst")
            burst = true;
        else if (arg == "--verbose")
            verbose = true;
        else if (arg == "--answer-each")
            answerEach = true;
        else if (arg == "--fleet" && (value = next()))
            fleet = value;
        else if (arg == "--onvif" && (value = next()))
            onvifFleet = value;
        else if (arg == "--log" && (value = next()))
            logPath = value;
        else if (arg == "--control" && (value = next()))
            controlPort = std::atoi(value);
        else if (arg == "--pace" && (value = next()))
            paceMs = std::atoi(value);
        else
            return Usage();
    }
    if (controlPort < 0 || controlPort > 65535 || paceMs > 10000)
        return Usage();

    // Safety first: this program broadcasts, so it must see nothing but the lab.
    LabNetwork network = ScanLabNetwork();
    if (!network.foreign.empty()) {
        for (const std::string& entry : network.foreign)
            std::fprintf(stderr,
                         "camsim: refusing to run: %s is outside the lab (198.18.0.0/15, 192.168.100.100)\n",
                         entry.c_str());
        std::fprintf(stderr,
                     "camsim: start it only in the lab's camera side: scripts/lab.sh cam camsim ...\n");
        return 2;
    }
    if (network.labLinks.empty()) {
        std::fprintf(stderr, "camsim: refusing to run: no lab link here; start it with scripts/lab.sh cam\n");
        return 2;
    }

    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    CCamSimulator simulator(network);
    CSimOnvif onvif(network);
    CSimControl control(simulator);
    std::string error;
    if (!control.LoadFleet(fleet, error) || !control.AttachOnvif(onvif, onvifFleet, error)) {
        std::fprintf(stderr, "camsim: %s\n", error.c_str());
        return Usage();
    }
    if (burst)
        simulator.SetPaceMicroseconds(0);
    else if (paceMs >= 0)
        simulator.SetPaceMicroseconds(paceMs * 1000);
    simulator.SetVerbose(verbose);
    simulator.SetAnswerEach(answerEach);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> logFile(nullptr, std::fclose);
    if (!logPath.empty()) {
        logFile.reset(std::fopen(logPath.c_str(), "a"));
        if (!logFile) {
            std::fprintf(stderr, "camsim: cannot open %s: %s\n", logPath.c_str(), std::strerror(errno));
            return 1;
        }
        simulator.SetLogFile(logFile.get());
    }
    if (!simulator.Open(error) || !onvif.Open(error)) {
        std::fprintf(stderr, "camsim: %s\n", error.c_str());
        return 1;
    }
    CUniqueFd listener;
    if (controlPort > 0) {
        listener = Listen(controlPort);
        if (!listener.Valid()) {
            std::fprintf(stderr, "camsim: cannot listen on control port %d: %s\n", controlPort,
                         std::strerror(errno));
            return 1;
        }
    }
    std::fprintf(stderr, "camsim: %zu cameras on UDP %u%s%s\n", simulator.Cameras().size(), CAMERA_PORT,
                 controlPort ? ", control on TCP " : "",
                 controlPort ? std::to_string(controlPort).c_str() : "");

    std::vector<ControlClient> clients;
    while (!g_stop && !control.ShutdownRequested()) {
        auto untilDue = simulator.SendDue();
        if (const auto untilOnvif = onvif.SendDue(); untilOnvif && (!untilDue || *untilOnvif < *untilDue))
            untilDue = untilOnvif;
        int timeoutMs = -1;
        if (untilDue)
            timeoutMs = static_cast<int>(
                (std::chrono::duration_cast<std::chrono::microseconds>(*untilDue).count() + 999) / 1000);

        std::vector<pollfd> fds{{simulator.Socket(), POLLIN, 0}, {onvif.Socket(), POLLIN, 0}};
        if (listener.Valid())
            fds.push_back({listener.Get(), POLLIN, 0});
        const std::size_t firstClient = fds.size();
        for (ControlClient& client : clients)
            fds.push_back({client.fd.Get(), POLLIN, 0});
        if (::poll(fds.data(), fds.size(), timeoutMs) < 0) {
            if (errno == EINTR)
                continue;
            std::perror("camsim: poll");
            return 1;
        }
        if (fds[0].revents & POLLIN)
            simulator.OnReadable();
        if (fds[1].revents & POLLIN)
            onvif.OnReadable();
        for (std::size_t i = clients.size(); i-- > 0;)
            if (fds[firstClient + i].revents & (POLLIN | POLLHUP | POLLERR))
                if (!ServeClient(clients[i], control))
                    clients.erase(clients.begin() + static_cast<long>(i));
        if (listener.Valid() && (fds[2].revents & POLLIN)) {
            CUniqueFd accepted(::accept4(listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (accepted.Valid())
                clients.push_back({std::move(accepted), {}});
        }
    }
    simulator.SendDue();
    std::fprintf(stderr, "camsim: stopped\n");
    return 0;
}
