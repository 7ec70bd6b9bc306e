#include "frontend/SheetAccess.h"
#include "frontend/UartTables.h"
#include "winwizard/Pages.h"
#include "winwizard/ValueLists.h"
#include "winwizard/WinSheet.h"
#include "winwizard/resource.h"

namespace norva::win {

CModePage::CModePage(CWinSheet& sheet, int step, int templateId, int unit, Ids ids)
    : CWinPage(sheet, step, templateId), m_nUnit(unit), m_ids(ids) {}

void CModePage::OnInitDialog() {
    SetBold(IDC_HEADING);
    // The setting dialog's values at this moment, their initial ones, preselect the lists.
    const UnitSetting setting = m_sheet.UnitSettingOf(m_nUnit);
    FillValueList(Item(m_ids.baud), kBaudTexts, kBaudValues, kBaudCount, setting.baud);
    FillValueList(Item(m_ids.parity), kParityTexts, kParityValues, kParityCount, setting.parity);
    FillValueList(Item(m_ids.stopBits), kStopBitTexts, kStopBitValues, kStopBitCount,
                  setting.stopBits);
}

bool CModePage::OnCommand(int id, int code) {
    if (id == m_ids.gate && code == BN_CLICKED) {
        CWinPage::OnSetActive();
        return true;
    }
    return false;
}

int CModePage::OnWizardNext() {
    m_nBaudRate = ListValue(Item(m_ids.baud), kBaudTexts, kBaudValues, kBaudCount);
    m_nParity = ListValue(Item(m_ids.parity), kParityTexts, kParityValues, kParityCount);
    m_nStopBits = ListValue(Item(m_ids.stopBits), kStopBitTexts, kStopBitValues, kStopBitCount);
    m_bFlowControl = Checked(m_ids.noFlow) ? 0 : 1;
    // Back and Next stay off while the sheet stores the settings.
    return HandNextToSheet();
}

} // namespace norva::win
