#include "sim/ModuleProfiles.h"

#include "sim/UnitOptionTable.h"

#include <array>
#include <utility>

namespace norva::sim {

namespace {

void Default(UnitOptions& u) {
    const UnitOptions plain;
    u.statusMode = plain.statusMode;
    u.statusFlow = plain.statusFlow;
    u.uartApplies = plain.uartApplies;
    u.connectReply = plain.connectReply;
    u.announceAutoLink = plain.announceAutoLink;
    u.hangupIdle = plain.hangupIdle;
    u.idleWord = plain.idleWord;
    u.echo = plain.echo;
    u.echoForm = plain.echoForm;
    u.bootMs = plain.bootMs;
    u.resetReply = plain.resetReply;
    u.modeActs = plain.modeActs;
    u.afterScanLink = plain.afterScanLink;
    u.escapeCr = plain.escapeCr;
    u.atoReply = plain.atoReply;
    u.s10OffHides = plain.s10OffHides;
    u.pagingMs = plain.pagingMs;
    u.pageRestart = plain.pageRestart;
}

// Shows nothing before it is in force and says as little as it may: a read-back right after
// storing sees the old mode and flow control, and a link names no peer.
void Strict(UnitOptions& u) {
    Default(u);
    u.statusMode = StatusShows::InForce;
    u.statusFlow = StatusShows::InForce;
    u.uartApplies = UartApplies::AtRestart;
    u.connectReply = ConnectReply::Bare;
    u.echo = true;
    u.echoForm = EchoForm::Line;
}

// Switches its UART as soon as it has said OK: the computer must reopen at the new setting.
void AtOnce(UnitOptions& u) {
    Default(u);
    u.uartApplies = UartApplies::AtOnce;
}

// What the manuals describe where the simulator's own choice is the easier one: a slow restart
// after its OK, a mode that waits for it, a scan that outlives its link, paging that goes on.
void RealSlow(UnitOptions& u) {
    Default(u);
    u.bootMs = 2000;
    u.resetReply = ResetReply::BeforeRestart;
    u.modeActs = ModeActs::AtRestart;
    u.afterScanLink = AfterScanLink::Pending;
    u.escapeCr = EscapeCr::Error;
    u.atoReply = AtoReply::None;
    u.pagingMs = 20000;
    u.pageRestart = true;
}

// splitmix64: the same numbers from the same seed on every platform, which the standard
// distributions do not promise.
class Draw {
public:
    Draw(std::uint64_t seed, int unit)
        : m_state(seed ^ (0xA0761D6478BD642FULL * static_cast<std::uint64_t>(unit))) {}

