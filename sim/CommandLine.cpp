#include "sim/CommandLine.h"
#include "sim/ModuleProfiles.h"
#include "sim/Pairs.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <functional>
#include <sstream>

namespace norva::sim {

namespace {

bool ToInt(const std::string& text, int lo, int hi, int* value) {
    int v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || v < lo || v > hi) {
        return false;
    }
    *value = v;
    return true;
}

bool ParseUart(const std::string& text, UartSetting* uart) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, ',');) {
        parts.push_back(part);
    }
    UartSetting u = *uart;
    static const int kBauds[] = {1200,  2400,   4800,   9600,   19200, 38400,
                                 57600, 115200, 230400, 460800, 921600};
    if (parts.size() < 3 || parts.size() > 4 || !ToInt(parts[0], 1, 1000000, &u.baud) ||
        std::find(std::begin(kBauds), std::end(kBauds), u.baud) == std::end(kBauds) ||
        parts[1].size() != 1 || std::string("NEO").find(parts[1][0]) == std::string::npos ||
        !ToInt(parts[2], 1, 2, &u.stopBits)) {
        return false;
    }
    u.parity = parts[1][0];
    if (parts.size() == 4) {
        int flow = 0;
        if (!ToInt(parts[3], 0, 1, &flow)) {
            return false;
        }
        u.flow = flow != 0;
    }
    *uart = u;
    return true;
}

