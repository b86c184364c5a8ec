#include "tools/camsim/SimControl.h"

#include "tools/camsim/SimFleet.h"
#include "tools/camsim/SimText.h"

#include <charconv>
#include <cstdio>
#include <vector>

namespace {

std::vector<std::string_view> SplitWords(std::string_view line)
{
    std::vector<std::string_view> words;
    std::size_t pos = 0;
    while (pos < line.size()) {
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
            ++pos;
        std::size_t end = pos;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t')
            ++end;
        if (end > pos)
            words.push_back(line.substr(pos, end - pos));
        pos = end;
    }
    return words;
}

// Applies key=value words from first on; an error text names the word that failed.
std::string ApplySettings(CSimCamera& camera, const std::vector<std::string_view>& words, std::size_t first)
{
    for (std::size_t i = first; i < words.size(); ++i) {
        std::size_t eq = words[i].find('=');
        if (eq == std::string_view::npos)
            return "expected key=value, got " + std::string(words[i]);
        std::string error = camera.Apply(words[i].substr(0, eq), words[i].substr(eq + 1));
        if (!error.empty())
            return std::string(words[i].substr(0, eq)) + ": " + error;
    }
    return {};
}

bool ParseCount(std::string_view text, std::size_t high, std::size_t& out)
{
    std::size_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value > high)
        return false;
    out = value;
    return true;
}

const char HELP[] =
    "commands: reset | fleet default|N | camera id=ID key=value... | set ID|* key=value... | "
    "remove ID | burst on|off | pace MS | answer each|link | log | log clear | log stats | get ID | "
    "list | count | sent | "
    "onvif none|default|N | onvif hostile none|KIND,... | onvif delay MS | onvif hello|bye INDEX|* | onvif "
    "list | "
    "onvif probes | onvif stats | onvif clear | "
    "quit | shutdown";

} // namespace

bool CSimControl::LoadFleet(std::string_view which, std::string& error)
{
    std::size_t count = 0;
    if (which == "default") {
        m_simulator.Cameras() = DefaultFleet();
    } else if (ParseCount(which, MAX_FLEET, count)) {
        m_simulator.Cameras() = GeneratedFleet(count);
    } else {
        error = "fleet is default or a count up to " + std::to_string(MAX_FLEET);
        return false;
    }
    m_simulator.CancelPending();
    return true;
}

