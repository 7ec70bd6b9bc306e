#pragma once
// One norvactl run against a module: opens the port, runs the command's job
// (or chain of jobs, or direct transaction), prints the result and turns it
// into the exit status.

#include "module/ModuleControl.h"
#include "serial/Transcript.h"
#include "tools/CliOptions.h"
#include "tools/JsonReport.h"
#include "tools/SignalWatcher.h"
#include "tools/ToolHost.h"
#include "tools/TranscriptTee.h"

#include <cstdio>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>

namespace norva::tools {

class Session {
public:
    explicit Session(const CliOptions& opt);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    int Run();

private:
    bool Interrupted() const { return m_signals.Count() > 0; }
    bool Gone() const { return m_module.HungUp(); }
    bool StartTranscripts();
    int OpenPort();
    int RunCommand();

    std::optional<JobResult> RunJob(int slot, std::initializer_list<int> ids, int limitMs = -1);
    std::optional<JobResult> Await(std::initializer_list<int> ids, int limitMs);
    // The wizard follows an aborted connect, scan or inquiry with a cancel.
    bool CancelAfterAbort();
    // The pause after "ATO" before the next job; ends early when the device goes.

    int Status();
    int Disconnect();
    int Apply();
    int VerifyApplied(const PairSetup& setup);
    int Inquiry();
    int SimpleJob(int slot, int jobId);
    int Direct();

    // Records the result, prints it in text mode and turns it into the exit
    // status; `text` follows the result line.
    int Finish(int jobId, int code, bool ok, const std::string& text = {});
    int Failure(int jobId, int code);
    int NoAnswer(const std::string& what);
    void PrintStatus();

    const CliOptions& m_opt;
    // Declared before the controller: the port reports its close to them.
    std::FILE* m_logFile = nullptr;
    std::unique_ptr<CTranscriptWriter> m_logWriter;
    std::unique_ptr<CTranscriptWriter> m_stderrWriter;
    TranscriptTee m_transcript;
    ToolHost m_host;
    // Blocks the signals before the controller starts threads.
    SignalWatcher m_signals;
    CModuleControl m_module;
    JsonReport m_report;
    std::string m_error;
    bool m_limitReached = false;
};

} // namespace norva::tools
