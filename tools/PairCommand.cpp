// `norvactl pair`: one pair, or a batch of pairs in parallel, each on its own
// controller and worker; progress on standard error, the report on standard
// output.

#include "station/AttemptJson.h"
#include "tools/Command.h"
#include "tools/Subcommand.h"
#ifndef NORVA_NO_STATION
#include "tools/StationCommands.h"
#endif
#include "tools/PairRecording.h"
#include "tools/PairRun.h"
#include "tools/SignalWatcher.h"
#include "tools/TranscriptTee.h"

#include <cerrno>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

namespace norva::tools {
namespace {

using Json = nlohmann::ordered_json;

std::string UnitLine(const char* label, const station::UnitRecord& u) {
    std::string text = std::string("  ") + label + ": " + u.port;
    if (!u.address.empty()) {
        text += " " + u.address + (u.name.empty() ? "" : " (" + u.name + ")");
    }
    const std::string mode = "mode " + std::to_string(u.mode);
    const std::string uart = "UART " + u.uart;
    if (u.configured) {
        text += ", stored " + uart + " and " + mode;
    } else if (u.mode >= 0 && !u.uart.empty()) {
        // Both taken, yet the step failed: old firmware kept flow control on,
        // or the unit did not show what it was told to store.
        text += ", stored " + uart + " and " + mode + ", not as asked";
    } else if (u.mode >= 0 || !u.uart.empty()) {
        text += u.mode >= 0 ? ", stored " + mode + ", UART not stored"
                            : ", stored " + uart + ", mode not stored";
    } else {
        text += ", not configured";
    }
    if (!u.discoverableNote.empty()) {
        text += ", " + u.discoverableNote;
    }
    return text + "\n";
}

std::string PairText(const station::AttemptRecord& o, bool configuredOnly) {
    if (!o.skipped.empty()) {
        return o.pairName + ": skipped: " + o.skipped + "\n";
    }
    // A station run without Verify stored the settings but proved nothing.
    const bool verifyRan = o.Verified().has_value();
    const std::string ok = verifyRan || !configuredOnly ? "paired" : "configured (not verified)";
    std::string text = o.pairName + ": " + (o.Ok() ? ok : "not paired: " + o.reason) + "\n" +
                       UnitLine("unit 1", o.unit[0]) + UnitLine("unit 2", o.unit[1]);
    if (verifyRan) {
        text += "  " + o.verifyDetail + "\n";
    }
    return text;
}

// One transcript per pair, all into the same log file and standard error.
struct Transcripts {
    std::FILE* file = nullptr;
    std::vector<std::unique_ptr<CTranscriptWriter>> writers;
    std::vector<std::unique_ptr<TranscriptTee>> tees;

    ~Transcripts() {
        if (file != nullptr) {
            std::fclose(file);
        }
    }