std::string CSimControl::Execute(std::string_view line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    const std::vector<std::string_view> words = SplitWords(line);
    if (words.empty())
        return "err empty command\n";
    const std::string_view command = words[0];
    auto& cameras = m_simulator.Cameras();
    std::string error;

    if (command == "help")
        return std::string("ok ") + HELP + "\n";
    if (command == "count")
        return "ok " + std::to_string(cameras.size()) + "\n";
    if (command == "sent")
        return "ok " + std::to_string(m_simulator.RepliesSent()) + "\n";
    if (command == "onvif")
        return ExecuteOnvif(words);
    if (command == "reset") {
        LoadFleet("default", error);
        if (m_pOnvif) {
            LoadOnvifFleet(m_onvifStart, error);
            m_pOnvif->Hostile().clear();
            m_pOnvif->SetMaxDelayMs(CSimOnvif::DEFAULT_MAX_DELAY_MS);
            m_pOnvif->ClearStats();
        }
        m_simulator.SetPaceMicroseconds(CCamSimulator::DEFAULT_PACE_US);
        m_simulator.SetAnswerEach(false);
        m_simulator.ClearLog();
        return "ok " + std::to_string(cameras.size()) + "\n";
    }
    if (command == "fleet" && words.size() == 2) {
        if (!LoadFleet(words[1], error))
            return "err " + error + "\n";
        return "ok " + std::to_string(cameras.size()) + "\n";
    }
    if (command == "camera") {
        // The camera starts from generated values for its position, then takes the given keys.
        std::string id;
        for (std::size_t i = 1; i < words.size(); ++i)
            if (words[i].substr(0, 3) == "id=")
                id = std::string(words[i].substr(3));
        if (id.empty())
            return "err camera needs id=\n";
        CSimCamera* existing = m_simulator.Find(id);
        const std::size_t position =
            existing ? static_cast<std::size_t>(existing - cameras.data()) : cameras.size();
        if (position >= MAX_FLEET)
            return "err the fleet is full\n";
        CSimCamera camera = CSimCamera::Generated(position);
        error = ApplySettings(camera, words, 1);
        if (!error.empty())
            return "err " + error + "\n";
        if (existing)
            *existing = std::move(camera);
        else
            cameras.push_back(std::move(camera));
        return "ok " + PercentEncode(cameras[position].IdSerial()) + "\n";
    }
    if (command == "twin" && words.size() >= 2) {
        // A second camera with the same idSerial (a maker's mistake seen on real sites): a copy of
        // the named camera, then the given keys (a MAC and an address tell the two apart).
        CSimCamera* original = m_simulator.Find(words[1]);
        if (!original)
            return "err no camera " + std::string(words[1]) + "\n";
        if (cameras.size() >= MAX_FLEET)
            return "err the fleet is full\n";
        CSimCamera camera = *original;
        error = ApplySettings(camera, words, 2);
        if (!error.empty())
            return "err " + error + "\n";
        if (!EqualsNoCase(camera.IdSerial(), original->IdSerial()))
            return "err a twin keeps the idSerial\n";
        cameras.push_back(std::move(camera));
        return "ok " + std::to_string(cameras.size()) + "\n";
    }
    if (command == "set" && words.size() >= 3) {
        std::vector<CSimCamera*> targets;
        if (words[1] == "*") {
            for (CSimCamera& camera : cameras)
                targets.push_back(&camera);
        } else if (CSimCamera* camera = m_simulator.Find(words[1])) {
            targets.push_back(camera);
        } else {
            return "err no camera " + std::string(words[1]) + "\n";
        }
        // All or nothing: every target takes the settings on a copy first.
        std::vector<CSimCamera> changed;
        for (CSimCamera* target : targets) {
            changed.push_back(*target);
            error = ApplySettings(changed.back(), words, 2);
            if (!error.empty())
                return "err " + error + "\n";
        }
        for (std::size_t i = 0; i < targets.size(); ++i)
            *targets[i] = std::move(changed[i]);
        return "ok " + std::to_string(targets.size()) + "\n";
    }
    if (command == "remove" && words.size() == 2) {
        CSimCamera* camera = m_simulator.Find(words[1]);
        if (!camera)
            return "err no camera " + std::string(words[1]) + "\n";
        cameras.erase(cameras.begin() + (camera - cameras.data()));
        return "ok " + std::to_string(cameras.size()) + "\n";
    }
    if (command == "burst" && words.size() == 2 && (words[1] == "on" || words[1] == "off")) {
        m_simulator.SetPaceMicroseconds(words[1] == "on" ? 0 : CCamSimulator::DEFAULT_PACE_US);
        return "ok\n";
    }
    if (command == "pace" && words.size() == 2) {
        std::size_t ms = 0;
        if (!ParseCount(words[1], 10000, ms))
            return "err pace is 0 to 10000 ms\n";
        m_simulator.SetPaceMicroseconds(static_cast<int>(ms) * 1000);
        return "ok\n";
    }
    if (command == "log" && words.size() == 1) {
        std::string out;
        for (const std::string& entry : m_simulator.LogLines())
            out += entry + "\n";
        return out + "end\n";
    }
    if (command == "log" && words.size() == 2 && words[1] == "stats") {
        const CCamSimulator::Tally& tally = m_simulator.LogTally();
        char times[128];
        std::snprintf(times, sizeof times, " first_get=%.6f last_get=%.6f last_ack=%.6f", tally.firstRequest,
                      tally.lastRequest, tally.lastAck);
        return "ok received=" + std::to_string(tally.received) + " get=" + std::to_string(tally.requests) +
               " ack=" + std::to_string(tally.acks) + " acked_ids=" + std::to_string(tally.ackedIds.size()) +
               " sent=" + std::to_string(m_simulator.RepliesSent()) + times + "\n";
    }
    if (command == "answer" && words.size() == 2 && (words[1] == "each" || words[1] == "link")) {
        m_simulator.SetAnswerEach(words[1] == "each");
        return "ok\n";
    }
    if (command == "log" && words.size() == 2 && words[1] == "clear") {
        m_simulator.ClearLog();
        return "ok\n";
    }
    if (command == "get" && words.size() == 2) {
        CSimCamera* camera = m_simulator.Find(words[1]);
        if (!camera)
            return "err no camera " + std::string(words[1]) + "\n";
        return "ok " + HexEncode(&camera->Image(), MESSAGE_SIZE) + "\n";
    }
    if (command == "list" && words.size() == 1) {
        std::string out;
        for (const CSimCamera& camera : cameras)
            out += camera.Describe() + "\n";
        return out + "end\n";
    }
    if (command == "quit") {
        m_bClose = true;
        return "ok bye\n";
    }
    if (command == "shutdown") {
        m_bShutdown = true;
        return "ok\n";
    }
    return "err unknown or malformed command: " + std::string(line.substr(0, 80)) + " (" + HELP + ")\n";
}

