#include "sim/CommandLine.h"

#include "sim/ControlRequests.h"
#include "sim/ModuleProfiles.h"
#include "sim/Pairs.h"
#include "sim/Text.h"
#include "sim/UnitOptionTable.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <functional>
#include <map>

namespace norva::sim {

namespace {

// CLI11 reads the words; the checks and the texts of the errors are ours. Options act in the
// order they stand, as CLI11 meets them, except the unit options marked first (profiles), which
// are applied before all other unit options so that those can override them.
class Parser {
public:
    Parser() {
        m_app.set_help_flag();
        m_app.allow_extras();
        m_app.add_option("request", m_words);
        Flag("-h,--help", [this] { Stop(CommandLine::Mode::Help); });
        Flag("--version", [this] { Stop(CommandLine::Mode::Version); });
        AddPortOptions();
        AddTimingOptions();
        AddUnitOptions();
        Value("--random-profile", "needs a seed, a whole number from 0",
              [this](const std::string& v) {
                  std::uint64_t seed = 0;
                  const char* end = v.data() + v.size();
                  if (v.empty() || std::from_chars(v.data(), end, seed).ptr != end) {
                      return false;
                  }
                  m_cl.randomProfile = seed;
                  return true;
              });
    }

    bool Parse(const std::vector<std::string>& args, CommandLine* out, std::string* error);

private:
    struct UnitSetting {
        const UnitOption* option;
        std::string name; // as written
        int first;        // units first..last, 0-based
        int last;
        std::string value;
    };

    void Flag(const std::string& name, std::function<void()> act) {
        m_app.add_flag_callback(name, std::move(act))->trigger_on_parse();
    }

    // An option with a value; `take` returns false for a value it refuses, and the error is
    // "<name> <needs>", as it is when the value is missing.
    void Value(const std::string& name, const std::string& needs,
               const std::function<bool(const std::string&)>& take) {
        m_needs[name] = needs;
        m_app
            .add_option_function<std::string>(name,
                                              [this, name, needs, take](const std::string& v) {
                                                  if (!take(v)) {
                                                      Reject(name + " " + needs);
                                                  }
                                              })
            ->trigger_on_parse();
    }

    void Reject(const std::string& why) {
        if (m_why.empty()) {
            m_why = why;
        }
        throw CLI::ValidationError(why);
    }

    // --help and --version answer at once, whatever follows them.
    void Stop(CommandLine::Mode mode) {
        m_cl.mode = mode;
        throw CLI::Success();
    }

    void AddPortOptions() {
        Flag("--one-port", [this] { m_cl.sim.onePort = true; });
        Flag("--follow", [this] {
            m_cl.sim.follow = true;
            m_cl.sim.onePort = true;
        });
        Flag("--no-line-check", [this] { m_cl.sim.checkLineSettings = false; });
        Flag("--start-paired", [this] { m_cl.sim.startPaired = true; });
        Value("--pairs", "needs a count, 1 to " + std::to_string(kMaxPairs),
              [this](const std::string& v) { return ParseInt(v, 1, kMaxPairs, &m_cl.pairs); });
        for (const auto& entry :
             {std::pair{"--trace", &m_cl.sim.tracePath}, std::pair{"--control", &m_cl.controlPath},
              std::pair{"--link-dir", &m_cl.sim.linkDir}}) {
            const std::string name = entry.first;
            std::string* field = entry.second;
            Value(name, name == "--link-dir" ? "needs a directory" : "needs a file name",
                  [field](const std::string& v) {
                      *field = v;
                      return !v.empty();
                  });
        }
    }

    void AddTimingOptions() {
        for (const auto& entry : {std::pair{"--inquiry-ms", &SimTiming::inquiryMs},
                                  std::pair{"--connect-ms", &SimTiming::connectMs},
                                  std::pair{"--connect-fail-ms", &SimTiming::connectFailMs},
                                  std::pair{"--restart-ms", &SimTiming::restartMs},
                                  std::pair{"--escape-guard-ms", &SimTiming::escapeGuardMs}}) {
            int SimTiming::*field = entry.second;
            Value(entry.first, "needs milliseconds", [this, field](const std::string& v) {
                return ParseInt(v, 0, 600000, &(m_cl.sim.timing.*field));
            });
        }
    }

