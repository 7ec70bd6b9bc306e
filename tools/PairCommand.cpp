#include "tools/PairCommand.h"

#include "tools/ExitCodes.h"
#include "tools/JsonReport.h"
#ifndef NORVA_NO_STATION
#include "tools/LabelCommand.h"
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

Json UnitJson(const UnitReport& u) {
    Json stored = nullptr;
    if (u.stored) {
        stored = {{"baud", u.uart.baud},
                  {"parity", u.uart.parity == 2 ? "even" : "none"},
                  {"stop_bits", u.uart.stopBits == 2 ? 2 : 1},
                  {"flow_control", u.uart.flowControl != 0},
                  {"mode", u.mode}};
    }
    // What the unit was left with, also after a failure: a set that does
    // not auto-connect shows which half is missing.
    Json state = {{"discoverable", u.discoverable},
                  {"mode_stored", u.modeStored},
                  {"uart_stored", u.uartStored}};
    return {{"port", u.port},
            {"address", TextOrNull(u.address)},
            {"name", TextOrNull(u.name)},
            {"stored", stored},
            {"state", state}};
}

Json PairJson(const PairOutcome& o) {
    Json pair = {{"name", o.name},
                 {"ok", o.ok},
                 {"exit", o.exitCode},
                 {"error", TextOrNull(o.error)},
                 {"step", o.step},
                 {"unit1", UnitJson(o.unit[0])},
                 {"unit2", UnitJson(o.unit[1])},
                 {"verified", o.verified ? Json(*o.verified) : Json(nullptr)},
                 {"verify_detail", TextOrNull(o.verifyDetail)}};
    if (!o.skipped.empty()) {
        pair["skipped"] = o.skipped;
    }
    return pair;
}

std::string UnitLine(const char* label, const UnitReport& u) {
    std::string text = std::string("  ") + label + ": " + u.port;
    if (!u.address.empty()) {
        text += " " + u.address + (u.name.empty() ? "" : " (" + u.name + ")");
    }
    const std::string mode = "mode " + std::to_string(u.mode);
    const std::string uart = "UART " + UartText(u.uart);
    if (u.stored) {
        text += ", stored " + uart + " and " + mode;
    } else if (u.modeStored || u.uartStored) {
        text += u.modeStored ? ", stored " + mode + ", UART not stored"
                             : ", stored " + uart + ", mode not stored";
    } else {
        text += ", not configured";
    }
    if (!u.discoverableNote.empty()) {
        text += ", " + u.discoverableNote;
    }
    return text + "\n";
}

void PrintText(const PairOutcome& o, bool configuredOnly) {
    if (!o.skipped.empty()) {
        std::printf("%s: skipped: %s\n", o.name.c_str(), o.skipped.c_str());
        return;
    }
    // A station run without Verify stored the settings but proved nothing.
    const char* ok = o.verified || !configuredOnly ? "paired" : "configured (not verified)";
    std::printf("%s: %s\n", o.name.c_str(), o.ok ? ok : ("not paired: " + o.error).c_str());
    std::printf("%s%s", UnitLine("unit 1", o.unit[0]).c_str(),
                UnitLine("unit 2", o.unit[1]).c_str());
    if (o.verified) {
        std::printf("  %s\n", o.verifyDetail.c_str());
    }
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
std::string WriteLabels(const std::string& path, const std::vector<PairOutcome>& outcomes,
                        bool batch) {
    std::string failure;
#ifndef NORVA_NO_STATION
    for (const PairOutcome& o : outcomes) {
        if (path.empty() || !o.ok || !o.skipped.empty()) {
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

} // namespace

int RunPairCommand(const CliOptions& opt) {
    const PairPlan& plan = opt.pairPlan;
    Transcripts transcripts;
    JsonReport report("pair");
    if (!opt.logPath.empty()) {
        transcripts.file = std::fopen(opt.logPath.c_str(), "ae");
        if (transcripts.file == nullptr) {
            const std::string error = "cannot write the log " + opt.logPath + ": " +
                                      std::generic_category().message(errno);
            std::fprintf(stderr, "norvactl: %s\n", error.c_str());
            if (opt.json) {
                std::printf("%s\n", report.Dump(kExitUsage, error).c_str());
            }
            return kExitUsage;
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
    if (!opt.station.record.empty() || !opt.station.labelPath.empty()) {
        std::string error;
#ifndef NORVA_NO_STATION
        if (!opt.station.record.empty()) {
            recorder =
                PairRecorder::Open(opt.station, opt.logPath, plan.verify, opt.verbose, error);
        }
#else
        error = "the pair register and labels are not part of this build";
#endif
        if (!recorder && !error.empty()) {
            std::fprintf(stderr, "norvactl: %s\n", error.c_str());
            if (opt.json) {
                std::printf("%s\n", report.Dump(kExitRegister, error).c_str());
            }
            return kExitRegister;
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
    std::vector<PairOutcome> outcomes(runs.size());
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

    int failed = 0;
    int exitCode = kExitOk;
    Json pairs = Json::array();
    for (const PairOutcome& o : outcomes) {
        pairs.push_back(PairJson(o));
        if (!o.ok) {
            // Failures of one kind keep their status; mixed ones are 1.
            exitCode = ++failed == 1 || exitCode == o.exitCode ? o.exitCode : kExitFailed;
        }
        if (!opt.json) {
            PrintText(o, opt.station.noVerify);
        }
    }
    std::string error;
    const std::string labelError = WriteLabels(opt.station.labelPath, outcomes, plan.batch);
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
        error = outcomes.size() == 1 ? outcomes[0].error
                                     : std::to_string(failed) + " of " +
                                           std::to_string(outcomes.size()) + " pairs not paired";
    }
    if (!error.empty()) {
        std::fprintf(stderr, "norvactl: %s\n", error.c_str());
    }
    if (opt.json) {
        report.SetPairs(std::move(pairs));
        std::printf("%s\n", report.Dump(exitCode, error).c_str());
    }
    std::fflush(stdout);
    return exitCode;
}

} // namespace norva::tools
