// The module transactions: command texts and reply handling per command. The
// shared skeletons are in Transaction.h.

#include "module/Catalogue.h"
#include "module/ModuleControl.h"
#include "module/ReplyParser.h"
#include "module/Transaction.h"

#include <cstdarg>
#include <cstdio>
#include <string_view>

namespace norva {

namespace cat = catalogue;
using detail::kGoOn;

namespace detail {

std::string FormatCommand(const char* format, ...) {
    char text[128];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n < 0) {
        return {};
    }
    if (static_cast<size_t>(n) < sizeof text) {
        return std::string(text, static_cast<size_t>(n));
    }
    // Only an address of unusual length gets here.
    std::string big(static_cast<size_t>(n) + 1, '\0');
    va_start(args, format);
    const int again = std::vsnprintf(big.data(), big.size(), format, args);
    va_end(args);
    if (again != n) {
        return {};
    }
    big.resize(static_cast<size_t>(n));
    return big;
}

void FlushReceive(CSerialPort& port) {
    if (port.m_hDataEvent) {
        port.m_hDataEvent->Reset();
    }
    port.m_rxBuffer.Clear();
}

int SendCommand(CModuleControl& m, std::string_view text) {
    const Event* stop = PortAccess::Stop(m);
    if (!m.PortOpen()) {
        return RC_ERROR; // a short write, as on any closed port
    }
    if (stop != nullptr && stop->IsSet()) {
        return RC_STOPPED;
    }
    if (PortAccess::Port(m).Write(text.data(), static_cast<int>(text.size()), stop) ==
        text.size()) {
        return RC_OK;
    }
    if (m.HungUp()) {
        return RC_DEVICE_GONE;
    }
    return stop != nullptr && stop->IsSet() ? RC_STOPPED : RC_ERROR;
}

int OkOrError(std::string_view token) {
    if (token == cat::kReplyError) {
        return RC_ERROR;
    }
    if (token == cat::kReplyOk) {
        return RC_OK;
    }
    return kGoOn;
}

} // namespace detail

namespace {

// The substring skeleton: the whole reply so far is searched for OK, then
// ERROR, wherever they stand.
int SubstringTransaction(CModuleControl& m, const cat::Command& cmd, int timeoutMs) {
    detail::FlushReceive(detail::PortAccess::Port(m));
    if (const int sent = detail::SendCommand(m, cmd.text); sent != RC_OK) {
        return sent;
    }
    uint8_t text[64];
    static_assert(sizeof text >= 30);
    int received = 0;
    for (;;) {
        uint8_t scratch[64];
        const int got = m.WaitForData(scratch, cmd.perWait, timeoutMs);
        if (got <= 0) {
            return detail::WaitOutcome(got);
        }
        received += got;
        if (received > cmd.limit || received > static_cast<int>(sizeof text)) {
            return RC_OVERFLOW;
        }
        std::memcpy(text + received - got, scratch, static_cast<size_t>(got));
        const std::string_view reply = AsText(text, static_cast<size_t>(received));
        if (reply.find(cat::kReplyOk) != std::string_view::npos) {
            return RC_OK;
        }
        if (reply.find(cat::kReplyError) != std::string_view::npos) {
            return RC_ERROR;
        }
    }
}

// The plain line transaction: flush, send, then OK 0 / ERROR 1.
int PlainLineTransaction(CModuleControl& m, const cat::Command& cmd, const std::string& text,
                         int timeoutMs) {
    detail::FlushReceive(detail::PortAccess::Port(m));
    if (const int sent = detail::SendCommand(m, text); sent != RC_OK) {
        return sent;
    }
    return detail::AwaitLines(m, cmd, text, timeoutMs, detail::OkOrError);
}

char ParityLetter(int parity) {
    return parity == kEvenParity ? 'E' : 'N';
}

int StopBitsDigit(int stopBits) {
    return stopBits == kTwoStopBits ? 2 : 1;
}

} // namespace

