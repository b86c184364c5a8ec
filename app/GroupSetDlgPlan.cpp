// The group dialog's site plan in ("Import Plan...") and its results out ("Export Results...").
//
// A plan fills the cells of the cameras it names, in the plan's colour, checks those rows and
// unchecks the others; the planned addresses then get the marks "Apply" gives computed ones.
// The pass sends a row's address, gateway and name, never a mask of its own: a plan that would
// change a listed camera's mask is refused whole, naming the cameras (their masks are changed
// one by one in "编辑 ...").
#include "app/GroupSetDlg.h"

#include "app/CameraRows.h"
#include "app/SettingsText.h"
#include "app/SitePlan.h"
#include "app/resource.h"
#include "base/Ipv4Text.h"
#include "base/TextConvert.h"
#include "base/UniqueHandle.h"
#include "controls/MyListCtrl.h"

#include <commdlg.h>

#include <array>
#include <cstdio>

namespace {

// At most this many of a plan's errors (or keys) in one box.
constexpr std::size_t BOX_LINES = 12;

std::wstring Lines(const std::vector<std::wstring>& items, bool bChinese)
{
    std::wstring text;
    for (std::size_t i = 0; i < items.size() && i < BOX_LINES; ++i)
        text += L"\n" + items[i];
    if (items.size() > BOX_LINES) {
        wchar_t more[64];
        std::swprintf(more, 64, bChinese ? L"\n…… 另有 %d 项" : L"\n... and %d more",
                      static_cast<int>(items.size() - BOX_LINES));
        text += more;
    }
    return text;
}

std::wstring AnsiWide(const std::string& text)
{
    const wchar_t* wide = TextAnsiToWide(text.c_str());
    return wide ? wide : L"";
}

std::wstring Utf8FieldText(const char (&field)[20])
{
    const wchar_t* wide = TextUtf8ToWide(ReadTextField(field).c_str());
    return wide ? wide : L"";
}

} // namespace

