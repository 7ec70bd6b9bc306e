#pragma once
// Every command text, reply text, per-wait count, reply limit, time-out and
// pause of the module protocol, in one place.

#include "platform/SerialDevice.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <string_view>

namespace norva::catalogue {

// Replies, matched against whole tokens (CONNECT also as a prefix).
inline constexpr std::string_view kReplyOk = "\r\nOK\r\n";
inline constexpr std::string_view kReplyError = "\r\nERROR\r\n";
inline constexpr std::string_view kReplyConnect = "\r\nCONNECT\r\n";
inline constexpr std::string_view kReplyConnectPrefix = "\r\nCONNECT ";
inline constexpr std::string_view kReplyDisconnect = "\r\nDISCONNECT\r\n";

inline constexpr int kNoLimit = -1;

struct Command {
    // The command, or its printf format when it takes arguments. Always a
    // literal: module or user text only ever goes in as an argument.
    const char* text;
    // Most bytes one wait takes from the receive buffer.
    int perWait;
    // A reply held past this many bytes without a terminal line overflows.
    int limit;
    // Bytes the accumulation holds; a reply that does not fit overflows.
    int accumulation;
};

// A limited reply needs room for what the limit allows plus one more wait.
constexpr Command Limited(const char* text, int perWait, int limit) {
    return {text, perWait, limit, limit + perWait};
}
constexpr Command Unlimited(const char* text, int perWait, int accumulation) {
    return {text, perWait, kNoLimit, accumulation};
}

// Substring skeleton: `limit` is the most bytes received in total.
inline constexpr Command kProbe = {"AT\r", 30, 30, 64};
inline constexpr Command kCancelCommand = {"AT+BTCANCEL\r", 30, 30, 64};

// The status and search lines carry a name of up to 255 (own) or 248
// (Bluetooth) bytes: both accumulations hold the longest such line whole.
inline constexpr Command kQueryStatus = Unlimited("AT+BTINFO?\r", 127, 384);
inline constexpr Command kConnect = Limited("ATD%s\r", 31, 32);
inline constexpr Command kDisconnect = Limited("ATH\r", 31, 32);
inline constexpr Command kEscape = Unlimited("+++\r", 30, 64);
inline constexpr Command kScan = Limited("AT+BTSCAN,%d,%d\r", 31, 32);
inline constexpr Command kInquiry = Unlimited("AT+BTINQ?\r", 127, 384);
inline constexpr Command kReturnOnline = {"ATO\r", 0, 0, 0}; // written, never awaited
inline constexpr Command kSetOpMode = Limited("AT+BTMODE,%d\r", 31, 32);
inline constexpr Command kSetUartConfig = Limited("AT+UARTCONFIG,%d,%c,%d,%d\r", 31, 32);
inline constexpr Command kSetUartConfigNoFlow = Limited("AT+UARTCONFIG,%d,%c,%d\r", 31, 32);
inline constexpr Command kWriteSRegister = Limited("ATS%d=%d\r", 31, 32);
inline constexpr Command kReadSRegister = Limited("ATS%d?\r", 31, 32);
inline constexpr Command kReset = Limited("ATZ\r", 31, 32);

// The UART rates a module can store, ascending.
inline constexpr int kModuleBauds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400};
inline constexpr int kModuleBaudCount = static_cast<int>(std::size(kModuleBauds));
// The order a settings search tries them in: the factory rate, then the ones
// a user most often chose; the slow rates are left to old equipment.
inline constexpr int kDetectBaudOrder[] = {9600,   115200, 57600, 38400, 19200,
                                           230400, 4800,   2400,  1200};
static_assert(std::size(kDetectBaudOrder) == std::size(kModuleBauds));

constexpr bool IsModuleBaud(long baud) {
    return std::find(std::begin(kModuleBauds), std::end(kModuleBauds), baud) !=
           std::end(kModuleBauds);
}
// "1200, 2400, … 115200 or 230400", for messages.
inline std::string ModuleBaudList() {
    std::string text;
    for (int i = 0; i < kModuleBaudCount; ++i) {
        text += (i == 0                      ? ""
                 : i + 1 == kModuleBaudCount ? " or "
                                             : ", ") +
                std::to_string(kModuleBauds[i]);
    }
    return text;
}

// The parities a module can store: its UART command has a letter for none
// (N) and even (E) only, so odd is refused before anything is sent.
inline constexpr int kModuleParities[] = {kNoParity, kEvenParity};

constexpr bool IsModuleParity(int parity) {
    return std::find(std::begin(kModuleParities), std::end(kModuleParities), parity) !=
           std::end(kModuleParities);
}

