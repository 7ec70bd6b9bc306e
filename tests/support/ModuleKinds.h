#pragma once
// The kinds of module a pairing must work with: each sets, in norva-sim's
// units, the choices a real module may make differently (when a stored
// setting shows in the status line, when a UART setting takes effect, echo,
// pacing, how a link is announced, the idle hang-up and link word, boot time,
// when a stored mode acts, paging, result codes).

#include "sim/ModuleProfiles.h"
#include "sim/Simulator.h"

#include <cctype>
#include <ostream>
#include <string>
#include <vector>

namespace norva::test {

struct ModuleKind {
    std::string name;
    void (*set)(sim::UnitOptions& unit);
};

inline std::ostream& operator<<(std::ostream& out, const ModuleKind& kind) {
    return out << kind.name;
}

// A name gtest accepts for a test, from the kind's name.
inline std::string KindTestName(const ModuleKind& kind) {
    std::string name;
    for (char c : kind.name) {
        name += std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_';
    }
    return name;
}

inline const std::vector<ModuleKind>& ModuleKinds() {
    static const std::vector<ModuleKind> kinds = {
        {"default", [](sim::UnitOptions&) {}},
        {"strict", [](sim::UnitOptions& u) { sim::ApplyModuleProfile("strict", &u); }},
        {"at-once", [](sim::UnitOptions& u) { sim::ApplyModuleProfile("at-once", &u); }},
        {"at-once shown in force",
         [](sim::UnitOptions& u) {
             sim::ApplyModuleProfile("at-once", &u);
             u.statusMode = sim::StatusShows::InForce;
             u.statusFlow = sim::StatusShows::InForce;
         }},
        {"quiet links",
         [](sim::UnitOptions& u) {
             u.announceAutoLink = false;
             u.connectReply = sim::ConnectReply::Bare;
         }},
        {"echo without CR paced",
         [](sim::UnitOptions& u) {
             u.echo = true;
             u.echoForm = sim::EchoForm::NoCr;
             u.lineGapMs = 200;
             u.chunkBytes = 3;
             u.chunkGapMs = 2;
         }},
        {"echo CR LF slow",
         [](sim::UnitOptions& u) {
             u.echo = true;
             u.echoForm = sim::EchoForm::CrLf;
             u.replyDelayMs = 150;
         }},
        {"idle hang-up refused",
         [](sim::UnitOptions& u) {
             u.hangupIdle = sim::HangupIdle::Error;
             u.idleWord = sim::IdleWord::Idle;
         }},
        // What the manuals describe: OK before a 2 s restart, a mode that acts only after it,
        // paging with a restart after it, no answer to ATO, ERROR for the CR after +++.
        {"real slow", [](sim::UnitOptions& u) { sim::ApplyModuleProfile("real-slow", &u); }},
        {"boot 5 s",
         [](sim::UnitOptions& u) {
             sim::ApplyModuleProfile("real-slow", &u);
             u.bootMs = 5000;
         }},
        {"result codes off",
         [](sim::UnitOptions& u) {
             u.responsesOff = true;
             u.s10OffHides = sim::S10OffHides::AllResults;
         }},
    };
    return kinds;
}

inline void SetKind(sim::SimOptions& options, const ModuleKind& kind) {
    kind.set(options.unit[0]);
    kind.set(options.unit[1]);
}

} // namespace norva::test
