#pragma once
// Step 1: prepare both units, attach Norva-BX01, set the serial settings for it.

#include "pages/PropertyPage.h"

class QPushButton;

namespace norva {

class CTransparentStatic;

class CFirst : public CPropertyPage {
    Q_OBJECT
public:
    static constexpr int IDD = 133;
    explicit CFirst(QWidget* parent = nullptr);

    bool OnInitDialog() override;
    bool OnSetActive() override;
    int OnWizardNext() override;

    CTransparentStatic* m_picture = nullptr;   // 1036, Norva-BX02 not attached yet
    QPushButton* m_btnWizardSetting = nullptr; // 1015

private:
    void OnWizardSetting();
};

} // namespace norva
