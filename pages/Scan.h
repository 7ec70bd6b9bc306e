#pragma once
// Step 2: confirm that Norva-BX01 is to be made discoverable and connectable.

#include "pages/PropertyPage.h"

#include <QFont>

class QCheckBox;

namespace norva {

class CScan : public CPropertyPage {
    Q_OBJECT
public:
    static constexpr int IDD = 129;
    explicit CScan(QWidget* parent = nullptr);

    bool OnInitDialog() override;
    bool OnSetActive() override;
    int OnWizardNext() override;

    QFont m_fontBold;
    int m_bConfirm = 0;                  // 1034
    QCheckBox* m_checkConfirm = nullptr; // 1034

private:
    void OnConfirmClicked();
};

} // namespace norva
