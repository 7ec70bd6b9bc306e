#pragma once
// Step 6: the two units are connected.

#include "pages/PropertyPage.h"

#include <QFont>

class QLabel;

namespace norva {

class CSuccess : public CPropertyPage {
    Q_OBJECT
public:
    static constexpr int IDD = 135;
    explicit CSuccess(QWidget* parent = nullptr);

    bool OnInitDialog() override;
    bool OnSetActive() override;

    QFont m_fontBold;
    QLabel* m_textSuccess = nullptr; // 1021, bold
};

} // namespace norva
