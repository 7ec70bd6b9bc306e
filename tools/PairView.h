#pragma once
// The pairing flow on a terminal: steps and messages become lines on
// standard error, and what a person would see on the wizard's buttons is kept
// for the run that plays the person.

#include "flow/PairingView.h"
#include "tools/PairSetup.h"

#include <cstdio>
#include <mutex>
#include <string>
#include <utility>

namespace norva::tools {

// Progress lines of all pairs of a run, one at a time, each with its pair's
// name when several pairs run.
class ProgressOutput {
public:
    explicit ProgressOutput(std::FILE* out) : m_out(out) {}
    void Line(const std::string& prefix, const std::string& text);

private:
    std::mutex m_lock;
    std::FILE* m_out;
};

class PairView : public flow::IPairingView {
public:
    PairView(const PairSetup& setup, ProgressOutput& out, std::string prefix)
        : m_setup(setup), m_out(out), m_prefix(std::move(prefix)) {}

    int ActiveStep() const override { return m_step; }
    void ShowStep(int step) override { m_step = step; }
    bool Say(const std::string& text) override;
    bool Inform(const std::string& text) override;
    // Kept until the run prints it after the step's own line.
    void Note(const std::string& text) override;
    void ReportOpenFailure(const std::string& reason) override;
    void SetButtons(int flags) override;
    void BeginSearchDisplay() override { m_searching = true; }
    void EndSearchDisplay() override { m_searching = false; }
    bool Searching() const override { return m_searching; }
    void EnableSearchButton(bool /*enable*/) override {}
    void EnableConnectButtons() override { m_handedBack = true; }
    void EndConnecting(int /*code*/) override {}
    void ShowConnected() override {}
    flow::UnitLine LineOf(int unit) const override { return m_setup.line[unit - 1]; }
    void OfferLineSettings(int unit) override;
    flow::UartChoice UartOf(int step) const override;

    void Print(const std::string& text) { m_out.Line(m_prefix, text); }

    // Set when the flow handed the way on to the user (a failure, or a
    // search or connect to be started again); cleared by the run.
    bool HandedBack() const { return m_handedBack; }
    const std::string& LastMessage() const { return m_lastMessage; }
    // A failure is printed once: by the run's end when it ends the run, or
    // here when the run goes on past it (unless it is `final`).
    void PrintUnsaid(const std::string& final = {});
    // The note not yet printed, and forgets it.
    std::string TakeNote() { return std::exchange(m_note, std::string()); }
    void ClearFailure();
    // One port without --wait-unit: a person answers the cable moves with
    // Enter. The flow's texts speak of the wizard's Next button; this says
    // what takes its place.
    void SetAsksEnter(bool asksEnter) { m_asksEnter = asksEnter; }
    std::string ForTerminal(const std::string& text) const;

private:
    const PairSetup& m_setup;
    ProgressOutput& m_out;
    std::string m_prefix;
    int m_step = flow::STEP_FIRST;
    bool m_searching = false;
    bool m_handedBack = false;
    bool m_asksEnter = false;
    std::string m_lastMessage;
    bool m_said = false; // m_lastMessage is on the terminal already
    std::string m_note;
};

} // namespace norva::tools
