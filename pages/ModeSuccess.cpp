#include "pages/ModeSuccess.h"

#include "pages/PageCommon.h"
#include "pages/SheetMessages.h"
#include "res/strings/StringTable.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace norva {

CModeSuccess::CModeSuccess(QWidget* parent)
    : CPropertyPage(IDD, QStringLiteral("Norva-BX Wizard - Step 9 of 9"), parent) {
    setObjectName(QStringLiteral("modeSuccessPage"));
    m_textConfigured =
        MakeText(QStringLiteral("Auto-connection mode has been successfully configured."),
                 QStringLiteral("autoConnectionConfiguredText"), this);
    SetControlId(m_textConfigured, 1021);
    auto* paired = MakeText(QStringLiteral("Now Norva-BX01 and Norva-BX02 are paired, and will be "
                                           "connected always, even after repowered."),
                            QStringLiteral("pairedText"), this);
    auto* switchOff = MakeText(
        QStringLiteral("Please switch off both Norva-BXs and switch them on at the same time, then "
                       "both units will be connected automatically."),
        QStringLiteral("switchOffText"), this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(21, 12, 12, 12);
    layout->addStretch(1);
    layout->addWidget(m_textConfigured);
    layout->addSpacing(8);
    layout->addWidget(paired);
    layout->addSpacing(8);
    layout->addWidget(switchOff);
    layout->addSpacing(8);
    m_textStored = new QLabel(this);
    m_textStored->setObjectName(QStringLiteral("storedText"));
    m_textStored->setWordWrap(true);
    m_textStored->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_textStored->hide();
    layout->addWidget(m_textStored);
    layout->addSpacing(8);
    m_btnVerify = new QPushButton(QString::fromStdString(LoadString(IDS_VERIFY_BUTTON)), this);
    m_btnVerify->setObjectName(QStringLiteral("verifyButton"));
    m_btnVerify->setAutoDefault(false);
    connect(m_btnVerify, &QPushButton::clicked, this, &CModeSuccess::VerifyRequested);
    layout->addWidget(m_btnVerify, 0, Qt::AlignLeft);
    m_btnPrintLabel = new QPushButton(QString::fromStdString(LoadString(IDS_PRINT_LABEL)), this);
    m_btnPrintLabel->setObjectName(QStringLiteral("printLabelButton"));
    m_btnPrintLabel->setAutoDefault(false);
    connect(m_btnPrintLabel, &QPushButton::clicked, this, &CModeSuccess::PrintLabelRequested);
    layout->addWidget(m_btnPrintLabel, 0, Qt::AlignLeft);
    layout->addStretch(3);
    m_btnSaveLog = new QPushButton(QString::fromStdString(LoadString(IDS_SAVE_LOG)), this);
    m_btnSaveLog->setObjectName(QStringLiteral("saveLogButton"));
    m_btnSaveLog->setAutoDefault(false);
    connect(m_btnSaveLog, &QPushButton::clicked, this, &CModeSuccess::SaveLogRequested);
    auto* saveRow = new QHBoxLayout;
    saveRow->addStretch(1);
    saveRow->addWidget(m_btnSaveLog);
    layout->addLayout(saveRow);
}

bool CModeSuccess::OnInitDialog() {
    m_fontBold = MakeBoldFont(font());
    m_textConfigured->setFont(m_fontBold);
    return true;
}

void CModeSuccess::ShowStored(const QString& summary) {
    m_textStored->setText(summary);
    m_textStored->setVisible(!summary.isEmpty());
}

bool CModeSuccess::OnSetActive() {
    PostWizButtons(PSWIZB_FINISH);
    return CPropertyPage::OnSetActive();
}

} // namespace norva
