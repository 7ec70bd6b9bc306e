#include "sim/UnitOptionTable.h"

#include "sim/ModuleProfiles.h"
#include "sim/Text.h"
#include "sim/UartRates.h"

#include <sstream>
#include <utility>

namespace norva::sim {

namespace {

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

} // namespace

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
        {"refuse-uart", false,
         [](UnitOptions& u, const std::string&) { return Flag(&UnitOptions::refuseUart, u); }},
        {"echo", false,
         [](UnitOptions& u, const std::string&) { return Flag(&UnitOptions::echo, u); }},
        {"noise", false,
         [](UnitOptions& u, const std::string&) { return Flag(&UnitOptions::noise, u); }},
        {"start-mode", true,
         [](UnitOptions& u, const std::string& v) -> std::string {
             return ParseInt(v, 0, 3, &u.startMode) ? "" : "needs a mode 0 to 3";
         }},
        {"chunk", true,
         [](UnitOptions& u, const std::string& v) -> std::string {
             size_t colon = v.find(':');
             int bytes = 0;
             int gap = 0;
             if (colon == std::string::npos || !ParseInt(v.substr(0, colon), 1, 4096, &bytes) ||
                 !ParseInt(v.substr(colon + 1), 0, 60000, &gap)) {
                 return "needs BYTES:MS, for example 3:20";
             }
             u.chunkBytes = bytes;
             u.chunkGapMs = gap;
             return {};
         }},
        {"neighbours", true,
         [](UnitOptions& u, const std::string& v) -> std::string {
             return ParseInt(v, 0, 200, &u.neighbours) ? "" : "needs a count 0 to 200";
         }},
        {"reply-delay", true,
         [](UnitOptions& u, const std::string& v) -> std::string {
             return ParseInt(v, 0, 600000, &u.replyDelayMs) ? "" : "needs milliseconds";
         }},
        {"address", true,
         [](UnitOptions& u, const std::string& v) -> std::string {
             if (!IsAddress(v)) {
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
             return ParseInt(v, 0, 60000, &u.lineGapMs) ? "" : "needs milliseconds";
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
        {"boot-ms", true,
         [](UnitOptions& u, const std::string& v) -> std::string {
             return ParseInt(v, 0, 600000, &u.bootMs) ? "" : "needs milliseconds";
         }},
        {"reset-reply", true,
         Choice(&UnitOptions::resetReply, {{"after-restart", ResetReply::AfterRestart},
                                           {"before-restart", ResetReply::BeforeRestart}})},
        {"mode-acts", true,
         Choice(&UnitOptions::modeActs,
                {{"at-once", ModeActs::AtOnce}, {"restart", ModeActs::AtRestart}})},
        {"after-scan-link", true,
         Choice(&UnitOptions::afterScanLink,
                {{"standby", AfterScanLink::Standby}, {"pending", AfterScanLink::Pending}})},
        {"escape-cr", true,
         Choice(&UnitOptions::escapeCr,
                {{"ignore", EscapeCr::Ignore}, {"error", EscapeCr::Error}})},
        {"ato-reply", true,
         Choice(&UnitOptions::atoReply, {{"ok", AtoReply::Ok}, {"none", AtoReply::None}})},
        {"s10-off-hides", true,
         Choice(&UnitOptions::s10OffHides,
                {{"ok-error", S10OffHides::OkError}, {"all-results", S10OffHides::AllResults}})},
        {"paging-ms", true,
         [](UnitOptions& u, const std::string& v) -> std::
                                                      string {
                                                          return ParseInt(v, 0, 600000, &u.pagingMs)
                                                                     ? ""
                                                                     : "needs milliseconds";
                                                      }},
        {"page-restart", true, Choice(&UnitOptions::pageRestart, {{"yes", true}, {"no", false}})},
        {"flags", true,
         [](UnitOptions& u, const std::string& v) -> std::
                                                      string {
                                                          if (v.size() != 3 || v[1] != ',' ||
                                                              (v[0] != '0' && v[0] != '1') ||
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

bool ParseUart(const std::string& text, UartSetting* uart) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, ',');) {
        parts.push_back(part);
    }
    UartSetting u = *uart;
    if (parts.size() < 3 || parts.size() > 4 || !ParseInt(parts[0], 1, 1000000, &u.baud) ||
        !IsUartRate(u.baud) || parts[1].size() != 1 ||
        std::string("NEO").find(parts[1][0]) == std::string::npos ||
        !ParseInt(parts[2], 1, 2, &u.stopBits)) {
        return false;
    }
    u.parity = parts[1][0];
    if (parts.size() == 4) {
        int flow = 0;
        if (!ParseInt(parts[3], 0, 1, &flow)) {
            return false;
        }
        u.flow = flow != 0;
    }
    *uart = u;
    return true;
}

} // namespace norva::sim
