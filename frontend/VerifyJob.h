#pragma once
// Step 9's pair check for a front end: what the wizard stored, checked on a
// thread of its own (the sheet's port closed first), its progress and result
// carried to the UI thread by the front end's own hand-off.

#include "flow/PairVerify.h"
#include "frontend/WizardFacts.h"
#include "platform/Event.h"

#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace norva {

class ITranscript;

// What the wizard stored, as the check takes it: both units on two ports,
// unit 1 alone when both settings name one port.
std::vector<flow::UnitToVerify> UnitsToVerify(const IWizardFacts& wizard);

// What the progress dialog says while `unit` is at `step`.
std::string VerifyProgressText(int unit, flow::VerifyStep step);
// The verdict box: its headline and a line per unit.
std::string VerifyHeadline(const flow::VerifyResult& result);
std::string VerifyDetails(const flow::VerifyResult& result);

class VerifyJob {
public:
    // Runs `call` on the UI thread, after what was queued before it.
    using Post = std::function<void(std::function<void()> call)>;
    using Progress = std::function<void(int unit, flow::VerifyStep step)>;
    using Done = std::function<void(const flow::VerifyResult& result)>;

    explicit VerifyJob(Post post) : m_post(std::move(post)) {}
    // Cancels a check under way and waits for its thread (bounded: every wait
    // watches the stop).
    ~VerifyJob() { Shutdown(); }
    VerifyJob(const VerifyJob&) = delete;
    VerifyJob& operator=(const VerifyJob&) = delete;

    // UI thread; false while a check runs. `progress` and `done` are called on
    // the UI thread; `done` once, after Running() turned false.
    bool Start(std::vector<flow::UnitToVerify> units, ITranscript* transcript, Progress progress,
               Done done);
    bool Running() const { return m_running; }
    void Cancel() { m_stop.Set(); }
    // Cancels and joins: before what the check writes to goes.
    void Shutdown();
    const flow::VerifyResult& LastResult() const { return m_last; }

private:
    Post m_post;
    Event m_stop{Event::Mode::Manual};
    std::thread m_thread;
    bool m_running = false; // UI thread only
    flow::VerifyResult m_last;
};

} // namespace norva
