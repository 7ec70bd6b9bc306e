#include "pages/Scan.h"

#include "frontend/PageRules.h"
#include "pages/PageCommon.h"
#include "pages/SheetMessages.h"

#include <QCheckBox>
#include <QVBoxLayout>

namespace norva {

CScan::CScan(QWidget* parent)
    : CPropertyPage(IDD, QStringLiteral("Norva-BX Wizard - Step 2 of 9"), parent) {
    setObjectName(QStringLiteral("scanPage"));
    m_checkConfirm = new QCheckBox(
        QStringLiteral("Let's configure Norva-BX01 to be discoverable/connectable."), this);
    m_checkConfirm->setObjectName(QStringLiteral("confirmScanCheck"));
    SetControlId(m_checkConfirm, 1034);
    connect(m_checkConfirm, &QCheckBox::clicked, this, &CScan::OnConfirmClicked);
    // The member follows the box, as the exchange on leaving the page would have it.
    connect(m_checkConfirm, &QCheckBox::toggled, this,
            [this](bool checked) { m_bConfirm = checked ? 1 : 0; });

    auto* pressNext = MakeText(QStringLiteral("Please check and press NEXT button."),
                               QStringLiteral("pressNextText"), this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 12, 24, 12);
    layout->addStretch(1);
    layout->addWidget(m_checkConfirm);
    layout->addSpacing(8);
    auto* indented = new QVBoxLayout;
    indented->setContentsMargins(8, 0, 0, 0);
    indented->addWidget(pressNext);
    layout->addLayout(indented);
    layout->addStretch(3);
}

bool CScan::OnInitDialog() {
    m_fontBold = MakeBoldFont(font());
    m_checkConfirm->setFont(m_fontBold);
    m_checkConfirm->setChecked(m_bConfirm != 0);
    return true;
}

bool CScan::OnSetActive() {
    PostWizButtons(pages::ButtonsOnArrival(flow::STEP_SCAN, false));
    return CPropertyPage::OnSetActive();
}

int CScan::OnWizardNext() {
    return HandNextToSheet(flow::STEP_SCAN);
}

void CScan::OnConfirmClicked() {
    PostWizButtons(pages::ButtonsOnBoxClick(flow::STEP_SCAN, m_checkConfirm->isChecked()));
}

} // namespace norva
