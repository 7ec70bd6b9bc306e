#include "pages/Search.h"

#include "frontend/PageRules.h"
#include "pages/PageCommon.h"
#include "pages/SheetMessages.h"

#include <QCheckBox>
#include <QVBoxLayout>

namespace norva {

CSearch::CSearch(QWidget* parent)
    : CPropertyPage(IDD, QStringLiteral("Norva-BX Wizard - Step 4 of 9"), parent) {
    setObjectName(QStringLiteral("searchPage"));
    m_checkConfirm = new QCheckBox(
        QStringLiteral("Let's make Norva-BX02 search and connect to Norva-BX01."), this);
    m_checkConfirm->setObjectName(QStringLiteral("confirmSearchCheck"));
    SetControlId(m_checkConfirm, 1035);
    connect(m_checkConfirm, &QCheckBox::clicked, this, &CSearch::OnConfirmClicked);

    auto* pressNext = MakeText(QStringLiteral("Please check and press NEXT button"),
                               QStringLiteral("pressNextText"), this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->addStretch(1);
    layout->addWidget(m_checkConfirm);
    auto* indented = new QVBoxLayout;
    indented->setContentsMargins(12, 0, 0, 0);
    indented->addWidget(pressNext);
    layout->addLayout(indented);
    layout->addStretch(3);
}

bool CSearch::OnInitDialog() {
    m_fontBold = MakeBoldFont(font());
    m_checkConfirm->setFont(m_fontBold);
    return true;
}

bool CSearch::OnSetActive() {
    if (pages::ClearsBoxOnArrival(flow::STEP_SEARCH)) {
        m_bConfirm = 0;
        m_checkConfirm->setChecked(false);
    }
    PostWizButtons(pages::ButtonsOnArrival(flow::STEP_SEARCH, false));
    return CPropertyPage::OnSetActive();
}

int CSearch::OnWizardNext() {
    return HandNextToSheet(flow::STEP_SEARCH);
}

void CSearch::OnConfirmClicked() {
    m_bConfirm = m_checkConfirm->isChecked() ? 1 : 0;
    PostWizButtons(pages::ButtonsOnBoxClick(flow::STEP_SEARCH, m_bConfirm != 0));
}

} // namespace norva