std::wstring CGroupSetDlg::ChooseFile(bool bSave)
{
    if (m_chooseFile)
        return m_chooseFile(bSave);
    wchar_t file[MAX_PATH] = {};
    if (bSave)
        wcscpy_s(file, L"results.csv");
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_hWnd;
    ofn.lpstrFilter = L"CSV (*.csv)\0*.csv\0*.*\0*.*\0\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrDefExt = L"csv";
    ofn.Flags = OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | (bSave ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    const BOOL bChosen = bSave ? ::GetSaveFileNameW(&ofn) : ::GetOpenFileNameW(&ofn);
    return bChosen ? file : L"";
}

void CGroupSetDlg::ClearPlanColours()
{
    m_planned.clear();
    if (!m_pList || !m_pList->m_hWnd)
        return;
    const int count = m_pList->GetItemCount();
    for (int nRow = 0; nRow < count; ++nRow)
        for (const int nCol : {1, 2, 3}) // only those that hold it: a large list stays unmarked
            if (m_pList->GetCellTextColor(nRow, nCol) == PLAN_TEXT)
                m_pList->SetCellTextColor(nRow, nCol, m_pList->GetCellTextColor(nRow, 0));
    m_pList->Invalidate();
}

void CGroupSetDlg::OnCellEdited(int nRow, int nCol)
{
    const auto planned = m_planned.find({nRow, nCol});
    if (planned == m_planned.end() || m_pList->GetCellTextColor(nRow, nCol) != PLAN_TEXT ||
        m_pList->GetItemText(nRow, nCol) == planned->second)
        return;
    m_pList->SetCellTextColor(nRow, nCol, m_pList->GetCellTextColor(nRow, 0));
    m_pList->Invalidate();
}

void CGroupSetDlg::ImportPlan()
{
    if (!m_pList)
        return;
    const std::wstring path = ChooseFile(false);
    if (path.empty())
        return;
    CSitePlan plan;
    if (!plan.ReadFile(path, GetLangId())) {
        const bool bChinese = GetLangId() == 0;
        Warn((bChinese ? L"计划文件有错误，未填写任何内容：" : L"The plan has errors; nothing was filled:") +
             Lines(plan.Errors(), bChinese));
        return;
    }
    FillFromPlan(plan);
}

void CGroupSetDlg::FillFromPlan(const CSitePlan& plan)
{
    const bool bChinese = GetLangId() == 0;
    const int count = m_pList->GetItemCount();
    std::vector<const CSitePlan::Row*> planned(static_cast<std::size_t>(count), nullptr);
    std::vector<bool> bFound(plan.Rows().size(), false);
    std::vector<std::wstring> maskChanges;
    for (int nRow = 0; nRow < count; ++nRow) {
        const auto* pRecord = reinterpret_cast<const DeviceRecord*>(m_pList->GetItemData(nRow));
        const CSitePlan::Row* pRow = pRecord ? plan.Find(*pRecord) : nullptr;
        if (!pRow)
            continue;
        planned[static_cast<std::size_t>(nRow)] = pRow;
        bFound[static_cast<std::size_t>(pRow - plan.Rows().data())] = true;
        if (pRow->mask && ParseIpv4(ReadTextField(pRecord->message.lanMask)) != pRow->mask)
            maskChanges.push_back(pRow->key);
    }
    if (!maskChanges.empty()) {
        Warn((bChinese
                  ? L"批量设置不能修改掩码，计划中这些设备的掩码与当前不同，未填写任何内容"
                    L"（请用“编辑 ...”逐台修改掩码）："
                  : L"A group pass cannot change masks, and the plan gives these cameras another "
                    L"mask; nothing was filled (change masks one by one with \"Modify By Single...\"):") +
             Lines(maskChanges, bChinese));
        return;
    }

    ClearPlanColours();
    std::vector<bool> filled(static_cast<std::size_t>(count), false);
    std::set<std::uint32_t> gateways;
    for (int nRow = 0; nRow < count; ++nRow) {
        const CSitePlan::Row* pRow = planned[static_cast<std::size_t>(nRow)];
        m_pList->SetCheck(nRow, pRow != nullptr);
        if (!pRow)
            continue;
        auto fill = [&](int nCol, const std::wstring& text) {
            m_pList->SetItemText(nRow, nCol, text.c_str());
            m_pList->SetCellTextColor(nRow, nCol, PLAN_TEXT);
            m_planned[{nRow, nCol}] = text;
        };
        if (pRow->ip) {
            fill(1, FormatIpv4Wide(*pRow->ip));
            filled[static_cast<std::size_t>(nRow)] = true;
        }
        if (pRow->gateway) {
            fill(2, FormatIpv4Wide(*pRow->gateway));
            gateways.insert(*pRow->gateway);
        }
        if (pRow->name)
            fill(3, *pRow->name);
    }
    // The same marks as "Apply" gives, and the same question to the network; a planned address
    // that is not taken stays the plan's.
    std::vector<int> filledRows;
    for (int nRow = 0; nRow < count; ++nRow)
        if (filled[static_cast<std::size_t>(nRow)])
            filledRows.push_back(nRow);
    m_marks.ProbeRows(filledRows); // answers come later, as the probe's message
    const int conflicts = MarkAddressConflicts(filled, gateways);
    for (int nRow = 0; nRow < count; ++nRow)
        if (filled[static_cast<std::size_t>(nRow)] && m_pList->GetCellTextColor(nRow, 1) != CONFLICT_TEXT)
            m_pList->SetCellTextColor(nRow, 1, PLAN_TEXT);
    m_marks.Repaint();
    m_pList->Invalidate();

    std::vector<std::wstring> missing;
    for (std::size_t i = 0; i < plan.Rows().size(); ++i)
        if (!bFound[i])
            missing.push_back(plan.Rows()[i].key);
    if (!missing.empty()) {
        wchar_t head[128];
        std::swprintf(head, 128,
                      bChinese ? L"计划中有 %d 台设备未找到" : L"%d device(s) in the plan were not found",
                      static_cast<int>(missing.size()));
        Warn(head + std::wstring(bChinese ? L"：" : L":") + Lines(missing, bChinese));
    }
    WarnConflicts(conflicts);
}

std::string CGroupSetDlg::ResultsCsv(int nLangId) const
{
    const bool bChinese = nLangId == 0;
    std::wstring text;
    auto line = [&text](const std::array<std::wstring, 10>& cells) {
        for (std::size_t c = 0; c < cells.size(); ++c)
            text += (c ? L"," : L"") + CCameraRows::CsvField(cells[c]);
        text += L"\r\n";
    };
    if (bChinese)
        line({L"序列号", L"MAC地址", L"原IP地址", L"原网关", L"原名称", L"发送的IP地址", L"发送的网关",
              L"发送的名称", L"状态", L"状态时间"});
    else
        line({L"Serial", L"MAC Address", L"Old IP Address", L"Old Gateway", L"Old Name", L"Sent IP Address",
              L"Sent Gateway", L"Sent Name", L"Status", L"Status Time"});
    const int count = m_pList && m_pList->m_hWnd ? m_pList->GetItemCount() : 0;
    for (int nRow = 0; nRow < count; ++nRow) {
        const auto* pRecord = reinterpret_cast<const DeviceRecord*>(m_pList->GetItemData(nRow));
        if (!pRecord)
            continue;
        const std::string idSerial = ReadTextField(pRecord->message.idSerial);
        const CChangeLog::Change* pChange = m_log.Find(idSerial);
        // A camera sent to shows what it had before; its copy now holds what was sent.
        const DeviceRecord& old = pChange ? pChange->before : *pRecord;
        const WireMessage& m = old.message;
        std::array<std::wstring, 10> cells = {
            WideFieldText(pRecord->message.idSerial),
            AnsiWide(FormatMac(old.netType == 1 ? m.wifiMac : m.lanMac)),
            WideFieldText(m.lanIp),
            WideFieldText(m.lanGateway),
            WideFieldText(m.name),
        };
        if (pChange) {
            cells[5] = WideFieldText(pChange->sent.lanIp);
            cells[6] = WideFieldText(pChange->sent.lanGateway);
            cells[7] = Utf8FieldText(pChange->sent.name);
            const CChangeCheck::Entry* pEntry = m_check.Find(idSerial);
            cells[8] = pEntry ? CChangeCheck::StateText(*pEntry, nLangId) : pChange->status;
            cells[9] = CChangeLog::TimeText(pChange->statusTime);
        }
        line(cells);
    }
    const char* utf8 = TextWideToUtf8(text.c_str());
    return "\xEF\xBB\xBF" + std::string(utf8 ? utf8 : "");
}

void CGroupSetDlg::ExportResults()
{
    const std::wstring path = ChooseFile(true);
    if (path.empty())
        return;
    const std::string csv = ResultsCsv(GetLangId());
    bool bOk = false;
    {
        CUniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        bOk = file &&
              ::WriteFile(file.Get(), csv.data(), static_cast<DWORD>(csv.size()), &written, nullptr) &&
              written == csv.size();
    }
    if (!bOk) {
        ::DeleteFileW(path.c_str()); // no half-written file left behind
        Warn((GetLangId() == 0 ? L"无法写入文件：" : L"Cannot write the file: ") + path);
    }
}
