#pragma once
// Step 3: leave Norva-BX01 powered, attach Norva-BX02, set the serial settings for it.

#include "pages/PropertyPage.h"

#include <QFont>

class QLabel;
class QPushButton;

namespace norva {

class CTransparentStatic;

class CScanWait : public CPropertyPage {
    Q_OBJECT
public:
    static constexpr int IDD = 131;
    explicit CScanWait(QWidget* parent = nullptr);

    bool OnInitDialog() override;
    bool OnSetActive() override;
    int OnWizardNext() override;

    QFont m_fontBold;
    CTransparentStatic* m_picture = nullptr;   // 1037, Norva-BX01 no longer attached
    QLabel* m_textLeaveUnit1 = nullptr;        // 1021, bold
    QPushButton* m_btnWizardSetting = nullptr; // 1015

private:
    void OnWizardSetting();
};

} // namespace norva