bool IsHexAddress(const std::string& text) {
    return text.size() == 12 &&
           text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

// A unit option applied to the units it names; returns an error text or "".
using UnitSetter = std::function<std::string(UnitOptions&, const std::string&)>;

struct UnitOption {
    const char* name;
    bool takesValue;
    UnitSetter set;
    // Applied before all other options, wherever it stands, so that they can override it.
    bool first = false;
};

std::string Flag(bool UnitOptions::*field, UnitOptions& u) {
    u.*field = true;
    return {};
}

// A unit option that takes one of a few words.
template <typename T>
UnitSetter Choice(T UnitOptions::*field, std::vector<std::pair<std::string, T>> words) {
    return [field, words](UnitOptions& u, const std::string& v) -> std::string {
        std::string all;
        for (size_t i = 0; i < words.size(); ++i) {
            if (v == words[i].first) {
                u.*field = words[i].second;
                return {};
            }
            all += (i == 0 ? "" : (i + 1 == words.size() ? " or " : ", ")) + words[i].first;
        }
        return "needs " + all;
    };
}

const std::vector<UnitOption>& UnitOptionTable() {
    static const std::vector<UnitOption> table = {
        {"old-firmware", false,
         [](UnitOptions& u, const std::string&) { return Flag(&UnitOptions::oldFirmware, u); }},
        {"responses-off", false,
         [](UnitOptions& u, const std::string&) { return Flag(&UnitOptions::responsesOff, u); }},
        {"start-pending", false,
         [](UnitOptions& u, const std::string&) { return Flag(&UnitOptions::startPending, u); }},
        {"start-connected", false,
         [](UnitOptions& u, const std::string&) { return Flag(&UnitOptions::startConnected, u); }},
        {"silent", false,
         [](UnitOptions& u, const std::string&) { return Flag(&UnitOptions::silent, u); }},
        {"start-off", false,
         [](UnitOptions& u, const std::string&) { return Flag(&UnitOptions::startOff, u); }},
        {"no-scan-reply", false,
         [](UnitOptions& u, const std::string&) { return Flag(&UnitOptions::noScanReply, u); }},
        {"keep-mode", false,
         [](UnitOptions& u, const std::string&) { return Flag(&UnitOptions::keepMode, u); }},
        {"keep-flow", false,
         [](UnitOptions& u, const std::string&) { return Flag(&UnitOptions::keepFlow, u); }},
        {"echo", false,
         [](UnitOptions& u, const std::string&) { return Flag(&UnitOptions::echo, u); }},
        {"noise", false,
         [](UnitOptions& u, const std::string&) { return Flag(&UnitOptions::noise, u); }},
        {"start-mode", true,
         [](UnitOptions& u, const std::string& v) -> std::string {
             return ToInt(v, 0, 3, &u.startMode) ? "" : "needs a mode 0 to 3";
         }},
        {"chunk", true,
         [](UnitOptions& u, const std::string& v) -> std::string {
             size_t colon = v.find(':');
             int bytes = 0;
             int gap = 0;
             if (colon == std::string::npos || !ToInt(v.substr(0, colon), 1, 4096, &bytes) ||
                 !ToInt(v.substr(colon + 1), 0, 60000, &gap)) {
                 return "needs BYTES:MS, for example 3:20";
             }
             u.chunkBytes = bytes;
             u.chunkGapMs = gap;
             return {};
         }},
        {"neighbours", true,
         [](UnitOptions& u, const std::string& v) -> std::string {
             return ToInt(v, 0, 200, &u.neighbours) ? "" : "needs a count 0 to 200";
         }},
        {"reply-delay", true,
         [](UnitOptions& u, const std::string& v) -> std::string {
             return ToInt(v, 0, 600000, &u.replyDelayMs) ? "" : "needs milliseconds";
         }},
        {"address", true,
         [](UnitOptions& u, const std::string& v) -> std::string {
             if (!IsHexAddress(v)) {
                 return "needs 12 hex digits";
             }
             u.address = v;
             return {};
         }},
        {"name", true,
         [](UnitOptions& u, const std::string& v) -> std::string {
             if (v.empty() || v.size() > 64 || v.find_first_of("\r\n") != std::string::npos) {
                 return "needs 1 to 64 characters on one line";
             }
             u.name = v;
             return {};
         }},
        {"uart", true,
         [](UnitOptions& u, const std::string& v) -> std::string {
             return ParseUart(v, &u.uart) ? ""
                                          : "needs BAUD,PARITY,STOPBITS[,FLOW], e.g. 9600,N,1,1";
         }},
        {"module-profile", true,
         [](UnitOptions& u, const std::string& v) -> std::string {
             return ApplyModuleProfile(v, &u) ? "" : "needs " + ModuleProfileNames();
         },
         true},
        {"status-mode", true,
         Choice(&UnitOptions::statusMode,
                {{"stored", StatusShows::Stored}, {"in-force", StatusShows::InForce}})},
        {"status-flow", true,
         Choice(&UnitOptions::statusFlow,
                {{"stored", StatusShows::Stored}, {"in-force", StatusShows::InForce}})},
        {"uart-applies", true,
         Choice(&UnitOptions::uartApplies,
                {{"restart", UartApplies::AtRestart}, {"at-once", UartApplies::AtOnce}})},
        {"echo-form", true,
         [](UnitOptions& u, const std::string& v) -> std::string {
             if (v == "none") {
                 u.echo = false;
                 return {};
             }
             std::string why = Choice(&UnitOptions::echoForm, {{"line", EchoForm::Line},
                                                               {"no-cr", EchoForm::NoCr},
                                                               {"crlf", EchoForm::CrLf},
                                                               {"typed", EchoForm::Typed}})(u, v);
             u.echo = u.echo || why.empty();
             return why.empty() ? why : why + " or none";
         }},
        {"line-gap", true,
         [](UnitOptions& u, const std::string& v) -> std::string {
             return ToInt(v, 0, 60000, &u.lineGapMs) ? "" : "needs milliseconds";
         }},
        {"connect-reply", true,
         Choice(&UnitOptions::connectReply,
                {{"with-address", ConnectReply::WithAddress}, {"bare", ConnectReply::Bare}})},
        {"auto-link-announce", true,
         Choice(&UnitOptions::announceAutoLink, {{"yes", true}, {"no", false}})},
        {"hangup-idle", true,
         Choice(&UnitOptions::hangupIdle, {{"ok", HangupIdle::Ok}, {"error", HangupIdle::Error}})},
        {"idle-word", true,
         Choice(&UnitOptions::idleWord,
                {{"STANDBY", IdleWord::Standby}, {"IDLE", IdleWord::Idle}})},
        {"flags", true,
         [](UnitOptions& u, const std::string& v) -> std::string {
             if (v.size() != 3 || v[1] != ',' || (v[0] != '0' && v[0] != '1') ||
                 (v[2] != '0' && v[2] != '1')) {
                 return "needs F5,F6 with each 0 or 1";
             }
             u.flag5 = v[0] == '1';
             u.flag6 = v[2] == '1';
             return {};
         }},
    };
    return table;
}

bool TimingOption(const std::string& name, int SimTiming::** field) {
    static const std::pair<const char*, int SimTiming::*> kTiming[] = {
        {"inquiry-ms", &SimTiming::inquiryMs},          {"connect-ms", &SimTiming::connectMs},
        {"connect-fail-ms", &SimTiming::connectFailMs}, {"restart-ms", &SimTiming::restartMs},
        {"escape-guard-ms", &SimTiming::escapeGuardMs},
    };
    for (const auto& [n, f] : kTiming) {
        if (name == n) {
            *field = f;
            return true;
        }
    }
    return false;
}

// The requests a client may send, with their arguments checked; "" when well formed. The pair's
// number is checked against the running pairs by the simulator, which alone knows them.
std::string RequestError(std::vector<std::string> words) {
    static const std::pair<const char*, size_t> kForms[] = {
        {"verdict", 0}, {"power-cycle", 0}, {"status", 0}, {"quit", 0},  {"help", 0},
        {"attach", 1},  {"unplug", 1},      {"replug", 1}, {"power", 2},
    };
    if (words.empty()) {
        return "empty request";
    }
    const bool forPair = words[0] == "pair";
    if (forPair) {
        int pair = 0;
        if (words.size() < 2 || !ToInt(words[1], 1, kMaxPairs, &pair)) {
            return "pair needs a pair number, 1 to " + std::to_string(kMaxPairs);
        }
        if (words.size() < 3) {
            return "pair P needs a request, e.g. pair 2 unplug 1";
        }
        words.erase(words.begin(), words.begin() + 2);
    }
    const std::string& word = words[0];
    for (const auto& [name, args] : kForms) {
        if (word != name) {
            continue;
        }
        if (forPair && (word == "quit" || word == "help")) {
            return word + " is for the whole simulator, not for one pair";
        }
        int unit = 0;
        if (args >= 1 && (words.size() < 2 || !ToInt(words[1], 1, 2, &unit))) {
            return word + " needs a unit, 1 or 2";
        }
        if (args == 2 && (words.size() < 3 || (words[2] != "on" && words[2] != "off"))) {
            return "power needs a unit and on or off, e.g. power 2 off";
        }
        return words.size() > args + 1 ? word + " takes " + std::to_string(args) + " arguments"
                                       : std::string();
    }
    return "unknown request \"" + word + "\" (try help)";
}

std::string PortText(const Simulator& sim, int unit) {
    std::string path = sim.DevicePath(unit);
    std::string text = path.empty() ? "unplugged" : path;
    std::string link = sim.LinkPath(unit);
    if (!link.empty() && !path.empty()) {
        text += " (link " + link + ")";
    }
    return text;
}

std::string SnapshotText(const Simulator& sim, int unit) {
    UnitSnapshot s = sim.Snapshot(unit);
    std::ostringstream out;
    out << "unit " << unit << " " << s.name << " (" << s.address << "): ";
    if (!s.powered) {
        out << (s.switchedOn ? "" : "switched off, ") << (s.plugged ? "" : "unplugged, ")
            << "no power, ";
    }
    out << "mode " << s.mode << ", " << LinkStateText(s.link)
        << (s.dataMode ? " in data mode" : " in command mode")
        << (s.restarting ? ", restarting" : "") << ", S10=" << s.s10 << ", S24=" << s.s24
        << ", UART stored " << DescribeUart(s.stored) << " (in effect " << DescribeUart(s.active)
        << "), peer " << (s.peer.empty() ? "none" : s.peer) << ", " << s.commands
        << " commands, last \"" << s.lastCommand << "\"\n";
    return out.str();
}

} // namespace

