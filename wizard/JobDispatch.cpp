// The sheet's decision table for finished module jobs: which page comes
// next, what the user is told and which job runs after.

#include "module/Catalogue.h"
#include "module/ModuleControl.h"
#include "pages/Connection.h"
#include "pages/First.h"
#include "pages/Mode.h"
#include "pages/ModeSuccess.h"
#include "pages/Scan.h"
#include "pages/ScanWait.h"
#include "pages/Search.h"
#include "pages/Success.h"
#include "res/strings/StringTable.h"
#include "wizard/MessageService.h"
#include "wizard/Messages.h"
#include "wizard/QtModuleHost.h"
#include "wizard/SerialSheet.h"

#include <QThread>
#include <cctype>

namespace norva {
namespace {

// A message box runs a nested event loop; the sheet may close inside it.
bool Say(const CSerialSheet& sheet, const std::string& text) {
    if (sheet.Host() != nullptr) {
        sheet.Host()->WithBannersHidden([&text] { ShowMessage(text); });
    } else {
        ShowMessage(text);
    }
    return !sheet.Destroyed() && sheet.Module() != nullptr;
}

} // namespace

bool SameAddress(const std::string& a, const std::string& b) {
    auto plain = [](const std::string& text) {
        std::string out;
        for (char c : text) {
            if (c != ':' && c != '-' && c != ' ') {
                out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            }
        }
        return out;
    };
    const std::string pa = plain(a);
    return !pa.empty() && pa == plain(b);
}

void CSerialSheet::AdvanceAfterJob(int code) {
    CPropertyPage* active = GetActivePage();
    if (active == m_pageFirst && code == JOB_STATUS) {
        m_strUnit1Address = m_pModule->m_info.Address();
        SetActivePage(m_pageScan);
    } else if (active == m_pageScan && code == JOB_SCAN) {
        SetActivePage(m_pageScanWait);
    } else if (active == m_pageScanWait && code == JOB_STATUS) {
        m_strUnit2Address = m_pModule->m_info.Address();
        SetActivePage(m_pageSearch);
    } else if (active == m_pageConnection && code == JOB_STATUS) {
        // A failed attempt was followed by a check: the user may search or
        // connect again at once.
        m_pageConnection->EnableConnectButtons();
        PostWizardButtons(PSWIZB_BACK);
    } else if ((active == m_pageMode || active == m_pageMode1) && code == JOB_STATUS) {
        // The unit is idle in command mode now (checked, or its link hung up
        // or dropped): store the settings, but not for ever.
        if (m_nApplyReruns >= kMaxApplyReruns) {
            if (Say(*this, LoadString(IDS_APPLY_NOT_CONFIRMED))) {
                PostWizardButtons(PSWIZB_NEXT);
            }
            return;
        }
        ++m_nApplyReruns;
        m_pModule->SignalJob(EV_APPLY);
    }
}

bool CSerialSheet::WrongUnitOnCable() {
    CPropertyPage* active = GetActivePage();
    const std::string address = m_pModule->m_info.Address();
    std::string text;
    if (active == m_pageScanWait && SameAddress(address, m_strUnit1Address)) {
        text = FormatString(IDS_UNIT1_AGAIN, {address});
    } else if (active == m_pageMode1 && !m_strUnit1Address.empty() &&
               !SameAddress(address, m_strUnit1Address)) {
        text = FormatString(IDS_NOT_UNIT1, {address, m_strUnit1Address});
    } else {
        return false;
    }
    if (Say(*this, text)) {
        m_pModule->ClosePort();
        OfferRetry();
    }
    return true;
}

void CSerialSheet::OfferRetry() {
    CPropertyPage* active = GetActivePage();
    if (active == m_pageConnection) {
        // Search and Connect reopen unit 2's port.
        m_pageConnection->m_connectingDlg.EndDialog(3);
        if (m_pageConnection->m_bSearching != 0) {
            m_pageConnection->EndSearchDisplay();
        }
        m_pageConnection->EnableConnectButtons();
        PostWizardButtons(PSWIZB_BACK);
    } else {
        PostWizardButtons(PSWIZB_NEXT);
    }
}

void CSerialSheet::OnDeviceGone(int /*jobId*/) {
    CModuleControl& module = *m_pModule;
    const std::string reason = module.m_port.GoneReason();
    module.SetLinkState(LINK_DISCONNECTING);
    // Nothing is under way any more: no dialog or animation may go on as if.
    m_pageConnection->m_connectingDlg.EndDialog(3);
    if (m_pageConnection->m_bSearching != 0) {
        m_pageConnection->EndSearchDisplay();
    }
    module.ClosePort();
    if (!Say(*this, FormatString(IDS_DEVICE_GONE, {reason}))) {
        return;
    }
    OfferRetry();
}

int CSerialSheet::OnJobResult(int code, int jobId) {
    if (m_bDestroyed || !m_pModule) {
        return 0;
    }
    CModuleControl& module = *m_pModule;
    CConnectingDlg& connecting = m_pageConnection->m_connectingDlg;

    if (code == RC_DEVICE_GONE) {
        // Reported once: the port is closed with it, so no later job can
        // find the device gone again.
        OnDeviceGone(jobId);
        return 0;
    }

    switch (jobId) {
    case JOB_CONNECT:
        if (code == RC_STOPPED) {
            break;
        }
        if (code == RC_ABORTED) {
            module.SignalJob(EV_CANCEL_CMD);
        } else if (code == RC_CONNECTED) {
            module.SetLinkState(LINK_CONNECTED);
            m_pageConnection->OnConnected();
            OnPageNext(m_pageConnection);
        } else if (code == RC_ERROR_AFTER_OK || code == RC_TIMEOUT) {
            // A time-out means nothing is under way any more: the dialog must
            // not keep spinning until the user cancels an attempt long over.
            connecting.EndDialog(2);
            if (!Say(*this, LoadString(IDS_CONNECT_TIMEOUT))) {
                return 0;
            }
            module.SignalJob(EV_STATUS);
        } else if (code == RC_ERROR || code == RC_OVERFLOW) {
            // An overflowing reply ended the attempt just the same.
            connecting.EndDialog(3);
            if (!Say(*this, LoadString(IDS_CONNECT_FAILED))) {
                return 0;
            }
            module.SignalJob(EV_STATUS);
        } else {
            module.SignalJob(EV_STATUS);
        }
        break;

    case JOB_DISCONNECT:
        if (code == RC_DISCONNECTED) {
            if (!Say(*this, LoadString(IDS_DISCONNECTED))) {
                return 0;
            }
            module.SetLinkState(LINK_STANDBY);
            module.SignalJob(module.m_nCurOp.load() == OP_APPLY_AGAIN ? EV_APPLY : EV_STATUS);
        } else if (code != RC_STOPPED) {
            // No DISCONNECT came (a link that had dropped already answers
            // the hang-up with ERROR): the check tells how to go on.
            module.SignalJob(EV_STATUS);
        }
        break;

    case JOB_RESET:
        if (code == RC_ERROR) {
            if (!Say(*this, LoadString(IDS_RESET_FAILED))) {
                return 0;
            }
            module.SignalJob(EV_STATUS);
        } else if (code == RC_OK || code == RC_DONE) {
            if (!Say(*this, LoadString(IDS_SETTING_FINISHED))) {
                return 0;
            }
            module.ClosePort();
        }
        break;

    case JOB_ESCAPE:
        if (code != RC_STOPPED && code != RC_OK) {
            module.SignalJob(EV_STATUS);
        }
        break;

    case JOB_STATUS: {
        if (code == RC_STOPPED) {
            break;
        }
        // The query reports 1 for a status read. A time-out, abort or
        // overflow read nothing either: the fields are stale, and moving on
        // from them could leave the wrong module unchecked.
        if (code == 0 || code == RC_TIMEOUT || code == RC_ABORTED || code == RC_OVERFLOW) {
            module.SetLinkState(LINK_DISCONNECTING);
            if (!Say(*this, LoadString(IDS_COMM_FAILED))) {
                return 0;
            }
            module.ClosePort();
            OfferRetry();
            break;
        }
        if (WrongUnitOnCable()) {
            break;
        }
        const int link = module.m_info.m_nLinkState.load();
        if (link == LINK_CONNECTED && GetActivePage() == m_pageScanWait) {
            // A pair configured before: unit 2, powered at step 3 while unit
            // 1 is discoverable, has linked to it by itself. That is the
            // connection steps 4 and 5 would make; hanging it up would leave
            // unit 1 no longer connectable. Back to data mode, and on.
            module.ReturnOnline();
            module.SetLinkState(LINK_CONNECTED);
            SetActivePage(m_pageSuccess);
        } else if (link == LINK_CONNECTED) {
            module.ReturnOnline();
            QThread::msleep(100);
            module.SignalJob(EV_DISCONNECT);
        } else if (link == LINK_PENDING) {
            module.m_nCurOp.store(OP_STATUS);
            module.SignalJob(EV_CANCEL_CMD);
        } else {
            const int op = module.m_nCurOp.load();
            if (op == OP_SCAN || op == OP_INQUIRY) {
                module.m_nCurOp.store(OP_NONE);
            }
            if (link == LINK_STANDBY) {
                if (module.m_info.m_nOpMode.load() != 0) {
                    // The worker is idle after a status job; its result does
                    // not matter, the apply steps set the mode again.
                    module.SetOpMode(catalogue::kSheetSetModeTimeoutMs, 0);
                }
                AdvanceAfterJob(JOB_STATUS);
            }
        }
        break;
    }

    case JOB_CANCEL_CMD: {
        if (code == RC_STOPPED) {
            break;
        }
        if (code != RC_OK) {
            module.SignalJob(EV_STATUS);
            break;
        }
        const int op = module.m_nCurOp.load();
        if (op != OP_INQUIRY && op != OP_SCAN && op != OP_CONNECT && op != OP_STATUS) {
            break;
        }
        module.SetLinkState(LINK_STANDBY);
        module.m_nCurOp.store(OP_NONE);
        if (op == OP_INQUIRY) {
            m_pageConnection->EndSearchDisplay();
        } else if (op == OP_CONNECT) {
            m_pageConnection->EnableConnectButtons();
        } else if (op == OP_STATUS) {
            AdvanceAfterJob(JOB_STATUS);
        }
        break;
    }

    case JOB_SCAN:
        if (code == RC_ABORTED) {
            module.SignalJob(EV_CANCEL_CMD);
        } else if (code == RC_OK) {
            AdvanceAfterJob(JOB_SCAN);
        } else if (code == RC_ERROR) {
            if (!Say(*this, LoadString(IDS_SCAN_ERROR))) {
                return 0;
            }
            module.SignalJob(EV_STATUS);
        } else if (code == RC_TIMEOUT || code == RC_OVERFLOW) {
            // The module confirms a scan at once: one that did not is not
            // answering, as after a failed check.
            module.SetLinkState(LINK_DISCONNECTING);
            if (!Say(*this, LoadString(IDS_COMM_FAILED))) {
                return 0;
            }
            module.ClosePort();
            OfferRetry();
        }
        break;

    case JOB_INQUIRY:
        if (code == RC_STOPPED) {
            break;
        }
        if (code == RC_ABORTED) {
            module.SignalJob(EV_CANCEL_CMD);
        } else if (code != RC_DONE) {
            module.SignalJob(EV_STATUS);
        }
        if (GetActivePage() == m_pageConnection) {
            m_pageConnection->EndSearchDisplay();
        }
        break;

    case JOB_APPLY:
        if (code == RC_DONE && module.m_bFlowNotStored.load()) {
            // Old firmware kept flow control on: the setting asked for was
            // not stored, so the step is not done.
            if (!Say(*this, LoadString(IDS_FLOW_NOT_STORED))) {
                return 0;
            }
            PostWizardButtons(PSWIZB_NEXT);
        } else if (code == RC_DONE) {
            if (GetActivePage() == m_pageMode) {
                SetActivePage(m_pageMode1);
            } else if (GetActivePage() == m_pageMode1) {
                SetActivePage(m_pageModeSuccess);
            }
        } else if (code == RC_TIMEOUT) {
            module.m_nCurOp.store(OP_APPLY_AGAIN);
            module.SignalJob(EV_STATUS);
        } else if (code != RC_OK) {
            if (!Say(*this, ApplyFailureText(module.m_nCurOp.load()))) {
                return 0;
            }
            PostWizardButtons(PSWIZB_NEXT);
        }
        break;

    default:
        break;
    }
    return 0;
}

} // namespace norva
