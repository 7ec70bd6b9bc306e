#pragma once
// The wizard as a pairing station: what the pairing stored (for step 9's
// label) and, when started with --record, its attempt in the register,
// written at step 1's Next and completed at step 9 or when the wizard
// closes. UI thread only; it reads the wizard through IWizardFacts, so any
// front end that links the register can use it.

#include "flow/PairVerify.h"
#include "frontend/WizardFacts.h"
#include "station/Label.h"
#include "station/Register.h"

#include <memory>
#include <string>

namespace norva {

struct StationOptions {
    std::string record;       // a SQLite file or a postgresql:// database; empty: none
    std::string operatorName; // recorded as the operator
    bool repair = false;      // a unit of another pair may be paired anew
};

class CSheetStation {
public:
    // Opens the register when one is named; false with `error` ("the
    // register … cannot be used: …") when it cannot be written.
    bool Open(const StationOptions& options, std::string& error);
    bool Recording() const { return m_register != nullptr; }

    // The sheet's Next on page `index` (0-based).
    void Pressed(int index, const IWizardFacts& wizard);
    // The sheet shows page `index`.
    void Arrived(int index, const IWizardFacts& wizard);
    // Why the pairing may not go on: a unit the register holds in a pair with
    // another unit; empty when it may.
    std::string Refusal();
    void Verified(const flow::VerifyResult& result);
    // The wizard closes: an attempt still under way ends as cancelled (or
    // refused).
    void Closed();

    bool Paired() const { return m_record.outcome == station::Outcome::Paired; }
    station::LabelContent Label() const;
    // What the pairing saw each unit read do (echo, status line, UART
    // command form), a line each, for the Save log.
    std::string TraitsText() const;
    const station::AttemptRecord& Record() const { return m_record; }

private:
    void Write();

    std::unique_ptr<station::Register> m_register;
    StationOptions m_options;
    station::AttemptRecord m_record;
    bool m_begun = false;
    bool m_ended = false;
    bool m_refused = false;
    std::string m_lastError;
};

} // namespace norva
