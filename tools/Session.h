#pragma once
// One norvactl run against a module: opens the port, runs the command's job
// (or chain of jobs, or direct transaction), prints the result and turns it
// into the exit status.

#include "module/JobWait.h"
#include "module/ModuleControl.h"
#include "serial/Transcript.h"
#include "tools/CliOptions.h"
#include "tools/JsonReport.h"
#include "tools/SignalWatcher.h"
#include "tools/ToolHost.h"
#include "tools/TranscriptTee.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace norva::tools {

// "<what>. Check that it is powered and that the port's settings …": the
// message for a module that does not answer.
std::string NoAnswerText(const std::string& what);

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

    // A job of this command, limited and interrupted as module/JobWait.h
    // does it: Ctrl-C aborts, a second one stops the worker.
    std::optional<JobResult> RunJob(const JobRequest& request, int limitMs = -1);
    // The result of a job the pairing flow started.
    std::optional<JobResult> Await(const std::vector<int>& ids, int limitMs);
    JobWaitRules WaitRules(int limitMs);
    // The wizard follows an aborted connect, scan or inquiry with a cancel.
    bool CancelAfterAbort();
    // The pause after "ATO" before the next job; ends early when the device goes.

    int Status();
    int Disconnect();
    int Apply();
    int VerifyApplied(const PairSetup& setup);
    int Inquiry();
    int SimpleJob(const JobRequest& request);
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