std::string UsageText() {
    return R"(Usage:
  norva-sim [options] [-- command [arguments...]]
  norva-sim verdict|power-cycle|status|quit|attach N --control SOCKET
  norva-sim unplug N|replug N|power N on|off --control SOCKET
  norva-sim pair P REQUEST --control SOCKET
  norva-sim --help|--version

Simulates two Norva-BX Bluetooth serial modules, each on a pseudo-terminal, and prints
the device paths and the NORVAWIZARD_COM<n>=<path> lines a wizard or tool needs.
With "-- command", runs the command with those variables exported and stops when it
ends, exiting with its status.

Port options:
  --pairs K             simulate K independent pairs (1-16); pair P has units 2P-1
                        and 2P: COM(2P-1) and COM(2P) (one port: COM P), addresses
                        00A0961B2C<2P-1>/<2P> in hex, names Norva-BX<2P-1>/<2P>,
                        links unit<2P-1>, unit<2P> (one port: com<P>), trace FILE.P
  --one-port            one pty (COM1) for both units; unit 1 is attached first
  --follow              one port, switched automatically: after unit 1 accepts
                        AT+BTSCAN the next open finds unit 2; after unit 2 accepts
                        AT+UARTCONFIG the next open finds unit 1 (implies --one-port)
  --no-line-check       answer whatever baud rate and stop bits the computer uses
  --start-paired        configured earlier: unit 1 in mode 2 remembering unit 2, unit 2
                        in mode 1 remembering unit 1, each with its --uart; not linked
  --link-dir DIR        keep a link per port in DIR (unit1, unit2; one port: com1)
                        that follows the port across replugs; COM lines name the links
  --trace FILE          write a JSON-lines trace of all bytes and events to FILE
  --control SOCKET      accept control requests on this unix socket
  --inquiry-ms MS       whole inquiry (default 1500)
  --connect-ms MS       ATD: from OK to CONNECT (default 300)
  --connect-fail-ms MS  ATD: from OK to ERROR when nobody answers (default 2000)
  --restart-ms MS       ATZ: restart time before OK (default 150)
  --escape-guard-ms MS  "+++" without CR counts after this much silence (default 500)

Unit options (as written they apply to both units of every pair; prefix with
--unit1- or --unit2- for one unit, for example --unit2-old-firmware or
--unit1-chunk 3:20; --address and --name only without --pairs):
  --old-firmware        6-field status line; 4-argument AT+UARTCONFIG gives ERROR
  --responses-off       start with S10=0: no OK/ERROR lines
  --start-pending       start discoverable and connectable (as after AT+BTSCAN,3,0)
  --start-connected     start linked with the other unit, both in data mode
  --start-mode N        start in operation mode N (0-3)
  --silent              hear and answer nothing, also after power off and on
  --start-off           start unpowered (see "power N on")
  --no-scan-reply       swallow AT+BTSCAN: no answer and no scan; all else answers
  --keep-mode           answer AT+BTMODE with OK but keep the mode it had
  --keep-flow           answer AT+UARTCONFIG with OK but keep the flow control it had
  --chunk N:MS          send replies in pieces of N bytes, MS milliseconds apart
  --echo                send each command line back unframed before its reply
  --echo-form FORM      echo as line ("AT\r", the form of --echo), no-cr ("AT"), crlf
                        ("AT\r\n") or typed (each byte as it comes); none: no echo
  --noise               lone CR/LF before reply lines, unframed junk after results
  --neighbours K        an inquiry also finds K other devices (the first one has a
                        comma in its name)
  --reply-delay MS      wait MS milliseconds before each reply
  --line-gap MS         wait MS milliseconds between the lines of one reply (status
                        or value line and its OK, the OK of ATH and DISCONNECT)
  --address HEX12       the unit's address (default 00A0961B2C01 / 00A0961B2C02)
  --name TEXT           the unit's name (default Norva-BX01 / Norva-BX02)
  --uart B,P,S[,F]      stored UART setting, e.g. 115200,E,2,0 (default 9600,N,1,1)
  --flags F5,F6         the fifth and sixth status fields (default 0,0)

Module choices (unit options too; where a real module may do either, the first
value is the default):
  --status-mode stored|in-force
                        the status line shows a stored operation mode at once, or
                        only once a restart has put it in force
  --status-flow stored|in-force
                        the same for the status line's flow-control field
  --uart-applies restart|at-once
                        a stored UART setting takes effect at the next restart, or
                        right after its OK (the computer must then reopen at it)
  --connect-reply with-address|bare
                        "CONNECT <peer>" or "CONNECT", after ATD and at an
                        automatic link
  --auto-link-announce yes|no
                        whether a link made by itself at a restart is announced
  --hangup-idle ok|error
                        ATH without a link is answered OK or ERROR
  --idle-word STANDBY|IDLE
                        the status line's link word for an idle unit
  --module-profile NAME a named set of these choices, applied before the switches
                        themselves: default; strict (mode and flow control shown
                        only once in force, UART at the restart, bare CONNECT,
                        echo); at-once (UART in effect right after its OK)

Control requests (on the socket, or typed on standard input when no command runs):
  verdict      each unit's stored mode, UART and remembered peer, and whether the
               pair would auto-connect after a power cycle (client exit status:
               0 paired, 3 not paired)
  power-cycle  restart both units; a paired couple connects
  attach N     one-port mode: the next open of the port finds unit N
  unplug N     pull unit N's adapter: its port hangs up and goes, the unit loses
               power (one-port mode: the port and the unit attached to it)
  replug N     plug it back: a fresh pty, the link re-pointed, the unit starts
  power N off  switch unit N off: silent, its link drops (the partner hears
               DISCONNECT)
  power N on   switch it on: it starts from its stored settings (a paired unit
               links by itself when its peer listens)
  status       state of both units and of the port
  quit         stop the simulator
  help         this list
  pair P REQUEST
               with --pairs: the request for pair P alone, its units numbered 1
               and 2 (pair 2 unplug 1); verdict, power-cycle and status without
               it cover every pair, attach, unplug, replug and power need it

Other options:
  -h, --help            show this help
  --version             show the version

Exit status: 0 success (a client: ok or paired), 1 the simulator failed or the
request was refused, 2 bad command line or no simulator answers on the socket,
3 not paired (verdict); with "-- command", the command's status (127 when it
cannot run); 128+N when stopped by signal N.
)";
}

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine* out, std::string* error) {
    CommandLine cl;
    auto fail = [error](const std::string& why) {
        *error = why;
        return false;
    };
    size_t i = 0;
    if (!args.empty() && args[0].compare(0, 1, "-") != 0 && args[0] != "help") {
        // A control request: its words run up to the first option.
        std::vector<std::string> words;
        while (i < args.size() && args[i].compare(0, 2, "--") != 0) {
            words.push_back(args[i++]);
        }
        std::string why = RequestError(words);
        if (!why.empty()) {
            return fail(why.compare(0, 8, "unknown ") == 0
                            ? "unexpected argument \"" + args[0] + "\" (see --help)"
                            : why);
        }
        cl.mode = CommandLine::Mode::Client;
        for (const std::string& w : words) {
            cl.request += (cl.request.empty() ? "" : " ") + w;
        }
    }
    // Two passes: profiles first, so that a switch overrides a profile wherever it stands. The
    // rest of the line is read again in the second pass, which changes nothing it set.
    const size_t firstOption = i;
    for (int pass = 0; pass < 2; ++pass)
        for (i = firstOption; i < args.size(); ++i) {
            const std::string& a = args[i];
            auto value = [&](std::string* v) {
                if (i + 1 >= args.size()) {
                    return false;
                }
                *v = args[++i];
                return true;
            };
            if (a == "--") {
                if (cl.mode == CommandLine::Mode::Client) {
                    return fail("a control request runs no command");
                }
                cl.command.assign(args.begin() + static_cast<long>(i) + 1, args.end());
                if (cl.command.empty()) {
                    return fail("\"--\" must be followed by a command");
                }
                break;
            }
            if (a == "-h" || a == "--help" || a == "help") {
                cl.mode = CommandLine::Mode::Help;
                *out = cl;
                return true;
            }
            if (a == "--version") {
                cl.mode = CommandLine::Mode::Version;
                *out = cl;
                return true;
            }
            if (a == "--one-port") {
                cl.sim.onePort = true;
                continue;
            }
            if (a == "--follow") {
                cl.sim.follow = true;
                cl.sim.onePort = true;
                continue;
            }
            if (a == "--no-line-check") {
                cl.sim.checkLineSettings = false;
                continue;
            }
            if (a == "--pairs") {
                std::string v;
                if (!value(&v) || !ToInt(v, 1, kMaxPairs, &cl.pairs)) {
                    return fail("--pairs needs a count, 1 to " + std::to_string(kMaxPairs));
                }
                continue;
            }
            if (a == "--start-paired") {
                cl.sim.startPaired = true;
                continue;
            }
            if (a == "--trace" || a == "--control" || a == "--link-dir") {
                std::string v;
                if (!value(&v) || v.empty()) {
                    return fail(a +
                                (a == "--link-dir" ? " needs a directory" : " needs a file name"));
                }
                (a == "--trace" ? cl.sim.tracePath
                                : (a == "--control" ? cl.controlPath : cl.sim.linkDir)) = v;
                continue;
            }
            if (a.compare(0, 2, "--") != 0) {
                return fail("unexpected argument \"" + a + "\" (see --help)");
            }
            std::string name = a.substr(2);
            int SimTiming::*timingField = nullptr;
            if (TimingOption(name, &timingField)) {
                std::string v;
                if (!value(&v) || !ToInt(v, 0, 600000, &(cl.sim.timing.*timingField))) {
                    return fail(a + " needs milliseconds");
                }
                continue;
            }
            int first = 0;
            int last = 1;
            if (name.compare(0, 6, "unit1-") == 0) {
                last = 0;
                name = name.substr(6);
            } else if (name.compare(0, 6, "unit2-") == 0) {
                first = 1;
                name = name.substr(6);
            }
            const UnitOption* option = nullptr;
            for (const UnitOption& o : UnitOptionTable()) {
                if (name == o.name) {
                    option = &o;
                }
            }
            if (!option) {
                return fail("unknown option " + a + " (see --help)");
            }
            std::string v;
            if (option->takesValue && !value(&v)) {
                return fail(a + " needs a value");
            }
            if (option->first != (pass == 0)) {
                continue;
            }
            for (int u = first; u <= last; ++u) {
                std::string why = option->set(cl.sim.unit[u], v);
                if (!why.empty()) {
                    return fail(a + " " + why);
                }
            }
        }
    if (cl.mode == CommandLine::Mode::Client && cl.controlPath.empty()) {
        return fail(cl.request + " needs --control SOCKET");
    }
    for (const UnitOptions& u : cl.sim.unit) {
        if (cl.pairs > 1 && (!u.address.empty() || !u.name.empty())) {
            return fail("--address and --name would give every pair the same identity: with "
                        "--pairs each pair has its own");
        }
    }
    if (IsHexAddress(cl.sim.unit[0].address) && IsHexAddress(cl.sim.unit[1].address)) {
        std::string a = cl.sim.unit[0].address;
        std::string b = cl.sim.unit[1].address;
        for (auto* s : {&a, &b}) {
            for (char& c : *s) {
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            }
        }
        if (a == b) {
            return fail("the two units need different addresses");
        }
    }
    *out = cl;
    return true;
}

