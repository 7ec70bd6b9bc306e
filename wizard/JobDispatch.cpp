// The sheet's message handlers: the pairing flow decides, the sheet's view
// shows it with the pages.

#include "wizard/SerialSheet.h"

namespace norva {

void CSerialSheet::AdvanceAfterJob(int code) {
    if (!m_bDestroyed && m_pModule) {
        m_flow.AdvanceAfterJob(code);
    }
}

int CSerialSheet::OnJobResult(int code, int jobId) {
    if (!m_bDestroyed && m_pModule) {
        m_flow.OnJobResult(code, jobId);
    }
    return 0;
}

int CSerialSheet::OnPageNext(CPropertyPage* page) {
    if (m_pModule && page != nullptr) {
        m_flow.Next(GetPageIndex(page));
    }
    return 0;
}

int CSerialSheet::OnSearchControl(int start, CPropertyPage* /*page*/) {
    m_flow.SearchControl(start != 0);
    return 0;
}

int CSerialSheet::OnConnectControl(int connect, CPropertyPage* /*page*/) {
    m_flow.ConnectControl(connect != 0);
    return 0;
}

} // namespace norva
