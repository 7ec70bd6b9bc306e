#pragma once
// What the pages may ask of the sheet that holds them: the controller and the
// two setting dialogs. The sheet implements it; pages never see the sheet.

namespace norva {

class CModuleControl;
class CPortSettingDlg;

class ISheetAccess {
public:
    // Null before the sheet's initialisation and after it closed.
    virtual CModuleControl* Module() const = 0;
    // Unit 1 or unit 2.
    virtual CPortSettingDlg& UnitSetting(int unit) = 0;

protected:
    ~ISheetAccess() = default;
};

} // namespace norva
