#include "pages/ScanWait.h"

#include "frontend/PageRules.h"
#include "frontend/SheetAccess.h"
#include "pages/PageCommon.h"
#include "pages/SheetMessages.h"
#include "pages/TransparentStatic.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace norva {

CScanWait::CScanWait(QWidget* parent)
    : CPropertyPage(IDD, QStringLiteral("Norva-BX Wizard - Step 3 of 9"), parent) {
    setObjectName(QStringLiteral("scanWaitPage"));

    // The reverse of step 1: unit 1 pale, unit 2 in colour under the connector.
    auto* unit1Number = new QLabel(QStringLiteral("(1)"), this);
    unit1Number->setObjectName(QStringLiteral("unit1NumberText"));
    m_picture = new CTransparentStatic(this);
    m_picture->setObjectName(QStringLiteral("unit1Picture"));
    SetControlId(m_picture, 1037);
    m_picture->setPixmap(LoadPicture(kPaleModuleBitmapPath));
    m_picture->setAccessibleName(QStringLiteral("Norva-BX01"));
    auto* unit1Name = new QLabel(QStringLiteral("Norva-BX1"), this);
    unit1Name->setObjectName(QStringLiteral("unit1NameText"));
    auto* unit2Number = new QLabel(QStringLiteral("(2)"), this);
    unit2Number->setObjectName(QStringLiteral("unit2NumberText"));
    auto* connector = MakePicture(kConnectorIconPath, QStringLiteral("serialConnectorPicture"),
                                  QStringLiteral("Serial connector"), this);
    auto* unit2Picture = MakePicture(kModuleIconPath, QStringLiteral("unit2Picture"),
                                     QStringLiteral("Norva-BX02"), this);
    auto* unit2Name = new QLabel(QStringLiteral("Norva-BX2"), this);
    unit2Name->setObjectName(QStringLiteral("unit2NameText"));

    auto* pictures = new QGridLayout;
    pictures->addWidget(unit1Number, 0, 0, Qt::AlignTop);
    pictures->addWidget(m_picture, 0, 1, Qt::AlignHCenter);
    pictures->addWidget(unit1Name, 1, 0, 1, 2, Qt::AlignHCenter);
    pictures->setRowMinimumHeight(2, 16);
    pictures->setRowStretch(2, 1);
    pictures->addWidget(unit2Number, 3, 0, Qt::AlignTop);
    pictures->addWidget(connector, 3, 1, Qt::AlignHCenter);
    pictures->addWidget(unit2Picture, 4, 1, Qt::AlignHCenter);
    pictures->addWidget(unit2Name, 5, 0, 1, 2, Qt::AlignHCenter);
    pictures->setRowStretch(6, 2);

    auto* ledBlinking =
        MakeText(QStringLiteral("Make sure Status LED of Norva-BX01is blinking in Green color."),
                 QStringLiteral("ledBlinkingText"), this);
    m_textLeaveUnit1 =
        MakeText(QStringLiteral("Leave the Norva-BX01 blinking, and take it out from this "
                                "computer.\n(Make sure power is being supplied to the Norva-BX01)"),
                 QStringLiteral("leaveUnit1Text"), this);
    SetControlId(m_textLeaveUnit1, 1021);
    auto* connectUnit2 = MakeText(
        QStringLiteral("Now, connect Norva-BX02 to this computer and supply power thereto."),
        QStringLiteral("connectUnit2Text"), this);
    auto* pressButton = MakeText(QStringLiteral("Press the button below for WIZARD SETTING, to be "
                                                "identical with Norva-BX02."),
                                 QStringLiteral("pressButtonText"), this);
    m_btnWizardSetting = new QPushButton(QStringLiteral("Wizard Setting"), this);
    m_btnWizardSetting->setObjectName(QStringLiteral("wizardSettingButton"));
    m_btnWizardSetting->setAutoDefault(false);
    SetControlId(m_btnWizardSetting, 1015);
    connect(m_btnWizardSetting, &QPushButton::clicked, this, &CScanWait::OnWizardSetting);

    auto* texts = new QVBoxLayout;
    texts->addSpacing(12);
    texts->addWidget(ledBlinking);
    texts->addSpacing(4);
    texts->addWidget(m_textLeaveUnit1);
    texts->addStretch(1);
    texts->addWidget(connectUnit2);
    texts->addSpacing(4);
    texts->addWidget(pressButton);
    texts->addStretch(1);
    texts->addWidget(m_btnWizardSetting, 0, Qt::AlignRight);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(pictures);
    layout->addWidget(MakeVerticalLine(this));
    layout->addLayout(texts, 1);
}

bool CScanWait::OnInitDialog() {
    m_fontBold = MakeBoldFont(font());
    m_textLeaveUnit1->setFont(m_fontBold);
    return true;
}

bool CScanWait::OnSetActive() {
    PostWizButtons(pages::ButtonsOnArrival(flow::STEP_SCAN_WAIT, false));
    return CPropertyPage::OnSetActive();
}

int CScanWait::OnWizardNext() {
    return HandNextToSheet(flow::STEP_SCAN_WAIT);
}

void CScanWait::OnWizardSetting() {
    if (ISheetAccess* sheet = Sheet()) {
        sheet->EditUnitSetting(2);
    }
}

} // namespace norva