int CModuleControl::Probe(int timeoutMs) {
    return SubstringTransaction(*this, cat::kProbe, timeoutMs);
}

int CModuleControl::CancelCommand(int timeoutMs) {
    return SubstringTransaction(*this, cat::kCancelCommand, timeoutMs);
}

int CModuleControl::SetOpMode(int timeoutMs, int mode) {
    m_nCurOp.store(OP_SET_MODE);
    return PlainLineTransaction(*this, cat::kSetOpMode,
                                detail::FormatCommand(cat::kSetOpMode.text, mode), timeoutMs);
}

int CModuleControl::SetUartConfig(int timeoutMs, int baud, int parity, int stopBits, int flow) {
    m_nCurOp.store(OP_SET_UART);
    return PlainLineTransaction(*this, cat::kSetUartConfig,
                                detail::FormatCommand(cat::kSetUartConfig.text, baud,
                                                      ParityLetter(parity), StopBitsDigit(stopBits),
                                                      flow != 0 ? 1 : 0),
                                timeoutMs);
}

int CModuleControl::SetUartConfigNoFlow(int timeoutMs, int baud, int parity, int stopBits) {
    m_nCurOp.store(OP_SET_UART);
    return PlainLineTransaction(*this, cat::kSetUartConfigNoFlow,
                                detail::FormatCommand(cat::kSetUartConfigNoFlow.text, baud,
                                                      ParityLetter(parity),
                                                      StopBitsDigit(stopBits)),
                                timeoutMs);
}

int CModuleControl::WriteSRegister(int timeoutMs, int reg, int value) {
    m_nCurOp.store(OP_WRITE_SREG);
    return PlainLineTransaction(*this, cat::kWriteSRegister,
                                detail::FormatCommand(cat::kWriteSRegister.text, reg, value),
                                timeoutMs);
}

int CModuleControl::ReadSRegister(int timeoutMs, int reg, std::string& value) {
    detail::FlushReceive(m_port);
    const std::string command = detail::FormatCommand(cat::kReadSRegister.text, reg);
    if (const int sent = detail::SendCommand(*this, command); sent != RC_OK) {
        return sent;
    }
    bool valueSeen = false;
    return detail::AwaitLines(
        *this, cat::kReadSRegister, command, timeoutMs, RC_OVERFLOW,
        [&](std::string_view token) {
            if (token == cat::kReplyError) {
                return static_cast<int>(RC_ERROR);
            }
            if (token == cat::kReplyOk) {
                return valueSeen ? static_cast<int>(RC_OK) : static_cast<int>(RC_NO_VALUE);
            }
            const size_t first = token.find_first_not_of(" \t\r\n");
            if (first == std::string_view::npos) {
                value.clear();
            } else {
                const size_t last = token.find_last_not_of(" \t\r\n");
                value.assign(token.substr(first, last - first + 1));
            }
            valueSeen = true;
            return kGoOn;
        },
        // A value line is enough: the OK after it is not waited for.
        [&] { return valueSeen ? static_cast<int>(RC_OK) : kGoOn; });
}

int CModuleControl::Reset(int timeoutMs) {
    m_nCurOp.store(OP_RESET);
    detail::FlushReceive(m_port);
    if (const int sent = detail::SendCommand(*this, cat::kReset.text); sent != RC_OK) {
        return sent;
    }
    // At another baud rate the module's answer could not be read anyway.
    if (static_cast<long long>(m_port.GetDCB()->BaudRate) != m_apply.Get().baud ||
        m_bAwaitResetReply.load() == 0) {
        return RC_DONE;
    }
    return detail::AwaitLines(*this, cat::kReset, cat::kReset.text, timeoutMs, detail::OkOrError);
}