bool CSimControl::AttachOnvif(CSimOnvif& onvif, std::string_view startFleet, std::string& error)
{
    m_pOnvif = &onvif;
    m_onvifStart = std::string(startFleet);
    return LoadOnvifFleet(startFleet, error);
}

bool CSimControl::LoadOnvifFleet(std::string_view which, std::string& error)
{
    std::size_t count = 0;
    if (which == "none")
        m_pOnvif->Devices().clear();
    else if (which == "default")
        m_pOnvif->Devices() = DefaultOnvifFleet();
    else if (ParseCount(which, MAX_ONVIF_FLEET, count))
        m_pOnvif->Devices() = GeneratedOnvifFleet(count);
    else {
        error = "onvif fleet is none, default or a count up to " + std::to_string(MAX_ONVIF_FLEET);
        return false;
    }
    return true;
}

std::string CSimControl::ExecuteOnvif(const std::vector<std::string_view>& words)
{
    if (!m_pOnvif)
        return "err no onvif devices here\n";
    std::string error;
    const std::string_view verb = words.size() > 1 ? words[1] : std::string_view();
    auto& devices = m_pOnvif->Devices();
    if (words.size() == 2 && verb == "list") {
        std::string out;
        for (const SimOnvifDevice& device : devices)
            out += DescribeOnvifDevice(device) + "\n";
        return out + "end\n";
    }
    if (words.size() == 2 && verb == "probes") {
        std::string out;
        for (const CSimOnvif::ProbeSeen& probe : m_pOnvif->Probes())
            out +=
                "id=" + probe.messageId + " from=" + FormatIpv4(probe.sender) + " if=" + probe.device + "\n";
        return out + "end\n";
    }
    if (words.size() == 2 && verb == "stats")
        return "ok probes=" + std::to_string(m_pOnvif->Probes().size()) +
               " matches=" + std::to_string(m_pOnvif->MatchesSent()) +
               " devices=" + std::to_string(devices.size()) + "\n";
    if (words.size() == 2 && verb == "clear") {
        m_pOnvif->ClearStats();
        return "ok\n";
    }
    if (words.size() == 3 && verb == "hostile") {
        std::set<SimOnvifHostile> kinds;
        std::string_view list = words[2];
        while (list != "none" && !list.empty()) {
            const std::size_t comma = list.find(',');
            const auto kind = ParseOnvifHostile(list.substr(0, comma));
            if (!kind)
                return "err unknown hostile kind " + std::string(list.substr(0, comma)) +
                       " (malformed oversized nested laughs external wrongns badutf8 stale)\n";
            kinds.insert(*kind);
            list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
        }
        m_pOnvif->Hostile() = kinds;
        return "ok " + std::to_string(kinds.size()) + "\n";
    }
    if (words.size() == 3 && verb == "delay") {
        std::size_t ms = 0;
        if (!ParseCount(words[2], 5000, ms))
            return "err onvif delay is 0 to 5000 ms\n";
        m_pOnvif->SetMaxDelayMs(static_cast<int>(ms));
        return "ok\n";
    }
    if (words.size() == 3 && (verb == "hello" || verb == "bye")) {
        std::size_t index = 0;
        if (words[2] != "*" && (!ParseCount(words[2], devices.size(), index) || index == 0))
            return "err onvif " + std::string(verb) + " takes a device number 1-" +
                   std::to_string(devices.size()) + " or *\n";
        const long which = words[2] == "*" ? -1 : static_cast<long>(index - 1);
        const std::size_t sent = verb == "hello" ? m_pOnvif->SendHello(which) : m_pOnvif->SendBye(which);
        return "ok " + std::to_string(sent) + "\n";
    }
    if (words.size() == 2 && LoadOnvifFleet(verb, error)) {
        m_pOnvif->SetMaxDelayMs(m_pOnvif->MaxDelayMs()); // answers of the old fleet are dropped
        return "ok " + std::to_string(devices.size()) + "\n";
    }
    return "err " + (error.empty() ? std::string("malformed onvif command") : error) + " (" + HELP + ")\n";
}