    // Each unit option three times: for both units, --unit1-NAME and --unit2-NAME.
    void AddUnitOptions() {
        for (const UnitOption& option : UnitOptionTable()) {
            for (int scope = 0; scope < 3; ++scope) {
                const std::string name = std::string("--") +
                                         (scope == 0 ? "" : (scope == 1 ? "unit1-" : "unit2-")) +
                                         option.name;
                const int first = scope == 2 ? 1 : 0;
                const int last = scope == 1 ? 0 : 1;
                if (!option.takesValue) {
                    Flag(name, [this, &option, name, first, last] {
                        m_units.push_back({&option, name, first, last, {}});
                    });
                    continue;
                }
                m_needs[name] = "needs a value";
                m_app
                    .add_option_function<std::string>(
                        name,
                        [this, &option, name, first, last](const std::string& v) {
                            m_units.push_back({&option, name, first, last, v});
                        })
                    ->trigger_on_parse();
            }
        }
    }

    // The unit options as read, a random profile and named profiles first; false with m_why set
    // for a refused value.
    bool ApplyUnitSettings() {
        if (m_cl.randomProfile) {
            ApplyRandomProfile(*m_cl.randomProfile, 1, &m_cl.sim.unit[0]);
            ApplyRandomProfile(*m_cl.randomProfile, 2, &m_cl.sim.unit[1]);
        }
        for (bool profiles : {true, false}) {
            for (const UnitSetting& s : m_units) {
                if (s.option->first != profiles) {
                    continue;
                }
                for (int u = s.first; u <= s.last; ++u) {
                    if (std::string why = s.option->set(m_cl.sim.unit[u], s.value); !why.empty()) {
                        m_why = s.name + " " + why;
                        return false;
                    }
                }
            }
        }
        return true;
    }

    // What an error of CLI11's own says in our words.
    std::string Explain(const CLI::ParseError& e) const {
        if (!m_why.empty()) {
            return m_why;
        }
        // "--pairs: 1 required TEXT missing" and the like: a value is missing.
        std::string what = e.what();
        const std::string name = what.substr(0, what.find(':'));
        if (auto it = m_needs.find(name); it != m_needs.end()) {
            return name + " " + it->second;
        }
        return what;
    }

    CLI::App m_app{"norva-sim"};
    CommandLine m_cl;
    std::vector<std::string> m_words;
    std::vector<UnitSetting> m_units;
    std::map<std::string, std::string> m_needs;
    std::string m_why;
};

bool Parser::Parse(const std::vector<std::string>& args, CommandLine* out, std::string* error) {
    auto fail = [error](const std::string& why) {
        *error = why;
        return false;
    };
    // What follows "--" is the command to run, whatever it looks like.
    const auto dashes = std::find(args.begin(), args.end(), "--");
    std::vector<std::string> reversed(std::make_reverse_iterator(dashes), args.rend());
    try {
        m_app.parse(reversed);
    } catch (const CLI::Success&) {
        *out = m_cl;
        return true;
    } catch (const CLI::ParseError& e) {
        return fail(Explain(e));
    }
    const std::vector<std::string> extras = m_app.remaining();
    if (!extras.empty()) {
        return fail(extras[0].compare(0, 1, "-") == 0
                        ? "unknown option " + extras[0] + " (see --help)"
                        : "unexpected argument \"" + extras[0] + "\" (see --help)");
    }
    if (m_words.size() == 1 && m_words[0] == "help") {
        m_cl.mode = CommandLine::Mode::Help;
        *out = m_cl;
        return true;
    }
    if (!m_words.empty()) {
        if (std::string why = RequestError(m_words); !why.empty()) {
            return fail(why.compare(0, 8, "unknown ") == 0
                            ? "unexpected argument \"" + m_words[0] + "\" (see --help)"
                            : why);
        }
        m_cl.mode = CommandLine::Mode::Client;
        for (const std::string& w : m_words) {
            m_cl.request += (m_cl.request.empty() ? "" : " ") + w;
        }
    }
    if (dashes != args.end()) {
        if (m_cl.mode == CommandLine::Mode::Client) {
            return fail("a control request runs no command");
        }
        m_cl.command.assign(dashes + 1, args.end());
        if (m_cl.command.empty()) {
            return fail("\"--\" must be followed by a command");
        }
    }
    if (!ApplyUnitSettings()) {
        return fail(m_why);
    }
    if (m_cl.mode == CommandLine::Mode::Client && m_cl.controlPath.empty()) {
        return fail(m_cl.request + " needs --control SOCKET");
    }
    for (const UnitOptions& u : m_cl.sim.unit) {
        if (m_cl.pairs > 1 && (!u.address.empty() || !u.name.empty())) {
            return fail("--address and --name would give every pair the same identity: with "
                        "--pairs each pair has its own");
        }
    }
    if (SameAddress(m_cl.sim.unit[0].address, m_cl.sim.unit[1].address)) {
        return fail("the two units need different addresses");
    }
    *out = m_cl;
    return true;
}

} // namespace

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine* out, std::string* error) {
    return Parser().Parse(args, out, error);
}

} // namespace norva::sim
