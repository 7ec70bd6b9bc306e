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

const std::vector<std::pair<std::string, EchoForm>>& EchoFormWords() {
    static const std::vector<std::pair<std::string, EchoForm>> words = {{"line", EchoForm::Line},
                                                                        {"no-cr", EchoForm::NoCr},
                                                                        {"crlf", EchoForm::CrLf},
                                                                        {"typed", EchoForm::Typed}};
    return words;
}

// A unit option that takes one of a few words, and says which word a unit's value is.
template <typename T>
UnitOption ChoiceOption(const char* name, T UnitOptions::*field,
                        std::vector<std::pair<std::string, T>> words) {
    return {name, true, Choice(field, words), false, [field, words](const UnitOptions& u) {
                for (const auto& [word, value] : words) {
                    if (u.*field == value) {
                        return word;
                    }
                }
                return std::string();
            }};
    // The analyzer loses track of the words copied into the two std::functions.
} // NOLINT(clang-analyzer-cplusplus.NewDeleteLeaks)

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
        {"later-rates", false,
         [](UnitOptions& u, const std::string&) { return Flag(&UnitOptions::laterRates, u); }},
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
        ChoiceOption("status-mode", &UnitOptions::statusMode,
                     {{"stored", StatusShows::Stored}, {"in-force", StatusShows::InForce}}),
        ChoiceOption("status-flow", &UnitOptions::statusFlow,
                     {{"stored", StatusShows::Stored}, {"in-force", StatusShows::InForce}}),
        ChoiceOption("uart-applies", &UnitOptions::uartApplies,
                     {{"restart", UartApplies::AtRestart}, {"at-once", UartApplies::AtOnce}}),
        {"echo-form", true,
         [](UnitOptions& u, const std::string& v) -> std::string {
             if (v == "none") {
                 u.echo = false;
                 return {};
             }
             std::string why = Choice(&UnitOptions::echoForm, EchoFormWords())(u, v);
             u.echo = u.echo || why.empty();
             return why.empty() ? why : why + " or none";
         },
         false,
         [](const UnitOptions& u) {
             for (const auto& [word, form] : EchoFormWords()) {
                 if (u.echo && u.echoForm == form) {
                     return word;
                 }
             }
             return std::string("none");
         }},
        {"line-gap", true,
         [](UnitOptions& u, const std::string& v) -> std::string {
             return ParseInt(v, 0, 60000, &u.lineGapMs) ? "" : "needs milliseconds";
         }},
        ChoiceOption("connect-reply", &UnitOptions::connectReply,
                     {{"with-address", ConnectReply::WithAddress}, {"bare", ConnectReply::Bare}}),
        ChoiceOption("auto-link-announce", &UnitOptions::announceAutoLink,
                     {{"yes", true}, {"no", false}}),
        ChoiceOption("hangup-idle", &UnitOptions::hangupIdle,
                     {{"ok", HangupIdle::Ok}, {"error", HangupIdle::Error}}),
        ChoiceOption("idle-word", &UnitOptions::idleWord,
                     {{"STANDBY", IdleWord::Standby}, {"IDLE", IdleWord::Idle}}),
        {"boot-ms", true,
         [](UnitOptions& u, const std::string& v) -> std::string {
             return ParseInt(v, 0, 600000, &u.bootMs) ? "" : "needs milliseconds";
         }},
        ChoiceOption("reset-reply", &UnitOptions::resetReply,
                     {{"after-restart", ResetReply::AfterRestart},
                      {"before-restart", ResetReply::BeforeRestart}}),
        ChoiceOption("mode-acts", &UnitOptions::modeActs,
                     {{"at-once", ModeActs::AtOnce}, {"restart", ModeActs::AtRestart}}),
        ChoiceOption("after-scan-link", &UnitOptions::afterScanLink,
                     {{"standby", AfterScanLink::Standby}, {"pending", AfterScanLink::Pending}}),
        ChoiceOption("escape-cr", &UnitOptions::escapeCr,
                     {{"ignore", EscapeCr::Ignore}, {"error", EscapeCr::Error}}),
        ChoiceOption("ato-reply", &UnitOptions::atoReply,
                     {{"ok", AtoReply::Ok}, {"none", AtoReply::None}}),
        ChoiceOption(
            "s10-off-hides", &UnitOptions::s10OffHides,
            {{"ok-error", S10OffHides::OkError}, {"all-results", S10OffHides::AllResults}}),
        {"paging-ms", true,
         [](UnitOptions& u, const std::string& v) -> std::string {
             return ParseInt(v, 0, 600000, &u.pagingMs) ? "" : "needs milliseconds";
         }},
        ChoiceOption("page-restart", &UnitOptions::pageRestart, {{"yes", true}, {"no", false}}),
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

std::string ChoiceWord(const std::string& name, const UnitOptions& unit) {
    for (const UnitOption& o : UnitOptionTable()) {
        if (o.word && name == o.name) {
            return o.word(unit);
        }
    }
    return {};
}

bool ParseUart(const std::string& text, UartSetting* uart) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, ',');) {
        parts.push_back(part);
    }
    UartSetting u = *uart;
    if (parts.size() < 3 || parts.size() > 4 || !ParseInt(parts[0], 1, 1000000, &u.baud) ||
        !IsStorableRate(u.baud, true) || parts[1].size() != 1 ||
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
