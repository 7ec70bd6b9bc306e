#include "frontend/PageRules.h"

#include "flow/Address.h"
#include "flow/PairingView.h"
#include "frontend/SheetMessages.h"

namespace norva::pages {

int ButtonsOnArrival(int step, bool gateTicked) {
    switch (step) {
    case flow::STEP_FIRST:
    case flow::STEP_SCAN_WAIT:
    case flow::STEP_SUCCESS:
        return WIZARD_NEXT;
    case flow::STEP_SCAN:
    case flow::STEP_SEARCH:
        // The box must be clicked first, whatever it shows.
        return WIZARD_BACK;
    case flow::STEP_MODE:
    case flow::STEP_MODE1:
        // Next and Back are never offered together here.
        return gateTicked ? WIZARD_NEXT : WIZARD_BACK;
    case flow::STEP_MODE_SUCCESS:
        return WIZARD_FINISH;
    default:
        return kLeaveButtons;
    }
}

int ButtonsOnBoxClick(int step, bool ticked) {
    // Step 2: any click enables Next, whether the box is now ticked or not.
    if (step == flow::STEP_SCAN) {
        return WIZARD_NEXT;
    }
    return ticked ? WIZARD_NEXT : WIZARD_BACK;
}

NextRule OnNext(int step) {
    switch (step) {
    case flow::STEP_FIRST:
        return {false, NextHandOff::Post};
    case flow::STEP_SCAN:
    case flow::STEP_SEARCH:
        return {true, NextHandOff::Send};
    case flow::STEP_SCAN_WAIT:
        return {false, NextHandOff::Send};
    case flow::STEP_MODE:
    case flow::STEP_MODE1:
        return {true, NextHandOff::Post};
    case flow::STEP_CONNECTION:
        return {false, NextHandOff::Stay};
    default:
        return {false, NextHandOff::SheetDefault};
    }
}

bool ClearsBoxOnArrival(int step) {
    return step == flow::STEP_SEARCH;
}

bool ChooseFoundRow(const std::string& address, const std::string& unit1Address, bool anyChosen) {
    return !anyChosen && flow::SameAddress(address, unit1Address);
}

} // namespace norva::pages
