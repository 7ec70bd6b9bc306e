// Every transaction of the controller against a scripted module on a real
// pseudo-terminal: reply bytes, chunk boundaries, gaps, an abort and the
// hang-up point all come from the input (transaction/Script.h). Checks: the
// result is one the transaction may return in that situation, no run outlasts
// its time-outs (a watchdog), the controller writes only the transaction's
// own command lines, and it opens the next port as before.

#include "FuzzCheck.h"
#include "module/Catalogue.h"
#include "module/ModuleControl.h"
#include "module/Protocol.h"
#include "module/Transaction.h"
#include "transaction/CompressedClock.h"
#include "transaction/FuzzHost.h"
#include "transaction/Script.h"
#include "transaction/ScriptPeer.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <set>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

using namespace norva;
using namespace norva::fuzz;
namespace cat = norva::catalogue;

constexpr int64_t kWatchdogNs = 10'000'000'000; // real time, per input
constexpr int kTimeouts[] = {0, 20, 50, 200, 2000, 5000, 30000, -1};
constexpr int kBauds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
constexpr int kHealthEvery = 512;

FuzzHost* g_host = nullptr;
CModuleControl* g_module = nullptr;
std::atomic<int64_t> g_runStartNs{0};
std::atomic<int> g_phase{-1};

// Results per operation, printed at exit when NORVA_FUZZ_STATS is set.
std::atomic<long> g_results[kOpCount][13];

void Watchdog() {
    for (;;) {
        const timespec tick{0, 100'000'000};
        nanosleep(&tick, nullptr);
        const int64_t start = g_runStartNs.load();
        if (start != 0 && RealNowNs() - start > kWatchdogNs) {
            std::fprintf(stderr, "watchdog: one input has run for 10 s (phase %d)\n",
                         g_phase.load());
            std::abort();
        }
    }
}

void PrintStats() {
    static const char* names[] = {"Probe",  "Cancel", "Status",     "Connect",  "Disconnect",
                                  "Escape", "Scan",   "Inquiry",    "ReadSReg", "WriteSReg",
                                  "OpMode", "Uart",   "UartNoFlow", "Reset",    "Online"};
    for (int op = 0; op < kOpCount; ++op) {
        std::fprintf(stderr, "%-10s", names[op]);
        for (int code = -1; code <= 11; ++code) {
            std::fprintf(stderr, " %d:%ld", code, g_results[op][code + 1].load());
        }
        std::fprintf(stderr, "\n");
    }
    std::fprintf(stderr, "rows %d message boxes %d\n", g_host->rows.load(), g_host->boxes.load());
}

bool In(int code, std::initializer_list<int> allowed) {
    return std::find(allowed.begin(), allowed.end(), code) != allowed.end();
}

std::string Address(const Transaction& t) {
    switch (t.c % 4) {
    case 0:
        return "00A0C4123456";
    case 1:
        return {};
    case 2:
        return std::string(static_cast<size_t>(t.b) + 1, 'A'); // past the short format buffer
    default: {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%02X%02X", t.a, t.b);
        return std::string("00A0C412") + hex;
    }
    }
}

// What a run may see of the module: whether the peer hung up or aborted
// decides whether RC_DEVICE_GONE / RC_ABORTED are legitimate.
struct Context {
    const ScriptPeer& peer;
    std::set<std::string> vocabulary;
    size_t maxCommands = 0;
    int statusQueries = 0;
    bool inquiry = false;
};

void CheckInterruption(int r, const Context& ctx) {
    if (r == RC_DEVICE_GONE) {
        FUZZ_CHECK(ctx.peer.HungUp());
    }
    if (r == RC_ABORTED) {
        FUZZ_CHECK(ctx.peer.AbortSent());
    }
}

void CheckCallerTimeout(int r, int timeoutMs) {
    if (timeoutMs < 0) {
        FUZZ_CHECK(r != RC_TIMEOUT); // only data, an abort or the hang-up end it
    }
}

void RunQueryStatus(CModuleControl& m, Context& ctx) {
    ctx.vocabulary.insert({cat::kProbe.text, cat::kEscape.text, cat::kQueryStatus.text,
                           detail::FormatCommand(cat::kReadSRegister.text, cat::kResponseRegister),
                           detail::FormatCommand(cat::kWriteSRegister.text, cat::kResponseRegister,
                                                 cat::kResponseOn)});
    ctx.maxCommands += 5;
    ++ctx.statusQueries;
    const int r = m.QueryStatus();
    const int failure = m.LastStatusFailure();
    ++g_results[static_cast<int>(Op::QueryStatus)][r + 1 < 0 || r > 11 ? 0 : r + 1];
    FUZZ_CHECK(In(r, {0, 1, RC_TIMEOUT, RC_ABORTED, RC_DEVICE_GONE}));
    CheckInterruption(r, ctx);
    switch (r) {
    case 1:
        FUZZ_CHECK(failure == STATUS_READ_OK);
        break;
    case RC_TIMEOUT:
        FUZZ_CHECK(failure == STATUS_NO_ANSWER);
        break;
    case RC_ABORTED:
    case RC_DEVICE_GONE:
        FUZZ_CHECK(failure == STATUS_INTERRUPTED);
        break;
    default:
        FUZZ_CHECK(failure != STATUS_READ_OK);
        if (failure == STATUS_INTERRUPTED) {
            FUZZ_CHECK(ctx.peer.AbortSent());
        }
        break;
    }
}

