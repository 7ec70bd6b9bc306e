#pragma once
// What the pages may ask of the sheet that holds them: the controller, the
// two setting dialogs and unit 1's address. The sheet implements it; pages never see the sheet.

#include <string>

namespace norva {

class CModuleControl;
class CPortSettingDlg;

class ISheetAccess {
public:
    // Null before the sheet's initialisation and after it closed.
    virtual CModuleControl* Module() const = 0;
    // Unit 1 or unit 2.
    virtual CPortSettingDlg& UnitSetting(int unit) = 0;
    // Unit 1's address as read at step 1; empty until then.
    virtual const std::string& Unit1Address() const = 0;
    // Whom the next connect dials.
    virtual void SetConnectTarget(const std::string& address) = 0;

protected:
    ~ISheetAccess() = default;
};

} // namespace norva
