#include "ScriptedFlow.h"

#include <cctype>

namespace norva::flow::test {
namespace {

// "STATUS", "READ_SREG", …: the tools' name of the job, as a transcript shows it.
std::string JobName(Job job) {
    std::string name = FactsOf(job).name;
    for (char& c : name) {
        c = c == '-' ? '_' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return name;
}

} // namespace

std::string Transcript::Take() {
    std::string out;
    for (const std::string& line : lines) {
        out += (out.empty() ? "" : "; ") + line;
    }
    lines.clear();
    return out;
}

bool ScriptedController::Open(const UnitLine& line, std::string& reason) {
    m_log.Add("open COM" + std::to_string(line.port));
    if (openFails) {
        reason = "device not present";
        return false;
    }
    portOpen = true;
    return true;
}

void ScriptedController::Close() {
    m_log.Add("close");
    portOpen = false;
}

void ScriptedController::Start(const JobRequest& request) {
    if (request.job == Job::Scan) {
        m_log.Add("scan " + std::to_string(request.scan.mode) + "," +
                  std::to_string(request.scan.timeMs));
    }
    // As the module keeps them: a hang-up that makes way for an apply takes
    // its settings along. Only new settings are written down.
    if (request.apply && !(*request.apply == applied)) {
        const StoredSettings& a = *request.apply;
        applied = a;
        m_log.Add("apply-args mode " + std::to_string(a.mode) + " " + std::to_string(a.baud) +
                  " flow " + std::to_string(a.flow));
    }
    m_log.Add("job " + JobName(request.job) + (request.thenApply ? " then APPLY" : ""));
}

void ScriptedController::Abort() {
    m_log.Add("ABORT");
}

void ScriptedController::SetLinkState(int state) {
    m_log.Add("link " + std::to_string(state));
    link = state;
}

void ScriptedController::StopAndCancel(int timeoutMs) {
    m_log.Add("stop and cancel " + std::to_string(timeoutMs));
}

void RecordingView::ShowStep(int s) {
    m_log.Add("step " + std::to_string(s + 1));
    step = s;
}

bool RecordingView::Say(const std::string& text) {
    m_log.Add(Said(text));
    return runGoesOn;
}

bool RecordingView::Inform(const std::string& text) {
    m_log.Add("inform \"" + text + "\"");
    return runGoesOn;
}

void RecordingView::Note(const std::string& text) {
    m_log.Add("note \"" + text + "\"");
}

void RecordingView::ReportOpenFailure(const std::string& reason) {
    m_log.Add("open failed: " + reason);
}

void RecordingView::SetButtons(int flags) {
    std::string names;
    if ((flags & BUTTON_BACK) != 0) {
        names += " BACK";
    }
    if ((flags & BUTTON_NEXT) != 0) {
        names += " NEXT";
    }
    m_log.Add("buttons" + names);
}

void RecordingView::BeginSearchDisplay() {
    m_log.Add("search shown");
    searching = true;
}

void RecordingView::EndSearchDisplay() {
    m_log.Add("search ended");
    searching = false;
}

void RecordingView::EnableSearchButton(bool enable) {
    m_log.Add(enable ? "search button on" : "search button off");
}

void RecordingView::EnableConnectButtons() {
    m_log.Add("connect buttons");
}

void RecordingView::EndConnecting(int code) {
    m_log.Add("connecting ended " + std::to_string(code));
}

void RecordingView::ShowConnected() {
    m_log.Add("connected shown");
}

UnitLine RecordingView::LineOf(int unit) const {
    UnitLine line;
    line.port = unit == UNIT_1 ? 33 : 34;
    return line;
}

void RecordingView::OfferLineSettings(int unit) {
    m_log.Add("settings of unit " + std::to_string(unit));
}

std::string Said(int id) {
    return Said(LoadString(id));
}

std::string Said(const std::string& text) {
    return "say \"" + text + "\"";
}

void FlowTest::SetUp() {
    SetUiLanguage(UiLanguage::English);
    module.portOpen = true;
    flow.Attach(&module);
}

std::string FlowTest::Result(int step, int jobId, int code) {
    view.step = step;
    log.Take();
    flow.OnJobResult(code, jobId);
    return log.Take();
}

std::string FlowTest::NextOn(int step) {
    view.step = step;
    log.Take();
    flow.Next(step);
    return log.Take();
}

} // namespace norva::flow::test