    unsigned Below(unsigned n) { return static_cast<unsigned>(Next() % n); }
    bool Coin() { return Below(2) == 1; }
    template <typename T, size_t N> T Pick(const std::array<T, N>& from) {
        return from[Below(static_cast<unsigned>(N))];
    }

private:
    std::uint64_t Next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    std::uint64_t m_state;
};

template <typename T> T Either(Draw& d, T first, T second) {
    return d.Coin() ? second : first;
}

// Quoted for a shell when it holds anything but plain word characters.
std::string ShellWord(const std::string& text) {
    if (!text.empty() && text.find_first_not_of(
                             "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789,._:+-"
                             "/") == std::string::npos) {
        return text;
    }
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

} // namespace

const std::vector<ModuleProfile>& ModuleProfiles() {
    static const std::vector<ModuleProfile> profiles = {
        {"default", "the simulator's own choices", Default},
        {"strict",
         "status shows mode and flow control in force, UART at the restart, bare CONNECT, echo",
         Strict},
        {"at-once", "a stored UART takes effect right after its OK", AtOnce},
        {"real-slow",
         "2 s restart after its OK, mode acts at the restart, scanning again after a link, ERROR "
         "for the CR after +++, no reply to ATO, paging 20 s then restarting",
         RealSlow},
    };
    return profiles;
}

bool ApplyModuleProfile(std::string_view name, UnitOptions* unit) {
    for (const ModuleProfile& p : ModuleProfiles()) {
        if (name == p.name) {
            p.apply(*unit);
            return true;
        }
    }
    return false;
}

std::string ModuleProfileNames() {
    std::string names;
    for (const ModuleProfile& p : ModuleProfiles()) {
        names += (names.empty() ? "" : "|") + std::string(p.name);
    }
    return names;
}

void ApplyRandomProfile(std::uint64_t seed, int unitNumber, UnitOptions* unit) {
    Draw d(seed, unitNumber);
    UnitOptions& u = *unit;
    Default(u);
    u.echo = d.Coin();
    u.echoForm =
        d.Pick(std::array{EchoForm::Line, EchoForm::NoCr, EchoForm::CrLf, EchoForm::Typed});
    u.statusMode = Either(d, StatusShows::Stored, StatusShows::InForce);
    u.statusFlow = Either(d, StatusShows::Stored, StatusShows::InForce);
    u.uartApplies = Either(d, UartApplies::AtRestart, UartApplies::AtOnce);
    u.connectReply = Either(d, ConnectReply::WithAddress, ConnectReply::Bare);
    u.announceAutoLink = d.Coin();
    u.hangupIdle = Either(d, HangupIdle::Ok, HangupIdle::Error);
    u.idleWord = Either(d, IdleWord::Standby, IdleWord::Idle);
    u.bootMs = d.Pick(std::array{150, 500, 2000, 3000, 5000});
    u.resetReply = Either(d, ResetReply::AfterRestart, ResetReply::BeforeRestart);
    u.modeActs = Either(d, ModeActs::AtOnce, ModeActs::AtRestart);
    u.afterScanLink = Either(d, AfterScanLink::Standby, AfterScanLink::Pending);
    u.escapeCr = Either(d, EscapeCr::Ignore, EscapeCr::Error);
    u.atoReply = Either(d, AtoReply::Ok, AtoReply::None);
    u.pagingMs = d.Pick(std::array{0, 5000, 20000});
    u.pageRestart = u.pagingMs > 0 && d.Coin();
    // S10 = 0 from power-up is rare (a unit paired with its button), and a real one then hides
    // every result code.
    u.responsesOff = d.Below(10) == 0;
    u.s10OffHides = u.responsesOff ? S10OffHides::AllResults
                                   : Either(d, S10OffHides::OkError, S10OffHides::AllResults);
}

std::string DescribeUnitOptions(const UnitOptions& u, std::string_view prefix) {
    const UnitOptions plain;
    std::string out;
    auto add = [&out, prefix](const char* name, const std::string& value = {}) {
        out += (out.empty() ? "" : " ") + std::string(prefix) + name;
        if (!value.empty()) {
            out += " " + ShellWord(value);
        }
    };
    auto flag = [&add](const char* name, bool on) {
        if (on) {
            add(name);
        }
    };
    auto number = [&add](const char* name, int value, int plainValue) {
        if (value != plainValue) {
            add(name, std::to_string(value));
        }
    };
    // The words are the option table's, so that what is printed parses back.
    auto choice = [&add, &u](const char* name, auto value, auto plainValue) {
        if (value != plainValue) {
            add(name, ChoiceWord(name, u));
        }
    };
    if (!u.address.empty()) {
        add("address", u.address);
    }
    if (!u.name.empty()) {
        add("name", u.name);
    }
    if (!(u.uart == plain.uart)) {
        add("uart", std::to_string(u.uart.baud) + "," + u.uart.parity + "," +
                        std::to_string(u.uart.stopBits) + "," + (u.uart.flow ? "1" : "0"));
    }
    number("start-mode", u.startMode, plain.startMode);
    if (u.flag5 || u.flag6) {
        add("flags", std::string(u.flag5 ? "1" : "0") + "," + (u.flag6 ? "1" : "0"));
    }
    flag("old-firmware", u.oldFirmware);
    flag("responses-off", u.responsesOff);
    flag("start-pending", u.startPending);
    flag("start-connected", u.startConnected);
    flag("silent", u.silent);
    flag("start-off", u.startOff);
    flag("no-scan-reply", u.noScanReply);
    flag("keep-mode", u.keepMode);
    flag("keep-flow", u.keepFlow);
    flag("refuse-uart", u.refuseUart);
    flag("later-rates", u.laterRates);
    if (u.chunkBytes > 0) {
        add("chunk", std::to_string(u.chunkBytes) + ":" + std::to_string(u.chunkGapMs));
    }
    if (u.echo) {
        add("echo-form", ChoiceWord("echo-form", u));
    }
    flag("noise", u.noise);
    number("neighbours", u.neighbours, plain.neighbours);
    number("reply-delay", u.replyDelayMs, plain.replyDelayMs);
    number("line-gap", u.lineGapMs, plain.lineGapMs);
    choice("status-mode", u.statusMode, plain.statusMode);
    choice("status-flow", u.statusFlow, plain.statusFlow);
    choice("uart-applies", u.uartApplies, plain.uartApplies);
    choice("connect-reply", u.connectReply, plain.connectReply);
    choice("auto-link-announce", u.announceAutoLink, plain.announceAutoLink);
    choice("hangup-idle", u.hangupIdle, plain.hangupIdle);
    choice("idle-word", u.idleWord, plain.idleWord);
    number("boot-ms", u.bootMs, plain.bootMs);
    choice("reset-reply", u.resetReply, plain.resetReply);
    choice("mode-acts", u.modeActs, plain.modeActs);
    choice("after-scan-link", u.afterScanLink, plain.afterScanLink);
    choice("escape-cr", u.escapeCr, plain.escapeCr);
    choice("ato-reply", u.atoReply, plain.atoReply);
    choice("s10-off-hides", u.s10OffHides, plain.s10OffHides);
    number("paging-ms", u.pagingMs, plain.pagingMs);
    choice("page-restart", u.pageRestart, plain.pageRestart);
    return out;
}

} // namespace norva::sim