std::vector<std::string> ComAssignments(const std::vector<Simulator*>& pairs) {
    std::vector<std::string> lines;
    int com = 0;
    for (const Simulator* sim : pairs) {
        for (int unit = 1; unit <= (sim->Options().onePort ? 1 : 2); ++unit) {
            std::string link = sim->LinkPath(unit);
            lines.push_back("NORVAWIZARD_COM" + std::to_string(++com) + "=" +
                            (link.empty() ? sim->DevicePath(unit) : link));
        }
    }
    return lines;
}

namespace {

// A well-formed request for one pair, as a simulator of a single pair answers it.
std::string PairRequest(Simulator& sim, const std::vector<std::string>& words, bool* quit) {
    const std::string& word = words[0];
    const int unit = words.size() > 1 ? std::stoi(words[1]) : 0;
    const bool onePort = sim.Options().onePort;
    const std::string who = "unit " + (words.size() > 1 ? words[1] : std::string());
    if (word == "unplug") {
        const std::string what =
            onePort ? "the port (unit " + std::to_string(sim.Attached()) + ")" : who + "'s adapter";
        if (!sim.Unplug(unit)) {
            return "error: " + what + " is already unplugged\n";
        }
        return "ok\n" + what + " unplugged: the port hung up, the unit has no power\n";
    }
    if (word == "replug") {
        if (!sim.Replug(unit)) {
            return std::string("error: ") + (onePort ? "the port" : who) +
                   " is plugged in already, or no new pty could be made\n";
        }
        return "ok\n" + std::string(onePort ? "the port" : who) + " plugged in again on " +
               PortText(sim, unit) + "\n";
    }
    if (word == "power") {
        const bool on = words[2] == "on";
        if (!sim.SetPower(unit, on)) {
            return "error: " + who + " is switched " + words[2] + " already\n";
        }
        std::string text = "ok\n" + who + " switched " + words[2];
        if (on && !sim.Snapshot(unit).plugged) {
            text += "; it starts when its adapter is plugged in again";
        }
        return text + "\n";
    }
    if (word == "verdict") {
        Verdict v = sim.GetVerdict();
        return std::string(v.wouldAutoConnect ? "paired\n" : "not-paired\n") + v.Describe();
    }
    if (word == "power-cycle") {
        sim.PowerCycle();
        return "ok\nboth units restarted\n";
    }
    if (word == "attach") {
        if (!onePort) {
            return "error: attach works in one-port mode only\n";
        }
        sim.Attach(unit);
        return "ok\nthe next open of the port finds unit " + std::to_string(unit) + "\n";
    }
    if (word == "status") {
        std::string text = "ok\n" + SnapshotText(sim, 1) + SnapshotText(sim, 2);
        if (sim.Options().onePort) {
            text += "port " + PortText(sim, 1) + ": unit " + std::to_string(sim.Attached()) +
                    " attached, the next open finds unit " + std::to_string(sim.NextAttached()) +
                    "\n";
        } else {
            text += "unit 1 on " + PortText(sim, 1) + ", unit 2 on " + PortText(sim, 2) + "\n";
        }
        return text;
    }
    if (word == "quit") {
        *quit = true;
        return "ok\nstopping\n";
    }
    if (word == "help") {
        return "ok\nverdict, power-cycle, attach N, unplug N, replug N, power N on|off, status, "
               "quit, help\n";
    }
    return "error: unknown request \"" + word + "\" (try help)\n";
}

// The answer's text below its first line, each line marked with the pair it belongs to.
std::string PairBody(const std::string& answer, int pair) {
    std::string text;
    std::istringstream in(answer.substr(answer.find('\n') + 1));
    for (std::string line; std::getline(in, line);) {
        text += "pair " + std::to_string(pair) + ": " + line + "\n";
    }
    return text;
}

std::string AllPairsRequest(const std::vector<Simulator*>& pairs,
                            const std::vector<std::string>& words, bool* quit) {
    const std::string& word = words[0];
    const int count = static_cast<int>(pairs.size());
    if (word == "verdict") {
        std::string text;
        int paired = 0;
        for (int p = 1; p <= count; ++p) {
            Verdict v = pairs[p - 1]->GetVerdict();
            paired += v.wouldAutoConnect ? 1 : 0;
            text += PairBody("\n" + v.Describe(), p);
        }
        return std::string(paired == count ? "paired\n" : "not-paired\n") + text +
               "verdict: " + std::to_string(paired) + " of " + std::to_string(count) +
               " pairs would auto-connect after a power cycle\n";
    }
    if (word == "status" || word == "power-cycle") {
        std::string text;
        for (int p = 1; p <= count; ++p) {
            text += PairBody(PairRequest(*pairs[p - 1], words, quit), p);
        }
        return "ok\n" + text;
    }
    if (word == "quit") {
        return PairRequest(*pairs[0], words, quit);
    }
    if (word == "help") {
        return "ok\nverdict, power-cycle, status, quit, help; for one pair: pair P followed by "
               "verdict, power-cycle, status, attach N, unplug N, replug N or power N on|off\n";
    }
    std::string request;
    for (const std::string& w : words) {
        request += " " + w;
    }
    return "error: " + word + " needs a pair with " + std::to_string(count) +
           " pairs running, e.g. pair " + std::to_string(count) + request + "\n";
}

} // namespace

