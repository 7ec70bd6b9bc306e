#include "module/ReadBack.h"

#include "module/Catalogue.h"
#include "module/ModuleControl.h"

namespace norva {

ApplyConfirmation ConfirmApplied(int askedMode, int askedFlow, int readMode, int readFlow,
                                 bool flowReported) {
    ApplyConfirmation c;
    c.statusRead = true;
    c.modeShown = readMode == askedMode;
    c.flowReported = flowReported;
    c.flowShown = flowReported && (readFlow != 0) == (askedFlow != 0);
    return c;
}

std::string UartSettingText(const StoredSettings& s) {
    return std::to_string(s.baud) + "," + (s.parity == 2 ? "E" : "N") + "," +
           (s.stopBits == 2 ? "2" : "1");
}

std::string ModeText(int mode, UiLanguage lang) {
    return (lang == UiLanguage::Korean ? "동작 모드 " : "operation mode ") + std::to_string(mode);
}

std::string FlowText(int flow, UiLanguage lang) {
    if (lang == UiLanguage::Korean) {
        return flow != 0 ? "하드웨어 흐름 제어 켜짐" : "하드웨어 흐름 제어 꺼짐";
    }
    return flow != 0 ? "hardware flow control on" : "hardware flow control off";
}

namespace {

void Append(std::string& list, const std::string& item, UiLanguage lang) {
    if (!list.empty()) {
        list += lang == UiLanguage::Korean ? ", " : " and ";
    }
    list += item;
}

} // namespace

std::string ConfirmationText(const std::string& unit, const StoredSettings& asked,
                             const ApplyConfirmation& c, UiLanguage lang) {
    std::string now;
    // The UART setting never shows in the status line: only opening the port
    // at it after a restart proves it.
    std::string later = "UART " + UartSettingText(asked);
    Append(c.modeShown ? now : later, ModeText(asked.mode, lang), lang);
    Append(c.flowShown ? now : later, FlowText(asked.flow, lang), lang);
    if (!c.statusRead) {
        now = LoadString(IDS_APPLY_STATUS_UNREAD, lang);
    } else if (now.empty()) {
        now = LoadString(IDS_APPLY_NOTHING_SHOWN, lang);
    }
    return FormatString(IDS_APPLY_CONFIRMATION, lang, {unit, now, later});
}

int CModuleControl::ReadBackApplied() {
    m_confirmation.Set({false, false, false, true});
    // A unit that already listens at the new UART setting hears nothing at
    // the old one: one probe finds that out without the status query's long
    // recovery for a silent module.
    const int probe = Probe(catalogue::kQueryStepTimeoutMs);
    if (probe == RC_STOPPED || probe == RC_DEVICE_GONE || probe == RC_ABORTED) {
        return probe;
    }
    if (probe != RC_OK && probe != RC_ERROR) {
        return RC_DONE;
    }
    const int q = QueryStatus(m_info);
    if (q == RC_STOPPED || q == RC_DEVICE_GONE) {
        return q;
    }
    if (!StatusWasRead(q)) {
        // The query turns an abort into "nothing read"; for the job it is
        // still the user's cancel.
        return LastStatusFailure() == STATUS_INTERRUPTED ? RC_ABORTED : RC_DONE;
    }
    const StoredSettings asked = m_apply.Get();
    m_confirmation.Set(ConfirmApplied(asked.mode, asked.flow, m_info.m_nOpMode.load(),
                                      m_info.m_nFlowControl.load(), m_info.m_bFlowReported.load()));
    return RC_DONE;
}

} // namespace norva
