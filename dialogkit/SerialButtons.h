#pragma once
// CSerialButtons: six buttons per set whose clicks open a pop-up of choices (port, baud rate,
// parity, data bits, stop bits, flow control). The buttons only store and show the chosen
// indices; opening a port with them is the caller's business. Group -1 is the single set;
// groups 0..GROUPS-1 are saved to "COMGroupSetting.ini", "COMSet%d".

#include <windows.h>

#include <string>
#include <vector>

class CMyDialog;

class CSerialButtons {
  public:
    static constexpr int FIELDS = 6;
    static constexpr int GROUPS = 32;

    explicit CSerialButtons(CMyDialog& dlg) : m_dlg(dlg) {}
    CSerialButtons(const CSerialButtons&) = delete;
    CSerialButtons& operator=(const CSerialButtons&) = delete;

    // The six button ids (0 = none) of a set; pIds null clears them.
    void SetButtons(int nGroup, const int* pIds);
    int GetButton(int nGroup, int nField) const;
    // The baud field also takes a rate (above 110), stored as its entry. Writes the button's text.
    // Returns the entry marked now, -1 when the value is beyond the field's choices.
    int SetChoice(int nGroup, int nField, int nChoice);
    int GetChoice(int nGroup, int nField) const;
    void LoadGroup(int nGroup);
    void SetMaxPort(int nMaxPort);
    int ShowChoices(int nGroup, int nField, BOOL bPopup);
    const std::vector<std::wstring>& GetChoiceList() const { return m_lstChoices; }
    static std::wstring SettingsFileName();

    // A click on a serial button (opens its pop-up) or a pop-up entry; false for anything else.
    bool OnCommand(int nID);
    // The cursor over a serial button.
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  private:
    struct SerialSet {
        int nButtons[FIELDS] = {};
        int nChoices[FIELDS] = {0, 6, 0, 2, 0, 2};
    };
    SerialSet* FindSet(int nGroup);
    const SerialSet* FindSet(int nGroup) const;
    // The set and field whose button has this id (group search 0 to 31 after the single set).
    bool FindButton(int nID, int& nGroup, int& nField) const;
    void OnChoiceChosen(int nEntry);

    CMyDialog& m_dlg;
    SerialSet m_single;
    SerialSet m_groups[GROUPS];
    int m_nMaxPort = 32;
    std::vector<std::wstring> m_lstChoices;
    int m_nChoiceGroup = -1;
    int m_nChoiceField = -1;
};
