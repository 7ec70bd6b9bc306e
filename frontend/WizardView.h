#pragma once
// What the views of both wizards answer alike: a unit's line from its setting
// dialog, the dialog offered again after a failed open, and the UART each
// storing step handed over.

#include "flow/PairingView.h"
#include "frontend/SheetAccess.h"
#include "frontend/WizardFacts.h"

namespace norva {

class CWizardView : public flow::IPairingView {
public:
    CWizardView(ISheetAccess& access, const IWizardFacts& facts)
        : m_access(access), m_facts(facts) {}

    flow::UnitLine LineOf(int unit) const override {
        return norva::LineOf(m_facts.UnitSettingOf(unit));
    }
    void OfferLineSettings(int unit) override { m_access.EditUnitSetting(unit); }
    // Step 8 stores unit 1's, step 7 unit 2's.
    flow::UartChoice UartOf(int step) const override {
        return m_facts.StoredUart(step == flow::STEP_MODE1 ? 1 : 2);
    }

private:
    ISheetAccess& m_access;
    const IWizardFacts& m_facts;
};

} // namespace norva