    ITranscript* For(bool log, bool verbose) {
        if (!log && !verbose) {
            return nullptr;
        }
        auto tee = std::make_unique<TranscriptTee>();
        // A pair moves between two ports, and a batch writes every pair's
        // lines into one file: each line says which port it is about.
        if (log) {
            writers.push_back(std::make_unique<CTranscriptWriter>(file));
            writers.back()->NamePortOnEachLine();
            tee->Add(writers.back().get());
        }
        if (verbose) {
            writers.push_back(std::make_unique<CTranscriptWriter>(stderr));
            writers.back()->NamePortOnEachLine();
            tee->Add(writers.back().get());
        }
        tees.push_back(std::move(tee));
        return tees.back().get();
    }
};

// --label: one label per pair paired (none for one left out). Returns the
// first failure.
std::string WriteLabels(const std::string& path,
                        const std::vector<station::AttemptRecord>& outcomes, bool batch) {
    std::string failure;
#ifndef NORVA_NO_STATION
    for (const station::AttemptRecord& o : outcomes) {
        if (path.empty() || !o.Ok() || !o.skipped.empty()) {
            continue;
        }
        std::string error;
        if (!WritePairLabel(o, PairLabelPath(path, o, batch), error) && failure.empty()) {
            failure = error;
        }
    }
#else
    (void)path;
    (void)outcomes;
    (void)batch;
#endif
    return failure;
}

void AddPairOptions(Subcommand& sub, PairArgs& a) {
    constexpr const char* kPorts = "Ports";
    constexpr const char* kSettings = "Settings";
    sub.add_option("--unit1", a.unit[0], "unit 1's port").type_name("PORT").group(kPorts);
    sub.add_option("--unit2", a.unit[1], "unit 2's port").type_name("PORT").group(kPorts);
    sub.add_option("--port,--device", a.port, "one port for both units")
        .type_name("PORT")
        .group(kPorts);
    sub.add_option("--batch", a.batchFile, "pair every pair of ports listed in FILE")
        .type_name("FILE")
        .group(kPorts);
    sub.add_option("--line", a.line, "how the computer talks to both units")
        .type_name("LINE")
        .group(kSettings);
    sub.add_option("--unit1-line", a.unitLine[0], "how the computer talks to unit 1")
        .type_name("LINE")
        .group(kSettings);
    sub.add_option("--unit2-line", a.unitLine[1], "how the computer talks to unit 2")
        .type_name("LINE")
        .group(kSettings);
    sub.add_option("--uart", a.uart, "the UART to store in both units")
        .type_name("UART")
        .group(kSettings);
    sub.add_option("--unit1-uart", a.unitUart[0], "the UART to store in unit 1")
        .type_name("UART")
        .group(kSettings);
    sub.add_option("--unit2-uart", a.unitUart[1], "the UART to store in unit 2")
        .type_name("UART")
        .group(kSettings);
    const OptionRef waitUnit =
        sub.add_flag("--wait-unit", a.waitUnit,
                     "one port: wait for the other module to answer instead of for Enter");
    // A time without --wait-unit would be silently ignored: Enter has no limit.
    sub.add_option("--wait-time", a.waitUnitSeconds,
                   "how long --wait-unit waits for a module (default 300)")
        .transform(IntIn(1, 86400, "seconds"))
        .type_name("S")
        .needs(waitUnit);
    sub.add_flag("--verify", a.verify,
                 "afterwards restart the units and check that they link to each other");
    sub.add_option("--retries", a.retries,
                   "after a failure, try the step again N times (default 0)")
        .transform(IntIn(0, 100, "a count"))
        .type_name("N");
}

void AddStationPairOptions(Subcommand& sub, StationArgs& s) {
    AddRecordOption(sub, s);
    sub.add_option("--operator", s.operatorName, "the name recorded as the operator")
        .type_name("NAME")
        .group(kStationGroup);
    sub.add_flag("--repair", s.repair,
                 "pair a unit the register holds in another pair, replacing that pair")
        .group(kStationGroup);
    sub.add_flag("--skip-done", s.skipDone,
                 "leave out the pairs the register holds as paired (with --record)")
        .group(kStationGroup);
    sub.add_option("--label", s.labelPath, "write each pair's label to FILE (.svg or .zpl)")
        .type_name("FILE")
        .group(kStationGroup);
    sub.add_flag("--no-verify", s.noVerify,
                 "with --record or --label: do not verify; the pair is recorded as configured")
        .group(kStationGroup);
}

class PairCommand : public Command {
public:
    void AddOptions(Subcommand& sub, CommonOptions& /*common*/) override {
        AddPairOptions(sub, m_args);
        AddStationPairOptions(sub, m_station);
    }
    std::string Check(const CommonOptions& /*common*/) override {
        std::string error;
        if (!BuildPairPlan(m_args, m_plan, error) ||
            !CheckStationPairArgs(m_station, m_args.verify, error)) {
            return error;
        }
        // A station records and labels only what Verify proved, unless told not to verify.
        m_plan.verify = m_plan.verify || StationVerifies(m_station);
        return {};
    }
    CommandResult Run(const CommonOptions& opt) override;

private:
    PairArgs m_args;
    PairPlan m_plan;
    StationArgs m_station;
};

CommandResult PairCommand::Run(const CommonOptions& opt) {
    const PairPlan& plan = m_plan;
    const StationArgs& station = m_station;
    Transcripts transcripts;
    if (!opt.logPath.empty()) {
        transcripts.file = std::fopen(opt.logPath.c_str(), "ae");
        if (transcripts.file == nullptr) {
            return {opt.command, kExitUsage,
                    "cannot write the log " + opt.logPath + ": " +
                        std::generic_category().message(errno)};
        }
    }
    // Before anything is sent to a module: a register that cannot be
    // written stops the run here.
#ifndef NORVA_NO_STATION
    std::unique_ptr<PairRecorder> recorder;
    std::vector<std::unique_ptr<PairRecording>> recordings;
#else
    const PairRecorder* recorder = nullptr;
#endif
    if (!station.record.empty() || !station.labelPath.empty()) {
        std::string error;
#ifndef NORVA_NO_STATION
        if (!station.record.empty()) {
            recorder = PairRecorder::Open(station, opt.logPath, plan.verify, opt.verbose, error);
        }
#else
        error = "the pair register and labels are not part of this build";
#endif
        if (!recorder && !error.empty()) {
            return {opt.command, kExitRegister, error};
        }
    }
    // Before any thread starts, so that all of them leave the signals to it.
    SignalWatcher signals;
    signals.Start(nullptr);
    ProgressOutput progress(stderr);

    std::vector<std::unique_ptr<PairRun>> runs;
    for (const PairSetup& setup : plan.pairs) {
        PairRecording* recording = nullptr;
#ifndef NORVA_NO_STATION
        if (recorder) {
            recordings.push_back(std::make_unique<PairRecording>(*recorder, setup));
            recording = recordings.back().get();
        }
#endif
        runs.push_back(std::make_unique<PairRun>(
            setup, plan, progress, signals.Signalled(),
            transcripts.For(transcripts.file != nullptr, opt.verbose), recording));
    }
    std::vector<station::AttemptRecord> outcomes(runs.size());
    if (runs.size() == 1) {
        outcomes[0] = runs[0]->Run();
    } else {
        std::vector<std::thread> threads;
        for (size_t i = 0; i < runs.size(); ++i) {
            threads.emplace_back([&outcomes, &runs, i] { outcomes[i] = runs[i]->Run(); });
        }
        for (std::thread& t : threads) {
            t.join();
        }
    }
    runs.clear();
    signals.Stop();

    CommandResult result(opt.command);
    int failed = 0;
    int exitCode = kExitOk;
    Json pairs = Json::array();
    for (const station::AttemptRecord& o : outcomes) {
        pairs.push_back(station::AttemptJson(o, station::AttemptView::Run));
        if (!o.Ok()) {
            // Failures of one kind keep their status; mixed ones are 1.
            exitCode = ++failed == 1 || exitCode == o.exitCode ? o.exitCode : kExitFailed;
        }
        result.text += PairText(o, station.noVerify);
    }
    std::string error;
    const std::string labelError = WriteLabels(station.labelPath, outcomes, plan.batch);
#ifndef NORVA_NO_STATION
    const std::string recordError = recorder ? recorder->Failure() : std::string();
#else
    const std::string recordError;
#endif
    if (signals.Count() > 0) {
        exitCode = signals.ExitCode();
        error = signals.Describe();
    } else if (!recordError.empty()) {
        exitCode = kExitRegister;
        error = recordError;
    } else if (!labelError.empty() && failed == 0) {
        exitCode = kExitFailed;
        error = labelError;
    } else if (failed > 0) {
        error = outcomes.size() == 1 ? outcomes[0].reason
                                     : std::to_string(failed) + " of " +
                                           std::to_string(outcomes.size()) + " pairs not paired";
    }
    result.report.SetPairs(std::move(pairs));
    result.exitCode = exitCode;
    result.error = error;
    return result;
}

} // namespace

const CommandRegistration kPairCommand{
    180,
    {"pair", "pair two modules as the wizard does, without a screen",
     " (--unit1 PORT --unit2 PORT | --port PORT [--wait-unit] | --batch FILE) [OPTIONS]",
     "PORT is COMn or a device path. --unit1 and --unit2 pair on two ports; --port\n"
     "pairs on one port, asking for the cable to be moved (Enter) or, with\n"
     "--wait-unit, waiting until the other module answers; --batch pairs every\n"
     "pair of ports listed in FILE (one pair per line) in parallel.\n"
     "A LINE is BAUD,PARITY,STOP (for example 9600,none,1): how the computer talks\n"
     "to a unit now. A UART is BAUD,PARITY,STOP[,noflow]: the setting stored in a\n"
     "unit (parity none or even; hardware flow control unless noflow). Both\n"
     "default to 9600,none,1. Unit 1 is stored in mode 2 (waits for unit 2),\n"
     "unit 2 in mode 1 (connects to unit 1). Exit status 0 only when both units\n"
     "were configured (and, with --verify, the link was seen up).\n"
     "--record writes every attempt to a register (a SQLite file or a\n"
     "postgresql:// database) and refuses a unit the register holds in a pair\n"
     "with another unit unless --repair is given; --skip-done leaves out the pairs\n"
     "the register holds as paired (and, with --verify, verified). --label FILE\n"
     "writes each pair's label (.svg or .zpl) after it was paired.\n",
     PortOptions::None, OutputOptions::JsonAndLog, Make<PairCommand>}};

} // namespace norva::tools