void Run(CModuleControl& m, const Transaction& t, Context& ctx) {
    const int timeoutMs = kTimeouts[t.a % std::size(kTimeouts)];
    const std::initializer_list<int> common = {RC_OK,       RC_ERROR,   RC_TIMEOUT,
                                               RC_OVERFLOW, RC_ABORTED, RC_DEVICE_GONE};
    auto expect = [&](const std::string& command) {
        ctx.vocabulary.insert(command);
        ++ctx.maxCommands;
    };
    int r = 0;
    switch (t.op) {
    case Op::Probe:
        expect(cat::kProbe.text);
        r = m.Probe(timeoutMs);
        FUZZ_CHECK(In(r, common));
        break;
    case Op::CancelCommand:
        expect(cat::kCancelCommand.text);
        r = m.CancelCommand(timeoutMs);
        FUZZ_CHECK(In(r, common));
        break;
    case Op::QueryStatus:
        RunQueryStatus(m, ctx);
        return;
    case Op::Connect: {
        const std::string address = Address(t);
        expect(detail::FormatCommand(cat::kConnect.text, address.c_str()));
        r = m.Connect(timeoutMs, address);
        FUZZ_CHECK(In(r, {RC_ERROR, RC_ERROR_AFTER_OK, RC_CONNECTED, RC_TIMEOUT, RC_OVERFLOW,
                          RC_ABORTED, RC_DEVICE_GONE}));
        break;
    }
    case Op::Disconnect:
        expect(cat::kDisconnect.text);
        r = m.Disconnect(timeoutMs);
        FUZZ_CHECK(In(
            r, {RC_ERROR, RC_DISCONNECTED, RC_TIMEOUT, RC_OVERFLOW, RC_ABORTED, RC_DEVICE_GONE}));
        break;
    case Op::Escape:
        expect(cat::kEscape.text);
        r = m.Escape(timeoutMs);
        FUZZ_CHECK(In(r, common));
        break;
    case Op::Scan:
        m.SetScanSettings({t.b % 5, t.c * 10});
        expect(detail::FormatCommand(cat::kScan.text, t.b % 5, t.c * 10));
        r = m.Scan();
        FUZZ_CHECK(In(r, common));
        break;
    case Op::Inquiry:
        ctx.inquiry = true;
        m.SetInquiryS24(t.b);
        expect(detail::FormatCommand(cat::kWriteSRegister.text, cat::kInquiryRegister, t.b));
        expect(cat::kInquiry.text);
        r = m.Inquiry(timeoutMs);
        FUZZ_CHECK(In(r, {RC_DONE, RC_ERROR, RC_TIMEOUT, RC_OVERFLOW, RC_ABORTED, RC_DEVICE_GONE}));
        break;
    case Op::ReadSRegister: {
        expect(detail::FormatCommand(cat::kReadSRegister.text, t.b));
        std::string value = "unset";
        r = m.ReadSRegister(timeoutMs, t.b, value);
        FUZZ_CHECK(In(r, {RC_OK, RC_ERROR, RC_NO_VALUE, RC_TIMEOUT, RC_OVERFLOW, RC_ABORTED,
                          RC_DEVICE_GONE}));
        if (r == RC_OK) {
            constexpr const char* blank = " \t\r\n";
            FUZZ_CHECK(value.size() <= static_cast<size_t>(cat::kReadSRegister.accumulation));
            FUZZ_CHECK(value.empty() || (value.find_first_of(blank) != 0 &&
                                         value.find_last_of(blank) != value.size() - 1));
        }
        break;
    }
    case Op::WriteSRegister:
        expect(detail::FormatCommand(cat::kWriteSRegister.text, t.b, t.c));
        r = m.WriteSRegister(timeoutMs, t.b, t.c);
        FUZZ_CHECK(In(r, common));
        break;
    case Op::SetOpMode:
        expect(detail::FormatCommand(cat::kSetOpMode.text, t.b % 4));
        r = m.SetOpMode(timeoutMs, t.b % 4);
        FUZZ_CHECK(In(r, common));
        break;
    case Op::SetUartConfig:
    case Op::SetUartConfigNoFlow: {
        const int baud = kBauds[t.b % std::size(kBauds)];
        const int parity = (t.c & 1) != 0 ? kEvenParity : kNoParity;
        const int stopBits = (t.c & 2) != 0 ? kTwoStopBits : kOneStopBit;
        const char letter = parity == kEvenParity ? 'E' : 'N';
        const int digit = stopBits == kTwoStopBits ? 2 : 1;
        if (t.op == Op::SetUartConfig) {
            const int flow = (t.c >> 2) & 1;
            expect(detail::FormatCommand(cat::kSetUartConfig.text, baud, letter, digit, flow));
            r = m.SetUartConfig(timeoutMs, baud, parity, stopBits, flow);
        } else {
            expect(detail::FormatCommand(cat::kSetUartConfigNoFlow.text, baud, letter, digit));
            r = m.SetUartConfigNoFlow(timeoutMs, baud, parity, stopBits);
        }
        FUZZ_CHECK(In(r, common));
        break;
    }
    case Op::Reset: {
        // The reply is awaited only at the baud rate the port runs at.
        const bool awaited = (t.b & 1) == 0 && (t.c & 1) == 0;
        StoredSettings applied;
        applied.baud = (t.b & 1) == 0 ? 9600 : 115200;
        m.SetApplySettings(applied);
        m.SetAwaitResetReply((t.c & 1) == 0);
        expect(cat::kReset.text);
        r = m.Reset(timeoutMs);
        if (awaited) {
            FUZZ_CHECK(In(r, common));
        } else {
            FUZZ_CHECK(In(r, {RC_DONE, RC_ERROR, RC_DEVICE_GONE}));
        }
        break;
    }
    case Op::ReturnOnline:
        expect(cat::kReturnOnline.text);
        r = m.ReturnOnline();
        FUZZ_CHECK(r >= 0 && r <= 4);
        ++g_results[static_cast<int>(t.op)][r + 1]; // bytes written, not a code
        return;
    }
    ++g_results[static_cast<int>(t.op)][r + 1];
    CheckInterruption(r, ctx);
    // The scan and the inquiry's S24 write wait with fixed time-outs.
    if (t.op != Op::Scan && t.op != Op::Inquiry) {
        CheckCallerTimeout(r, timeoutMs);
    }
}

