#pragma once
// One norvactl run against a module: opens the port, runs a command's job
// (or chain of jobs, or direct transaction) and ends with its result.

#include "flow/PairingFlow.h"
#include "module/JobWait.h"
#include "module/ModuleControl.h"
#include "serial/Transcript.h"
#include "tools/Command.h"
#include "tools/JsonReport.h"
#include "tools/SignalWatcher.h"
#include "tools/ToolHost.h"
#include "tools/TranscriptTee.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace norva::tools {

// "<what>. Check that it is powered and that the port's settings …": the
// message for a module that does not answer.
std::string NoAnswerText(const std::string& what);

// A job result's name, with the status job's own two.
std::string ResultName(int jobId, int code);

class Session {
public:
    explicit Session(const CommonOptions& opt);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Opens the port and runs `body`, which returns the exit status.
    CommandResult Run(const std::function<int(Session&)>& body);

    const CommonOptions& Options() const { return m_opt; }
    CModuleControl& Module() { return m_module; }
    ToolHost& Host() { return m_host; }
    JsonReport& Report() { return m_result.report; }
    SignalWatcher& Signals() { return m_signals; }
    void SetError(std::string error) { m_error = std::move(error); }
    bool Interrupted() const { return m_signals.Count() > 0; }
    bool LimitReached() const { return m_limitReached; }

    // A job of this command, limited and interrupted as module/JobWait.h
    // does it: Ctrl-C aborts, a second one stops the worker.
    std::optional<JobResult> RunJob(const JobRequest& request, int limitMs = -1);
    // The result of a job the pairing flow started.
    std::optional<JobResult> Await(const std::vector<int>& ids, int limitMs);
    // The wizard follows an aborted connect, scan or inquiry with a cancel.
    bool CancelAfterAbort();
    // The job's result for the report and the "result:" line, then the exit
    // status; `text` follows the result line.
    int Finish(int jobId, int code, bool ok, const std::string& text = {});
    // A job that simply succeeds or fails.
    int SimpleJob(const JobRequest& request);
    // A transaction with no job of its own, run on this thread.
    int Direct(const std::function<int(CModuleControl&)>& transaction);
    // A line for standard error before the result ("norvactl: " is added).
    void AddNote(std::string note) { m_result.notes.push_back(std::move(note)); }
    // Text printed after the result line.
    void AddText(const std::string& text) { m_result.text += text; }

private:
    bool Gone() const { return m_module.HungUp(); }
    bool StartTranscripts();
    int OpenPort();
    JobWaitRules WaitRules(int limitMs);
    int Failure(int jobId, int code);
    int NoAnswer(const std::string& what);

    const CommonOptions& m_opt;
    // Declared before the controller: the port reports its close to them.
    std::FILE* m_logFile = nullptr;
    std::unique_ptr<CTranscriptWriter> m_logWriter;
    std::unique_ptr<CTranscriptWriter> m_stderrWriter;
    TranscriptTee m_transcript;
    ToolHost m_host;
    // Blocks the signals before the controller starts threads.
    SignalWatcher m_signals;
    CModuleControl m_module;
    CommandResult m_result;
    std::string m_error;
    bool m_limitReached = false;
};

inline constexpr const char* kPortSynopsis = " (--port COMn | --device PATH) [PORT OPTIONS]";

// A usage error when the command line names no port or two, else empty.
std::string CheckPortGiven(const CommonOptions& common);

// A command that talks to one module on one port.
class ModuleCommand : public Command {
public:
    std::string Check(const CommonOptions& common) override { return CheckPortGiven(common); }
    CommandResult Run(const CommonOptions& common) final;

protected:
    virtual int RunOn(Session& session) = 0;
};

// A command that is one job with nothing to add to its result.
template <Job kJob> class PlainJobCommand : public ModuleCommand {
    int RunOn(Session& session) override { return session.SimpleJob(JobRequest::Of(kJob)); }
};

} // namespace norva::tools
