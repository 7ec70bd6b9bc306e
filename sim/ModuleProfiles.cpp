#include "sim/ModuleProfiles.h"

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

} // namespace

const std::vector<ModuleProfile>& ModuleProfiles() {
    static const std::vector<ModuleProfile> profiles = {
        {"default", "the simulator's own choices", Default},
        {"strict",
         "status shows mode and flow control in force, UART at the restart, bare CONNECT, echo",
         Strict},
        {"at-once", "a stored UART takes effect right after its OK", AtOnce},
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

} // namespace norva::sim