void RunScript(const Script& script) {
    CModuleControl& m = *g_module;
    ScriptPeer peer(script, m);
    FUZZ_CHECK(peer.Ok());
    g_phase.store(100);
    FUZZ_CHECK(m.OpenPortPath(peer.Path(), 9600, kOneStopBit, kNoParity) == 1);
    // The worker would take the aborts meant for the transactions.
    m.TalkDirectly();
    peer.Start();

    const int rows = g_host->rows.load();
    const int boxes = g_host->boxes.load();
    Context ctx{peer, {}, 0, 0, false};
    for (const Transaction& t : script.transactions) {
        g_phase.store(static_cast<int>(t.op));
        Run(m, t, ctx);
    }
    g_phase.store(101);
    peer.Finish();
    m.ClosePort();
    FUZZ_CHECK(!m.WorkerRunning() && m.PortOpen() == 0);

    FUZZ_CHECK(peer.Commands().size() <= ctx.maxCommands);
    for (const std::string& command : peer.Commands()) {
        FUZZ_CHECK(ctx.vocabulary.count(command) == 1);
    }
    FUZZ_CHECK(g_host->boxes.load() - boxes <= ctx.statusQueries);
    if (!ctx.inquiry) {
        FUZZ_CHECK(g_host->rows.load() == rows);
    }
}

// A plain probe on a fresh line after whatever the inputs left behind.
void CheckStillUsable() {
    Script s;
    s.transactions.push_back({Op::Probe, 0, 0, 0});
    s.segments.push_back({{Step::Kind::Bytes, std::string(cat::kReplyOk), 0}});
    CModuleControl& m = *g_module;
    ScriptPeer peer(s, m);
    FUZZ_CHECK(peer.Ok());
    FUZZ_CHECK(m.OpenPortPath(peer.Path(), 9600, kOneStopBit, kNoParity) == 1);
    peer.Start();
    FUZZ_CHECK(m.Probe(-1) == RC_OK);
    peer.Finish();
    m.ClosePort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Our own lock directory: the UUCP lock files of the ptys stay out of
    // the system's.
    static char lockDir[] = "/tmp/norva-fuzz-lock-XXXXXX";
    if (mkdtemp(lockDir) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    setenv("NORVAWIZARD_LOCK_DIR", lockDir, 1);
    std::atexit([] { rmdir(lockDir); });
    g_host = new FuzzHost;
    g_module = new CModuleControl(g_host);
    static std::thread* watchdog = new std::thread(Watchdog);
    (void)watchdog;
    if (std::getenv("NORVA_FUZZ_STATS") != nullptr) {
        std::atexit(PrintStats);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static unsigned long runs = 0;
    const Script script = DecodeScript(data, size);
    g_runStartNs.store(RealNowNs());
    RunScript(script);
    if (++runs % kHealthEvery == 0) {
        CheckStillUsable();
    }
    g_runStartNs.store(0);
    g_phase.store(-1);
    return 0;
}
