#include "sim/ControlRequests.h"

#include "sim/Pairs.h"
#include "sim/Text.h"

#include <sstream>

namespace norva::sim {

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
        if (words.size() < 2 || !ParseInt(words[1], 1, kMaxPairs, &pair)) {
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
        if (args >= 1 && (words.size() < 2 || !ParseInt(words[1], 1, 2, &unit))) {
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

namespace {

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
