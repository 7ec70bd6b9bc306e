#include "pages/ModeSuccess.h"

#include "frontend/PageRules.h"
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

    m_textStored = new QLabel(this);
    m_textStored->setObjectName(QStringLiteral("storedText"));
    m_textStored->setWordWrap(true);
    m_textStored->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_textStored->hide();
    m_btnVerify = new QPushButton(QString::fromStdString(LoadString(IDS_VERIFY_BUTTON)), this);
    m_btnVerify->setObjectName(QStringLiteral("verifyButton"));
    connect(m_btnVerify, &QPushButton::clicked, this, &CModeSuccess::VerifyRequested);
    m_btnPrintLabel = new QPushButton(QString::fromStdString(LoadString(IDS_PRINT_LABEL)), this);
    m_btnPrintLabel->setObjectName(QStringLiteral("printLabelButton"));
    connect(m_btnPrintLabel, &QPushButton::clicked, this, &CModeSuccess::PrintLabelRequested);
    m_btnSaveLog = new QPushButton(QString::fromStdString(LoadString(IDS_SAVE_LOG)), this);
    m_btnSaveLog->setObjectName(QStringLiteral("saveLogButton"));
    connect(m_btnSaveLog, &QPushButton::clicked, this, &CModeSuccess::SaveLogRequested);

    // The texts from the top, the summary of both units under them, and the
    // page's own buttons in one row at the bottom: the summary and the
    // sheet's note under the page take the room the stretch leaves.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(21, 12, 12, 12);
    layout->setSpacing(8);
    layout->addWidget(m_textConfigured);
    layout->addWidget(paired);
    layout->addWidget(switchOff);
    layout->addWidget(m_textStored);
    layout->addStretch(1);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {m_btnVerify, m_btnPrintLabel, m_btnSaveLog}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    layout->addLayout(buttons);
}

bool CModeSuccess::OnInitDialog() {
    m_fontBold = MakeBoldFont(font());
    m_textConfigured->setFont(m_fontBold);
    return true;
}

void CModeSuccess::ShowStored(const QString& summary) {
    m_textStored->setText(summary);
    m_textStored->setVisible(!summary.isEmpty());
    KeepEveryLineInView();
}

void CModeSuccess::resizeEvent(QResizeEvent* event) {
    CPropertyPage::resizeEvent(event);
    KeepEveryLineInView();
}

// The sheet sizes itself by its pages' minimum sizes, which leave out how
// tall the wrapped texts grow at the page's width: with a large font or a
// long summary they would be cut off, so the page asks for that height.
void CModeSuccess::KeepEveryLineInView() {
    setMinimumHeight(layout()->totalHeightForWidth(width()));
}

bool CModeSuccess::OnSetActive() {
    PostWizButtons(pages::ButtonsOnArrival(flow::STEP_MODE_SUCCESS, false));
    return CPropertyPage::OnSetActive();
}

} // namespace norva
