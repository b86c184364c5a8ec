#pragma once
// Control client of the camera simulator (tools/camsim), for Windows tests in the lab.
//
//   CCamSimClient sim;
//   ASSERT_TRUE(sim.Connect());                  // 198.18.1.2:8700, the lab's camera side
//   EXPECT_EQ(sim.Command("reset"), "ok 12");
//   sim.Command("set a1b2c3d4e5f6 from=both");
//   auto log = sim.WaitForLog([](auto& entries) { return CountType(entries, 129) >= 12; }, 5000);
//
// Commands and replies are single text lines ("ok ..." / "err ..."); "log" and "list" answer
// with several lines and then "end".

#include <winsock2.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One datagram the simulator received, parsed from a "log" line:
//   t=SECONDS.MICROS type=N from=IP:PORT if=LINK id=IDSERIAL len=N hex=BYTES
struct CamSimLogEntry {
    double time = 0;
    int type = -1; // -1 when the datagram was shorter than 4 bytes
    std::string senderIp;
    int senderPort = 0;
    std::string link;
    std::string idSerial; // up to the first zero byte, percent-decoded
    std::vector<std::uint8_t> bytes;
};

class CCamSimClient {
  public:
    CCamSimClient() = default;
    ~CCamSimClient();
    CCamSimClient(CCamSimClient&& other) noexcept;
    CCamSimClient& operator=(CCamSimClient&& other) noexcept;
    CCamSimClient(const CCamSimClient&) = delete;
    CCamSimClient& operator=(const CCamSimClient&) = delete;

    // Connects, retrying for up to timeoutMs while the simulator starts.
    bool Connect(const char* host = "198.18.1.2", unsigned short port = 8700, int timeoutMs = 5000);
    bool Connected() const { return m_socket != INVALID_SOCKET; }

    // Sends one command line and returns the reply line without its line end;
    // "" when the connection failed or the reply did not come within 10 s.
    std::string Command(const std::string& line);
    // For "log" and "list": the lines before "end" (or the single "err" line).
    std::vector<std::string> CommandLines(const std::string& line);
    // True when the reply begins with "ok".
    bool Ok(const std::string& line) { return Command(line).rfind("ok", 0) == 0; }

    // The datagrams received since the last "log clear".
    std::vector<CamSimLogEntry> Log();
    bool ClearLog() { return Ok("log clear"); }
    // Polls the log every 50 ms until done(entries) holds or timeoutMs passes; returns the last log.
    std::vector<CamSimLogEntry>
    WaitForLog(const std::function<bool(const std::vector<CamSimLogEntry>&)>& done, int timeoutMs);
    // The camera's current 1088-byte block, empty when there is no such camera.
    std::vector<std::uint8_t> Image(const std::string& idSerial);

    static bool ParseLogLine(const std::string& line, CamSimLogEntry& entry);
    static std::size_t CountType(const std::vector<CamSimLogEntry>& entries, int type);
    // For name=, ssid=, ... values: every byte outside printable ASCII, '%', '=' and space escaped.
    static std::string PercentEncode(const std::string& bytes);

  private:
    std::string ReadLine();
    void Close();

    SOCKET m_socket = INVALID_SOCKET;
    std::string m_input;
};
