#pragma once
// Step 4: confirm that Norva-BX02 is to search for Norva-BX01 and connect to it.

#include "pages/PropertyPage.h"

#include <QFont>

class QCheckBox;

namespace norva {

class CSearch : public CPropertyPage {
    Q_OBJECT
public:
    static constexpr int IDD = 132;
    explicit CSearch(QWidget* parent = nullptr);

    bool OnInitDialog() override;
    bool OnSetActive() override;
    int OnWizardNext() override;

    QFont m_fontBold;
    int m_bConfirm = 0;                  // 1035
    QCheckBox* m_checkConfirm = nullptr; // 1035

private:
    void OnConfirmClicked();
};

} // namespace norva
