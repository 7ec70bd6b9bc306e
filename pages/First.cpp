#include "pages/First.h"

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

CFirst::CFirst(QWidget* parent)
    : CPropertyPage(IDD, QStringLiteral("Norva-BX Wizard - Step 1 of 9"), parent) {
    setObjectName(QStringLiteral("firstPage"));

    // Unit 1 in colour under the connector; unit 2 pale, not attached yet.
    auto* unit1Number = new QLabel(QStringLiteral("(1)"), this);
    unit1Number->setObjectName(QStringLiteral("unit1NumberText"));
    auto* connector = MakePicture(kConnectorIconPath, QStringLiteral("serialConnectorPicture"),
                                  QStringLiteral("Serial connector"), this);
    auto* unit1Picture = MakePicture(kModuleIconPath, QStringLiteral("unit1Picture"),
                                     QStringLiteral("Norva-BX01"), this);
    auto* unit1Name = new QLabel(QStringLiteral("Norva-BX01"), this);
    unit1Name->setObjectName(QStringLiteral("unit1NameText"));
    auto* unit2Number = new QLabel(QStringLiteral("(2)"), this);
    unit2Number->setObjectName(QStringLiteral("unit2NumberText"));
    m_picture = new CTransparentStatic(this);
    m_picture->setObjectName(QStringLiteral("unit2Picture"));
    SetControlId(m_picture, 1036);
    m_picture->setPixmap(LoadPicture(kPaleModuleBitmapPath));
    m_picture->setAccessibleName(QStringLiteral("Norva-BX02"));
    auto* unit2Name = new QLabel(QStringLiteral("Norva-BX02"), this);
    unit2Name->setObjectName(QStringLiteral("unit2NameText"));

    auto* pictures = new QGridLayout;
    pictures->addWidget(connector, 0, 1, Qt::AlignHCenter);
    pictures->addWidget(unit1Number, 1, 0, Qt::AlignTop);
    pictures->addWidget(unit1Picture, 1, 1, Qt::AlignHCenter);
    pictures->addWidget(unit1Name, 2, 0, 1, 2, Qt::AlignHCenter);
    pictures->setRowMinimumHeight(3, 16);
    pictures->setRowStretch(3, 1);
    pictures->addWidget(unit2Number, 4, 0, Qt::AlignTop);
    pictures->addWidget(m_picture, 4, 1, Qt::AlignHCenter);
    pictures->addWidget(unit2Name, 5, 0, 1, 2, Qt::AlignHCenter);
    pictures->setRowStretch(6, 2);

    auto* prepare = MakeText(QStringLiteral("Please prepare 2EA of Norva-BXs to get paired.\n"
                                            "1st unit: Norva-BX01, 2nd unit: Norva-BX02.\n\n"
                                            "Connect Norva-BX01 to this computer, supplying power "
                                            "thereto."),
                             QStringLiteral("prepareText"), this);
    auto* uartSetting =
        MakeText(QStringLiteral("UART setting of this WIZARD should be identical with the UART of "
                                "Norva-BX01.\nPress the button below for WIZARD SETTING. "),
                 QStringLiteral("uartSettingText"), this);
    auto* defaultUart =
        MakeText(QStringLiteral("Default UART of Norva-BX: 9600bps/NonParity/1StopBit"),
                 QStringLiteral("defaultUartText"), this);
    m_btnWizardSetting = new QPushButton(QStringLiteral("Wizard Setting"), this);
    m_btnWizardSetting->setObjectName(QStringLiteral("wizardSettingButton"));
    m_btnWizardSetting->setAutoDefault(false);
    SetControlId(m_btnWizardSetting, 1015);
    connect(m_btnWizardSetting, &QPushButton::clicked, this, &CFirst::OnWizardSetting);

    auto* texts = new QVBoxLayout;
    texts->addSpacing(12);
    texts->addWidget(prepare);
    texts->addStretch(1);
    texts->addWidget(uartSetting);
    texts->addSpacing(8);
    texts->addWidget(defaultUart);
    texts->addStretch(1);
    texts->addWidget(m_btnWizardSetting, 0, Qt::AlignRight);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(pictures);
    layout->addWidget(MakeVerticalLine(this));
    layout->addLayout(texts, 1);
}

// The dialog font everywhere: no bold text on this page.
bool CFirst::OnInitDialog() {
    return true;
}

bool CFirst::OnSetActive() {
    PostWizButtons(pages::ButtonsOnArrival(flow::STEP_FIRST, false));
    return CPropertyPage::OnSetActive();
}

int CFirst::OnWizardNext() {
    return HandNextToSheet(flow::STEP_FIRST);
}

void CFirst::OnWizardSetting() {
    if (ISheetAccess* sheet = Sheet()) {
        sheet->EditUnitSetting(1);
    }
}

} // namespace norva