// Step 2's scan: discoverable and connectable (mode 3) for 3000 s, long
// enough for a person to move the cable and let unit 2 search.
inline constexpr int kPairScanMode = 3;
inline constexpr int kPairScanTime = 3000;

inline constexpr int kMaxAccumulation = 384;
// A line of an unlimited reply that outgrows its accumulation is skipped up
// to its end; one that does not end within this many bytes overflows.
inline constexpr int kMaxSkippedLine = 1024;

// The status query's token copy: longer tokens end the query.
inline constexpr int kStatusWorkText = 384;
// Address and name as stored in ModuleInfo (without their terminators).
inline constexpr int kAddressChars = 12;
inline constexpr int kNameChars = 255;
// The status line's address follows the line's CR LF.
inline constexpr int kAddressSkip = 2;

// The status query's own steps: every wait of it, whatever the caller.
inline constexpr int kQueryStepTimeoutMs = 2000;
inline constexpr int kQueryPauseMs = 500;
inline constexpr int kResponseRegister = 10; // S10: response messages on/off
inline constexpr int kResponseOn = 1;
inline constexpr const char* kResponseOffValue = "0";

// The inquiry first writes S24 (from m_nS24Value).
inline constexpr int kInquiryRegister = 24;
inline constexpr int kInquirySRegTimeoutMs = 3000;

// Scan: the module confirms at once, whatever the scan time.
inline constexpr int kScanConfirmMs = 3000;

inline constexpr int kEscapePauseMs = 50; // before "+++\r"
// After an OK to "+++\r", for the ERROR a module may send for the "\r": it comes right after
// the OK, so a read that escaped first waits this long, not the query's pause (and passes over
// one ERROR that comes later still).
inline constexpr int kEscapeSettleMs = 100;
inline constexpr int kBannerPauseMs = 50; // after showing either wait banner
inline constexpr int kJobPauseMs = 50;    // before every job the worker runs
// After "ATO" the module needs a moment before data, or the escape that follows.
inline constexpr int kReturnOnlineSettleMs = 100;
// Lets "ATZ" leave the line before the port is reopened at other settings.
inline constexpr int kReopenSettleMs = 50;

// The worker's own waits. It looks at its stop between jobs this often.
inline constexpr int kWorkerIdleWaitMs = 500;
// A wait that keeps failing must not turn into a busy loop when the host
// answers its message boxes at once (tools, tests).
inline constexpr int kWorkerFailedWaitPauseMs = 500;
// A caller's wait on a job it aborts: the abort is repeated this often (an
// idle worker uses up one that comes just before the job), and after the
// grace the worker is stopped.
inline constexpr int kAbortRepeatMs = 500;
inline constexpr int kAbortGraceMs = 5000;
// A settings search allows this beyond the wire time of probe and reply: the
// module's own turn-around, and a scheduler that is slow to wake us.
inline constexpr int kDetectMarginMs = 150;

// Time-outs the callers pass (the worker's jobs and the sheet).
inline constexpr int kCancelJobTimeoutMs = 5000;
inline constexpr int kConnectJobTimeoutMs = 30000;
inline constexpr int kDisconnectEscapeTimeoutMs = 5000;
inline constexpr int kDisconnectTimeoutMs = 20000;
inline constexpr int kEscapeJobTimeoutMs = 2000;
inline constexpr int kInquiryJobTimeoutMs = -1;
inline constexpr int kReadSRegJobTimeoutMs = 2000;
inline constexpr int kApplyModeTimeoutMs = 3000;
inline constexpr int kApplyCancelTimeoutMs = 3000;
inline constexpr int kApplyUartTimeoutMs = 2000;
inline constexpr int kResetJobTimeoutMs = 5000;
inline constexpr int kSheetSetModeTimeoutMs = 3000;

// What a restarted unit (ATZ, power-on) and a link between two of them may take: modules differ,
// so these are bounds to wait within, never delays to sleep through.
// A unit is deaf while it boots; a reset about 2 s after the OK is documented, the boot time not.
inline constexpr int kRestartBoundMs = 5000;
// A booting unit is asked "AT" this often, to learn when it listens again.
inline constexpr int kRestartProbeIntervalMs = 400;
// Two restarted units: paging, answering and announcing the link.
inline constexpr int kLinkBoundMs = 10000;
// A restarted unit that has not announced a link by this long after its ATZ may have linked
// without a word (result codes off) or had its announcement lost: data sent through the link
// proves it from then on.
inline constexpr int kPeerAnnounceGraceMs = 1000;
// A person switching the unit that is not on the cable off and on, then its boot and link.
inline constexpr int kPowerCycleBoundMs = 60000;
// "+++" before a restart: a linked unit answers at once, an idle one with ERROR or nothing.
inline constexpr int kRestartEscapeTimeoutMs = 1000;

} // namespace norva::catalogue
