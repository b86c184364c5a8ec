#pragma once
// CChangeLog: every change the tool sends, appended to a CSV file beside the executable
// ("Larkvane-changes.csv": time, computer, serial, MAC, fields before, fields sent, status).
//
// A camera's change gets two lines: one when its message leaves ("已发送"/"Sent") and one when
// its change check ends (the final status). So a program killed in the middle of a group pass
// still leaves a line for every camera it sent to.
//
// The file is an installer's record, so nothing may break it: each line goes out in one WriteFile
// on a handle opened for that line alone, the file is only ever appended to, a last line torn by
// a crash gets its line break before the next line, and a write that does not go out whole (a
// full disk) is cut back to the size the file had before, so earlier lines are never touched and
// no half line stays. A write that fails is reported as a result; the send goes on.
//
// It also keeps, for the window that owns it, each camera's last change (what was sent, before
// and after, and its status with the time of that status): the group dialog exports them.
// Window thread only, apart from the file, which any number of logs and processes may append to.

#include "app/ChangeCheck.h"
#include "protocol/WireMessage.h"

#include <windows.h>

#include <functional>
#include <map>
#include <string>

class CChangeLog {
  public:
    static constexpr const wchar_t* FILE_NAME = L"Larkvane-changes.csv";

    struct Change {
        std::string idSerial;
        DeviceRecord before{};
        WireMessage sent{};
        unsigned fields = 0;
        std::wstring status;
        SYSTEMTIME statusTime{}; // local time
        bool bFinal = false;
    };

    CChangeLog();
    // The file beside the executable, and its folder.
    static std::wstring DefaultPath();
    static std::wstring FolderOf(const std::wstring& path);
    void SetPath(const std::wstring& path) { m_path = path; }
    const std::wstring& GetPath() const { return m_path; }

    // A message has been sent to the camera that `before` describes: a "Sent" line.
    bool Sent(const DeviceRecord& before, const WireMessage& sent, unsigned fields, int nLangId);
    // The change check's news of a camera: the status is kept with its time, and a check that has
    // ended adds the final line.
    bool StatusChanged(const CChangeCheck::Entry& entry, int nLangId);
    // The camera's last change, or null.
    const Change* Find(const std::string& idSerial) const;

    // Appends one line (CSV cells, no line break): the heading first when the file is new, a line
    // break first when its last line is torn. False when it was not written whole; the file is
    // then as it was.
    bool AppendLine(const std::wstring& line);
    // Tests put a full disk here.
    using Writer = std::function<BOOL(HANDLE, const void*, DWORD, DWORD*)>;
    void SetWriter(Writer writer) { m_writer = std::move(writer); }

    // "2026-12-11 09:30:05".
    static std::wstring TimeText(const SYSTEMTIME& time);
    // The fields of a change as one cell: "IP=…; Gateway=…; Name=…". The fields of `fields` that
    // differ between the two, and the address, gateway and name whenever they are among them.
    static std::wstring FieldsText(const WireMessage& values, const WireMessage& other, unsigned fields,
                                   bool bWireName);
    static std::wstring HeadingLine();
    // This computer's name (GetComputerNameW: nothing is looked up).
    static std::wstring ComputerName();

  private:
    bool WriteLine(const Change& change);

    std::wstring m_path;
    Writer m_writer;
    std::map<std::string, Change> m_changes; // by idSerial, lower case
};