int CModuleControl::Connect(int timeoutMs, const std::string& address) {
    m_nCurOp.store(OP_CONNECT);
    detail::FlushReceive(m_port);
    const std::string command = detail::FormatCommand(cat::kConnect.text, address.c_str());
    if (const int sent = detail::SendCommand(*this, command); sent != RC_OK) {
        return sent;
    }
    bool okSeen = false;
    return detail::AwaitLines(
        *this, cat::kConnect, command, timeoutMs, [&](std::string_view token) {
            if (token == cat::kReplyError) {
                return okSeen ? static_cast<int>(RC_ERROR_AFTER_OK) : static_cast<int>(RC_ERROR);
            }
            if (token == cat::kReplyOk) {
                okSeen = true;
                return kGoOn;
            }
            if (token.starts_with(cat::kReplyConnectPrefix) || token == cat::kReplyConnect) {
                return static_cast<int>(RC_CONNECTED);
            }
            return kGoOn;
        });
}

int CModuleControl::Disconnect(int timeoutMs) {
    m_nCurOp.store(OP_DISCONNECT);
    detail::FlushReceive(m_port);
    if (const int sent = detail::SendCommand(*this, cat::kDisconnect.text); sent != RC_OK) {
        return sent;
    }
    // The OK of "ATH" comes before the hang-up; only DISCONNECT ends it.
    return detail::AwaitLines(*this, cat::kDisconnect, cat::kDisconnect.text, timeoutMs,
                              [](std::string_view token) {
                                  if (token == cat::kReplyError) {
                                      return static_cast<int>(RC_ERROR);
                                  }
                                  if (token == cat::kReplyDisconnect) {
                                      return static_cast<int>(RC_DISCONNECTED);
                                  }
                                  return kGoOn;
                              });
}

int CModuleControl::Escape(int timeoutMs) {
    Event* const data = m_port.m_hDataEvent.get();
    if (data == nullptr) {
        return RC_OVERFLOW;
    }
    data->Reset();
    m_port.m_rxBuffer.Clear();
    // The module only takes "+++" after a quiet spell on the line; a stop
    // or abort during it leaves the module alone.
    if (const int paused = Pause(cat::kEscapePauseMs); paused != RC_OK) {
        return paused;
    }
    if (const int sent = detail::SendCommand(*this, cat::kEscape.text); sent != RC_OK) {
        return sent;
    }
    return detail::AwaitLines(*this, cat::kEscape, cat::kEscape.text, timeoutMs, detail::OkOrError);
}

int CModuleControl::Scan() {
    const ScanSettings scan = m_scan.Get();
    detail::FlushReceive(m_port);
    const std::string command = detail::FormatCommand(cat::kScan.text, scan.mode, scan.timeMs);
    if (const int sent = detail::SendCommand(*this, command); sent != RC_OK) {
        return sent;
    }
    // The module confirms the command at once and then stays discoverable
    // for the scan time on its own: a module that does not confirm within a
    // few seconds is not there, however long the scan was to last.
    return detail::AwaitLines(*this, cat::kScan, command, cat::kScanConfirmMs, detail::OkOrError);
}

int CModuleControl::Inquiry(int timeoutMs) {
    const int r =
        WriteSRegister(cat::kInquirySRegTimeoutMs, cat::kInquiryRegister, m_nS24Value.load());
    if (r != RC_OK) {
        return r;
    }
    m_nCurOp.store(OP_INQUIRY);
    // The S-register write has just emptied the buffer: what it left after
    // its OK may already be the start of the device list.
    if (const int sent = detail::SendCommand(*this, cat::kInquiry.text); sent != RC_OK) {
        return sent;
    }
    return detail::AwaitLines(*this, cat::kInquiry, cat::kInquiry.text, timeoutMs,
                              [&](std::string_view token) {
                                  if (token == cat::kReplyOk) {
                                      return static_cast<int>(RC_DONE);
                                  }
                                  OnInquiryResult(std::string(token));
                                  return kGoOn;
                              });
}