std::string HandleControlRequest(const std::vector<Simulator*>& pairs, const std::string& request,
                                 bool* quit) {
    std::istringstream in(request);
    std::vector<std::string> words;
    for (std::string w; in >> w;) {
        words.push_back(w);
    }
    if (std::string why = RequestError(words); !why.empty()) {
        return "error: " + why + "\n";
    }
    if (words[0] == "pair") {
        const int pair = std::stoi(words[1]);
        if (pair > static_cast<int>(pairs.size())) {
            return "error: there is no pair " + words[1] + " (pairs 1 to " +
                   std::to_string(pairs.size()) + " run)\n";
        }
        std::string answer = PairRequest(
            *pairs[pair - 1], std::vector<std::string>(words.begin() + 2, words.end()), quit);
        return answer.substr(0, answer.find('\n') + 1) + PairBody(answer, pair);
    }
    return pairs.size() == 1 ? PairRequest(*pairs[0], words, quit)
                             : AllPairsRequest(pairs, words, quit);
}

int ExitStatusOfAnswer(const std::string& answer) {
    if (answer.compare(0, 3, "ok\n") == 0 || answer.compare(0, 7, "paired\n") == 0) {
        return 0;
    }
    if (answer.compare(0, 11, "not-paired\n") == 0) {
        return 3;
    }
    return 1;
}

} // namespace norva::sim
