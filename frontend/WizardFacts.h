#pragma once
// What a wizard holds that the pair check and the station read: the settings
// of both units, what was stored in each, the addresses read, the controller.
// Each front end's sheet implements it.

#include "flow/PairingView.h"
#include "frontend/UnitSetting.h"

#include <string>

namespace norva {

class CModuleControl;

namespace flow {
class CPairingFlow;
}

class IWizardFacts {
public:
    // Null before the sheet's initialisation and after it closed.
    virtual const CModuleControl* ModuleRead() const = 0;
    virtual UnitSetting UnitSettingOf(int unit) const = 0;
    // The UART the pages handed over for `unit`: step 8's for unit 1, step 7's
    // for unit 2.
    virtual flow::UartChoice StoredUart(int unit) const = 0;
    virtual const flow::CPairingFlow& Pairing() const = 0;

protected:
    ~IWizardFacts() = default;
};

} // namespace norva
