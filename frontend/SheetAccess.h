#pragma once
// What the pages may ask of the sheet that holds them: the controller, the
// two units' settings and unit 1's address. The sheet implements it; pages
// never see the sheet.

#include "frontend/UnitSetting.h"

#include <string>

namespace norva {

class CModuleControl;

class ISheetAccess {
public:
    // Null before the sheet's initialisation and after it closed.
    virtual CModuleControl* Module() const = 0;
    // Unit 1 or unit 2, as its setting dialog stored it last.
    virtual UnitSetting UnitSettingOf(int unit) const = 0;
    // Runs the unit's setting dialog modally.
    virtual void EditUnitSetting(int unit) = 0;
    // Unit 1's address as read at step 1; empty until then.
    virtual const std::string& Unit1Address() const = 0;
    // Whom the next connect dials.
    virtual void SetConnectTarget(const std::string& address) = 0;

protected:
    ~ISheetAccess() = default;
};

} // namespace norva