int CModuleControl::ReturnOnline() {
    return static_cast<int>(m_port.Write(cat::kReturnOnline.text,
                                         static_cast<int>(std::strlen(cat::kReturnOnline.text))));
}

int CModuleControl::QueryStatusLine(int timeoutMs, std::string& line) {
    detail::FlushReceive(m_port);
    if (const int sent = detail::SendCommand(*this, cat::kQueryStatus.text); sent != RC_OK) {
        return sent;
    }
    line.clear();
    const int r = detail::AwaitLines(
        *this, cat::kQueryStatus, cat::kQueryStatus.text, timeoutMs, [&](std::string_view token) {
            // The OK after the line is waited for, so that it does not land
            // in the next command's reply.
            if (!line.empty()) {
                return token.starts_with(cat::kReplyOk) ? static_cast<int>(RC_OK) : kGoOn;
            }
            if (token.starts_with(cat::kReplyError)) {
                return static_cast<int>(RC_ERROR);
            }
            if (ParseStatusLine(token).outcome != StatusLineOutcome::Failed) {
                line.assign(token);
            }
            return kGoOn;
        });
    // With result codes off no OK comes: the line is the whole reply.
    return r == RC_TIMEOUT && !line.empty() ? static_cast<int>(RC_OK) : r;
}

