#pragma once
// Fixture of the group settings dialog tests: one shown dialog for the suite, rows loaded from
// records, the rows' check boxes and cells read back, and a pass run to its end.

#include "SettingsTestSupport.h"

#include "app/GroupSetDlg.h"
#include "app/resource.h"
#include "controls/MyListCtrl.h"

#include <commctrl.h>

#include <set>
#include <string>
#include <vector>

class CGroupSetDlgTest : public CSettingsDlgTest<CGroupSetDlg> {
  protected:
    static void SetUpTestSuite()
    {
        CSettingsDlgTest::SetUpTestSuite();
        s_pDlg->ShowDialog(1); // the in-place editor needs a shown list
    }
    void SetUp() override
    {
        CSettingsDlgTest::SetUp();
        for (int nID : {IDC_GRP_ONLY_CHECKED, IDC_GRP_KEEP_IP, IDC_GRP_KEEP_NAME})
            ::CheckDlgButton(Dlg(), nID, BST_UNCHECKED);
        Type(IDC_GRP_STEP, L"1");
        // The checks of an earlier test's passes would keep their cameras' copies on reloading.
        s_pDlg->GetChangeCheck().Cancel();
        Pump();
    }

    HWND List() const { return ::GetDlgItem(Dlg(), IDC_GRP_LIST); }
    int Rows() const { return static_cast<int>(::SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0)); }
    bool Checked(int nRow) const
    {
        return ((::SendMessageW(List(), LVM_GETITEMSTATE, nRow, LVIS_STATEIMAGEMASK) & LVIS_STATEIMAGEMASK) >>
                12) == 2;
    }
    void SetChecked(int nRow, bool bOn) const
    {
        LVITEMW item{};
        item.stateMask = LVIS_STATEIMAGEMASK;
        item.state = INDEXTOSTATEIMAGEMASK(bOn ? 2 : 1);
        ::SendMessageW(List(), LVM_SETITEMSTATE, nRow, reinterpret_cast<LPARAM>(&item));
    }
    std::vector<std::wstring> Cells(int nRow) const
    {
        return {CellText(List(), nRow, 0), CellText(List(), nRow, 1), CellText(List(), nRow, 2),
                CellText(List(), nRow, 3)};
    }

    void Load(const std::vector<DeviceRecord>& records)
    {
        std::vector<const DeviceRecord*> pointers;
        for (const DeviceRecord& record : records)
            pointers.push_back(&record);
        s_pDlg->LoadDevices(pointers);
    }

    // "Set for All checked", pumping until the worker's pass ends. Returns the texts of the
    // completion boxes; the titles the dialog showed meanwhile go to `titles`.
    std::vector<std::wstring> SendAll(const wchar_t* caption = L"提示",
                                      std::set<std::wstring>* titles = nullptr)
    {
        EXPECT_TRUE(m_sim.ClearLog());
        CMessageBoxCatcher boxes(Dlg(), caption);
        const int passes = s_pDlg->GetFinishedPasses();
        Command(IDC_GRP_SEND);
        EXPECT_TRUE(PumpUntil(
            [&] {
                if (titles)
                    titles->insert(TextOf(Dlg()));
                return s_pDlg->GetFinishedPasses() > passes;
            },
            20000));
        Pump();
        return boxes.Texts();
    }

    static const DeviceRecord& ById(const std::vector<DeviceRecord>& records, const std::string& id)
    {
        for (const DeviceRecord& record : records)
            if (ReadTextField(record.message.idSerial) == id)
                return record;
        ADD_FAILURE() << "no record " << id;
        return records.front();
    }
};
