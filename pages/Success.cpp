#include "pages/Success.h"

#include "frontend/PageRules.h"
#include "pages/PageCommon.h"
#include "pages/SheetMessages.h"

#include <QVBoxLayout>

namespace norva {

CSuccess::CSuccess(QWidget* parent)
    : CPropertyPage(IDD, QStringLiteral("Norva-BX Wizard - Step 6 of 9"), parent) {
    setObjectName(QStringLiteral("successPage"));
    m_textSuccess = MakeText(QStringLiteral("Successful Connection!"),
                             QStringLiteral("successfulConnectionText"), this);
    SetControlId(m_textSuccess, 1021);
    auto* leds = MakeText(QStringLiteral("Status LEDs of both Norva-BX01 and Norva-BX02 are in "
                                         "Green color (not blinking)"),
                          QStringLiteral("statusLedsText"), this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 12, 18, 12);
    layout->addStretch(1);
    layout->addWidget(m_textSuccess);
    layout->addSpacing(4);
    layout->addWidget(leds);
    layout->addStretch(3);
}

bool CSuccess::OnInitDialog() {
    m_fontBold = MakeBoldFont(font());
    m_textSuccess->setFont(m_fontBold);
    return true;
}

bool CSuccess::OnSetActive() {
    PostWizButtons(pages::ButtonsOnArrival(flow::STEP_SUCCESS, false));
    return CPropertyPage::OnSetActive();
}

} // namespace norva
