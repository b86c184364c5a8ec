#include "tests/support/CamSimClient.h"

#include <ws2tcpip.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <utility>

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool DecodeHex(const std::string& hex, std::vector<std::uint8_t>& out)
{
    if (hex.size() % 2)
        return false;
    out.clear();
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        int high = HexDigit(hex[i]), low = HexDigit(hex[i + 1]);
        if (high < 0 || low < 0)
            return false;
        out.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    return true;
}

bool DecodePercent(const std::string& text, std::string& out)
{
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size() || HexDigit(text[i + 1]) < 0 || HexDigit(text[i + 2]) < 0)
            return false;
        out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
        i += 2;
    }
    return true;
}

} // namespace

CCamSimClient::~CCamSimClient()
{
    Close();
}

CCamSimClient::CCamSimClient(CCamSimClient&& other) noexcept
    : m_socket(std::exchange(other.m_socket, INVALID_SOCKET)), m_input(std::move(other.m_input))
{
}

CCamSimClient& CCamSimClient::operator=(CCamSimClient&& other) noexcept
{
    if (this != &other) {
        Close();
        m_socket = std::exchange(other.m_socket, INVALID_SOCKET);
        m_input = std::move(other.m_input);
    }
    return *this;
}

void CCamSimClient::Close()
{
    if (m_socket != INVALID_SOCKET)
        closesocket(m_socket);
    m_socket = INVALID_SOCKET;
    m_input.clear();
}

bool CCamSimClient::Connect(const char* host, unsigned short port, int timeoutMs)
{
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data); // counted: harmless when the caller started it too
    Close();
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    if (inet_pton(AF_INET, host, &peer.sin_addr) != 1)
        return false;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (s == INVALID_SOCKET)
            return false;
        if (connect(s, reinterpret_cast<sockaddr*>(&peer), sizeof peer) == 0) {
            DWORD receiveTimeout = 10000;
            setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&receiveTimeout),
                       sizeof receiveTimeout);
            m_socket = s;
            return true;
        }
        closesocket(s);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    } while (std::chrono::steady_clock::now() < end);
    return false;
}

std::string CCamSimClient::Command(const std::string& line)
{
    if (m_socket == INVALID_SOCKET)
        return {};
    const std::string text = line + "\n";
    std::size_t done = 0;
    while (done < text.size()) {
        int n = send(m_socket, text.data() + done, static_cast<int>(text.size() - done), 0);
        if (n <= 0) {
            Close();
            return {};
        }
        done += static_cast<std::size_t>(n);
    }
    return ReadLine();
}

std::string CCamSimClient::ReadLine()
{
    for (;;) {
        std::size_t newline = m_input.find('\n');
        if (newline != std::string::npos) {
            std::string line = m_input.substr(0, newline);
            m_input.erase(0, newline + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            return line;
        }
        char buffer[65536];
        int n = recv(m_socket, buffer, sizeof buffer, 0);
        if (n <= 0) {
            // A half-read reply cannot be resynchronised: drop the connection.
            Close();
            return {};
        }
        m_input.append(buffer, static_cast<std::size_t>(n));
    }
}

std::vector<std::string> CCamSimClient::CommandLines(const std::string& line)
{
    std::vector<std::string> lines;
    std::string reply = Command(line);
    if (reply.rfind("err", 0) == 0) {
        lines.push_back(reply);
        return lines;
    }
    while (!reply.empty() && reply != "end") {
        lines.push_back(reply);
        reply = ReadLine();
    }
    return lines;
}

std::vector<CamSimLogEntry> CCamSimClient::Log()
{
    std::vector<CamSimLogEntry> entries;
    for (const std::string& line : CommandLines("log")) {
        CamSimLogEntry entry;
        if (ParseLogLine(line, entry))
            entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<CamSimLogEntry>
CCamSimClient::WaitForLog(const std::function<bool(const std::vector<CamSimLogEntry>&)>& done, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        std::vector<CamSimLogEntry> entries = Log();
        if (done(entries) || std::chrono::steady_clock::now() >= end || !Connected())
            return entries;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

std::vector<std::uint8_t> CCamSimClient::Image(const std::string& idSerial)
{
    std::vector<std::uint8_t> bytes;
    std::string reply = Command("get " + idSerial);
    if (reply.rfind("ok ", 0) != 0 || !DecodeHex(reply.substr(3), bytes))
        bytes.clear();
    return bytes;
}

bool CCamSimClient::ParseLogLine(const std::string& line, CamSimLogEntry& entry)
{
    entry = CamSimLogEntry();
    int fields = 0;
    std::size_t pos = 0;
    while (pos < line.size()) {
        std::size_t end = line.find(' ', pos);
        if (end == std::string::npos)
            end = line.size();
        const std::string word = line.substr(pos, end - pos);
        pos = end + 1;
        const std::size_t eq = word.find('=');
        if (eq == std::string::npos)
            return false;
        const std::string key = word.substr(0, eq), value = word.substr(eq + 1);
        if (key == "t") {
            entry.time = std::strtod(value.c_str(), nullptr);
        } else if (key == "type") {
            entry.type = value == "-" ? -1 : std::atoi(value.c_str());
        } else if (key == "from") {
            const std::size_t colon = value.rfind(':');
            if (colon == std::string::npos)
                return false;
            entry.senderIp = value.substr(0, colon);
            entry.senderPort = std::atoi(value.c_str() + colon + 1);
        } else if (key == "if") {
            entry.link = value;
        } else if (key == "id") {
            if (!DecodePercent(value, entry.idSerial))
                return false;
        } else if (key == "hex") {
            if (!DecodeHex(value, entry.bytes))
                return false;
        } else if (key != "len") {
            continue; // a field added later
        }
        ++fields;
    }
    return fields == 7;
}

std::size_t CCamSimClient::CountType(const std::vector<CamSimLogEntry>& entries, int type)
{
    std::size_t count = 0;
    for (const CamSimLogEntry& entry : entries)
        count += entry.type == type;
    return count;
}

std::string CCamSimClient::PercentEncode(const std::string& bytes)
{
    std::string out;
    for (unsigned char c : bytes) {
        if (c > 0x20 && c < 0x7F && c != '%' && c != '=') {
            out += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            out += escaped;
        }
    }
    return out;
}
