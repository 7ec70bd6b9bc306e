#pragma once
// A flow between a scripted controller and a recording view: both write what
// the flow asked of them, in order, into one transcript.

#include "flow/PairingFlow.h"
#include "module/Protocol.h"
#include "res/strings/StringTable.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace norva::flow::test {

struct Transcript {
    std::vector<std::string> lines;
    void Add(std::string line) { lines.push_back(std::move(line)); }
    // The lines joined with "; ", and cleared.
    std::string Take();
};

class ScriptedController : public IPairingController {
public:
    explicit ScriptedController(Transcript& log) : m_log(log) {}

    bool Open(const UnitLine& line, std::string& reason) override;
    void Close() override;
    bool PortOpen() const override { return portOpen; }
    void Start(const JobRequest& request) override;
    void Abort() override;
    StoredSettings Applied() const override { return applied; }
    std::string Address() const override { return address; }
    std::string Name() const override { return {}; }
    int OpMode() const override { return opMode; }
    int LinkState() const override { return link; }
    void SetLinkState(int state) override;
    int LastStep() const override { return lastStep; }
    bool FlowNotStored() const override { return flowNotStored; }
    bool FirmwareBoxShown() const override { return firmwareBoxShown; }
    ApplyConfirmation Confirmation() const override { return confirmation; }
    int StatusFailure() const override { return statusFailure; }
    std::string GoneReason() const override { return "/dev/ttyUSB0 was disconnected"; }
    void StopAndCancel(int timeoutMs) override;

    bool portOpen = false;
    bool openFails = false;
    std::string address = "00A0961B2C01";
    int opMode = 0;
    int link = LINK_STANDBY;
    int lastStep = OP_NONE;
    bool flowNotStored = false;
    bool firmwareBoxShown = false;
    StoredSettings applied;
    ApplyConfirmation confirmation{true, true, true, true};
    int statusFailure = STATUS_NO_ANSWER;

private:
    Transcript& m_log;
};

class RecordingView : public IPairingView {
public:
    explicit RecordingView(Transcript& log) : m_log(log) {}

    int ActiveStep() const override { return step; }
    void ShowStep(int s) override;
    bool Say(const std::string& text) override;
    bool Inform(const std::string& text) override;
    void Note(const std::string& text) override;
    void ReportOpenFailure(const std::string& reason) override;
    void SetButtons(int flags) override;
    void BeginSearchDisplay() override;
    void EndSearchDisplay() override;
    bool Searching() const override { return searching; }
    void EnableSearchButton(bool enable) override;
    void EnableConnectButtons() override;
    void EndConnecting(int code) override;
    void ShowConnected() override;
    UnitLine LineOf(int unit) const override;
    void OfferLineSettings(int unit) override;
    UartChoice UartOf(int /*step*/) const override { return uart; }

    int step = STEP_FIRST;
    bool searching = false;
    // What Say answers: false as when the wizard was closed inside the box.
    bool runGoesOn = true;
    UartChoice uart;

private:
    Transcript& m_log;
};

// The text the user reads for a string id, as the transcript writes it.
std::string Said(int id);
std::string Said(const std::string& text);

class FlowTest : public ::testing::Test {
protected:
    void SetUp() override;
    // Runs a job result on `step` and returns what the flow did.
    std::string Result(int step, int jobId, int code);
    std::string NextOn(int step);

    Transcript log;
    ScriptedController module{log};
    RecordingView view{log};
    CPairingFlow flow{view};
};

} // namespace norva::flow::test
