#include "module/ReadBack.h"

#include "module/ModuleControl.h"

namespace norva {

int MissingSettings(const ReadBackValues& v) {
    int missing = 0;
    if (v.readMode != v.askedMode) {
        missing |= NOT_STORED_MODE;
    }
    if (v.flowReported && (v.readFlow != 0) != (v.askedFlow != 0)) {
        missing |= NOT_STORED_FLOW;
    }
    return missing;
}

std::string NotStoredText(int missing, const ReadBackValues& v, UiLanguage lang) {
    if ((missing & NOT_STORED_UNREAD) != 0) {
        return LoadString(IDS_APPLY_NOT_CONFIRMED, lang);
    }
    std::string text;
    if ((missing & NOT_STORED_MODE) != 0) {
        text += FormatString(IDS_MODE_NOT_STORED, lang,
                             {std::to_string(v.askedMode), std::to_string(v.readMode)});
        text += "\r\n";
    }
    if ((missing & NOT_STORED_FLOW) != 0) {
        text +=
            LoadString(v.askedFlow != 0 ? IDS_FLOW_ON_NOT_STORED : IDS_FLOW_OFF_NOT_STORED, lang);
        text += "\r\n";
    }
    return text + LoadString(IDS_NOT_STORED_RETRY, lang);
}

std::string NotStoredText(const CModuleControl& m) {
    ReadBackValues v;
    v.askedMode = m.m_nApplyMode.load();
    v.askedFlow = m.m_nApplyFlow.load();
    v.readMode = m.m_info.m_nOpMode.load();
    v.readFlow = m.m_info.m_nFlowControl.load();
    v.flowReported = m.m_info.m_bFlowReported.load();
    return NotStoredText(m.m_nNotStored.load(), v, GetUiLanguage());
}

int CModuleControl::ReadBackApplied() {
    m_nNotStored.store(0);
    const int q = QueryStatus(m_info);
    if (q != 1) {
        if (q == RC_STOPPED || q == RC_DEVICE_GONE) {
            return q;
        }
        // The query turns an abort into "nothing read"; for the job it is
        // still the user's cancel.
        if (LastStatusFailure() == STATUS_INTERRUPTED) {
            return RC_ABORTED;
        }
        m_nNotStored.store(NOT_STORED_UNREAD);
        return RC_NOT_STORED;
    }
    ReadBackValues v;
    v.askedMode = m_nApplyMode.load();
    v.askedFlow = m_nApplyFlow.load();
    v.readMode = m_info.m_nOpMode.load();
    v.readFlow = m_info.m_nFlowControl.load();
    // The short UART form could not carry "off": that case has its own
    // message (m_bFlowNotStored) and is not counted twice.
    v.flowReported = m_info.m_bFlowReported.load() && !m_bFlowNotStored.load();
    int missing = MissingSettings(v);
    if (missing == NOT_STORED_MODE && m_bFlowNotStored.load()) {
        missing |= NOT_STORED_FLOW;
    }
    m_nNotStored.store(missing);
    return missing == 0 ? RC_DONE : RC_NOT_STORED;
}

} // namespace norva