int CModuleControl::QueryStatus(ModuleInfo& info) {
    const Event* stop = JobEvent(EV_STOP);
    m_nStatusFailure.store(STATUS_NO_ANSWER);
    auto end = [this](int result, int failure) {
        m_nStatusFailure.store(failure);
        return result;
    };
    // A stop or a vanished device ends the query at once and is reported as
    // itself, never as a module that failed to answer; an abort before the
    // status request counts as a failed query.
    auto interrupted = [&](int result) {
        return end(result == RC_ABORTED ? 0 : result, STATUS_INTERRUPTED);
    };

    // A unit the caller knows to be linked is in data mode, where "AT" goes over the air and is
    // never answered: it is escaped first instead of costing the probe's time-out.
    const bool brief = m_bReadBriefly.exchange(false);
    bool probed = false;
    bool escapedFirst = false;
    int r = RC_TIMEOUT;
    if (m_bAssumeDataMode.exchange(false)) {
        const int e = Escape(cat::kQueryStepTimeoutMs);
        if (detail::Interrupted(e)) {
            return interrupted(e);
        }
        if (e == RC_OK) {
            r = RC_OK;
            escapedFirst = true;
        }
    }
    if (r != RC_OK) {
        r = Probe(cat::kQueryStepTimeoutMs);
        probed = r == RC_OK;
    }
    switch (r) {
    case RC_OK:
        break;
    case RC_ERROR: {
        if (const int p = Pause(cat::kQueryPauseMs); p != RC_OK) {
            return interrupted(p);
        }
        const int again = Probe(cat::kQueryStepTimeoutMs);
        if (detail::Interrupted(again)) {
            return interrupted(again);
        }
        if (again != RC_OK) {
            return end(0, again == RC_ERROR ? STATUS_REFUSED : STATUS_NO_ANSWER);
        }
        break;
    }
    case RC_TIMEOUT: {
        // No answer: the module may be in data mode, or mute.
        if (const int p = Pause(cat::kQueryPauseMs); p != RC_OK) {
            return interrupted(p);
        }
        const int e = Escape(cat::kQueryStepTimeoutMs);
        if (detail::Interrupted(e)) {
            return interrupted(e);
        }
        if (e == RC_OK) {
            break;
        }
        std::string value;
        const int read = ReadSRegister(cat::kQueryStepTimeoutMs, cat::kResponseRegister, value);
        if (detail::Interrupted(read)) {
            return interrupted(read);
        }
        if (read != RC_OK) {
            return end(0, read == RC_ERROR ? STATUS_REFUSED : STATUS_NO_ANSWER);
        }
        if (value == cat::kResponseOffValue) {
            if (m_hWndNotify != nullptr) {
                m_hWndNotify->ShowNotice(Notice::ResponsesSwitchedOn, stop);
            }
            const int w =
                WriteSRegister(cat::kQueryStepTimeoutMs, cat::kResponseRegister, cat::kResponseOn);
            if (detail::Interrupted(w)) {
                return interrupted(w);
            }
        }
        break;
    }
    default:
        if (detail::Interrupted(r)) {
            return interrupted(r);
        }
        return end(0, STATUS_UNREADABLE);
    }

    const int pauseMs = brief && probed ? 0
                        : escapedFirst  ? cat::kEscapeSettleMs
                                        : cat::kQueryPauseMs;
    if (const int p = Pause(pauseMs); p != RC_OK) {
        return interrupted(p);
    }
    Event* const data = m_port.m_hDataEvent.get();
    if (data == nullptr) {
        return end(RC_OVERFLOW, STATUS_NO_ANSWER);
    }
    data->Reset();
    m_port.m_rxBuffer.Clear();
    if (const int sent = detail::SendCommand(*this, cat::kQueryStatus.text); sent != RC_OK) {
        return detail::Interrupted(sent) ? interrupted(sent) : end(0, STATUS_NO_ANSWER);
    }

    bool flowSeen = false;
    // An ERROR for the "\r" behind "+++" may come later than the settle: before any status
    // line it is that one, passed over once, not the module refusing the query.
    bool strayErrorLeft = escapedFirst;
    bool lineSeen = false;
    int failure = STATUS_UNREADABLE;
    const int result = detail::AwaitLines(
        *this, cat::kQueryStatus, cat::kQueryStatus.text, cat::kQueryStepTimeoutMs, 0,
        [&](std::string_view token) {
            if (token.size() >= cat::kStatusWorkText) {
                return 0; // does not fit the work text
            }
            if (flowSeen && token.starts_with(cat::kReplyOk)) {
                return 1;
            }
            if (token.starts_with(cat::kReplyError)) {
                if (strayErrorLeft && !lineSeen) {
                    strayErrorLeft = false;
                    return kGoOn;
                }
                failure = STATUS_REFUSED;
                return 0;
            }
            const StatusLine line = ParseStatusLine(token);
            lineSeen = lineSeen || line.outcome != StatusLineOutcome::Failed;
            if (line.fieldsStored >= 1) {
                info.SetAddress(line.address.data(), line.address.size());
            }
            if (line.fieldsStored >= 2) {
                info.SetName(line.name.data(), line.name.size());
            }
            if (line.fieldsStored >= 3) {
                info.m_nOpMode.store(line.opMode);
            }
            if (line.fieldsStored >= 4) {
                info.m_nLinkState.store(line.linkState);
            }
            if (line.fieldsStored >= 5) {
                info.m_nInfoFlag5.store(line.flag5);
            }
            if (line.fieldsStored >= 6) {
                info.m_nInfoFlag6.store(line.flag6);
            }
            switch (line.outcome) {
            case StatusLineOutcome::SevenFields:
                info.m_nFlowControl.store(line.flowControl);
                info.m_bFlowReported.store(true);
                flowSeen = true;
                return kGoOn;
            case StatusLineOutcome::SixFields:
                info.m_nFlowControl.store(1);
                info.m_bFlowReported.store(false);
                return 1;
            case StatusLineOutcome::Failed:
                break;
            }
            return 0;
        },
        [] { return kGoOn; });
    switch (result) {
    case 1:
        return end(1, STATUS_READ_OK);
    case 0:
        return end(0, failure);
    case RC_TIMEOUT:
        return end(RC_TIMEOUT, STATUS_NO_ANSWER);
    case RC_OVERFLOW:
        return end(0, STATUS_UNREADABLE);
    default:
        return end(result, detail::Interrupted(result) ? STATUS_INTERRUPTED : STATUS_UNREADABLE);
    }
}

} // namespace norva
