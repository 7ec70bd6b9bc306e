#include "pages/Mode.h"

#include "frontend/PageRules.h"
#include "frontend/SheetAccess.h"
#include "pages/ComboValues.h"
#include "pages/PageCommon.h"
#include "pages/SheetMessages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace norva {

namespace {

QComboBox* MakeValueList(const QString& objectName, const QString& accessibleName, int id,
                         QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(objectName);
    box->setAccessibleName(accessibleName);
    box->setInsertPolicy(QComboBox::InsertAtBottom);
    box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    SetControlId(box, id);
    return box;
}

} // namespace

CModePageBase::CModePageBase(const ModePageTemplate& tmpl, QWidget* parent)
    : CPropertyPage(tmpl.templateId, QString::fromLatin1(tmpl.caption), parent),
      m_nStep(tmpl.step) {}

QWidget* CModePageBase::BuildUartGroup(const ModePageTemplate& tmpl) {
    auto* group = new QGroupBox(QString::fromLatin1(tmpl.groupTitle), this);
    group->setObjectName(QStringLiteral("uartGroup"));

    m_cbBaudRate = MakeValueList(QStringLiteral("baudRateList"), QStringLiteral("Baud Rate"),
                                 tmpl.baudId, group);
    m_cbParity =
        MakeValueList(QStringLiteral("parityList"), QStringLiteral("Parity"), tmpl.parityId, group);
    m_cbStopBits = MakeValueList(QStringLiteral("stopBitsList"), QStringLiteral("Stopbit"),
                                 tmpl.stopBitsId, group);
    auto* baudLabel = new QLabel(QStringLiteral("Baud Rate"), group);
    baudLabel->setObjectName(QStringLiteral("baudRateLabel"));
    baudLabel->setBuddy(m_cbBaudRate);
    auto* parityLabel = new QLabel(QStringLiteral("Parity"), group);
    parityLabel->setObjectName(QStringLiteral("parityLabel"));
    parityLabel->setBuddy(m_cbParity);
    auto* stopBitsLabel = new QLabel(QStringLiteral("Stopbit"), group);
    stopBitsLabel->setObjectName(QStringLiteral("stopBitsLabel"));
    stopBitsLabel->setBuddy(m_cbStopBits);

    m_checkNoFlowControl = new QCheckBox(QStringLiteral("Don't use Hardware Flow control"), group);
    m_checkNoFlowControl->setObjectName(QStringLiteral("noFlowControlCheck"));
    SetControlId(m_checkNoFlowControl, tmpl.noFlowId);

    auto* lists = new QHBoxLayout;
    lists->addWidget(baudLabel);
    lists->addWidget(m_cbBaudRate);
    lists->addSpacing(12);
    lists->addWidget(parityLabel);
    lists->addWidget(m_cbParity);
    lists->addSpacing(12);
    lists->addWidget(stopBitsLabel);
    lists->addWidget(m_cbStopBits);
    lists->addStretch(1);

    auto* layout = new QVBoxLayout(group);
    layout->addLayout(lists);
    layout->addWidget(m_checkNoFlowControl);
    return group;
}

QWidget* CModePageBase::BuildConfirmRow(const ModePageTemplate& tmpl) {
    auto* row = new QWidget(this);
    row->setObjectName(QStringLiteral("confirmRow"));
    const QString text = QString::fromLatin1(tmpl.confirmText);
    m_checkConfirm = new QCheckBox(row);
    m_checkConfirm->setObjectName(QStringLiteral("confirmCheck"));
    // The box has no text of its own: the text beside it names it.
    m_checkConfirm->setAccessibleName(text);
    SetControlId(m_checkConfirm, tmpl.confirmId);
    connect(m_checkConfirm, &QCheckBox::clicked, this, &CModePageBase::PostButtonsFromConfirm);
    auto* label = MakeText(text, QStringLiteral("confirmText"), row);
    label->setBuddy(m_checkConfirm);

    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_checkConfirm, 0, Qt::AlignTop);
    layout->addWidget(label, 1);
    return row;
}

bool CModePageBase::OnInitDialog() {
    m_fontBold = MakeBoldFont(font());
    m_textHeading->setFont(m_fontBold);
    // The setting dialogs' values at this moment, their initial ones, preselect the lists.
    const UnitSetting setting = InitialSetting();
    FillValueCombo(m_cbBaudRate, kBaudTexts, kBaudValues, kBaudCount, setting.baud);
    FillValueCombo(m_cbParity, kParityTexts, kParityValues, kParityCount, setting.parity);
    FillValueCombo(m_cbStopBits, kStopBitTexts, kStopBitValues, kStopBitCount, setting.stopBits);
    return true;
}

bool CModePageBase::OnSetActive() {
    PostButtonsFromConfirm();
    return CPropertyPage::OnSetActive();
}

void CModePageBase::PostButtonsFromConfirm() {
    PostWizButtons(pages::ButtonsOnArrival(m_nStep, m_checkConfirm->isChecked()));
}

void CModePageBase::UpdateData() {
    m_bConfirm = m_checkConfirm->isChecked() ? 1 : 0;
    m_bNoFlowControl = m_checkNoFlowControl->isChecked() ? 1 : 0;
}

int CModePageBase::OnWizardNext() {
    UpdateData();
    m_nBaudRate = GetComboValue(m_cbBaudRate, kBaudTexts, kBaudValues, kBaudCount);
    m_nParity = GetComboValue(m_cbParity, kParityTexts, kParityValues, kParityCount);
    m_nStopBits = GetComboValue(m_cbStopBits, kStopBitTexts, kStopBitValues, kStopBitCount);
    m_bFlowControl = m_bNoFlowControl == 0 ? 1 : 0;
    // Back and Next stay off while the sheet stores the settings.
    return HandNextToSheet(m_nStep);
}

namespace {

constexpr ModePageTemplate kModeTemplate{
    CMode::IDD,
    "Norva-BX Wizard - Step 7 of 9",
    1028,
    1029,
    1030,
    1032,
    1033,
    "Configure UART of Norva-BX02 for my use:",
    "Change UART as above, and set up Norva-BX02 to go Auto-connection mode.",
    flow::STEP_MODE};
constexpr ModePageTemplate kMode1Template{
    CMode1::IDD,
    "Norva-BX Wizard - Step 8 of 9",
    1025,
    1026,
    1027,
    1031,
    1003,
    "Configure UART of Norva-BX01 for my use:",
    "Change UART as above, and set up Norva-BX01 to go Auto-connection mode.",
    flow::STEP_MODE1};

} // namespace

CMode::CMode(QWidget* parent) : CModePageBase(kModeTemplate, parent) {
    setObjectName(QStringLiteral("modePage"));
    const ModePageTemplate& tmpl = kModeTemplate;
    m_textHeading = MakeText(QStringLiteral("Now, WIZARD will configure Auto-connection mode."),
                             QStringLiteral("configureHeadingText"), this);
    SetControlId(m_textHeading, 1021);
    auto* twoUnits = MakeText(QStringLiteral("Two Norva-BXs in this mode will be connected "
                                             "automatically whenever powered."),
                              QStringLiteral("twoUnitsText"), this);
    QWidget* group = BuildUartGroup(tmpl);
    QWidget* confirm = BuildConfirmRow(tmpl);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(m_textHeading);
    layout->addWidget(twoUnits);
    layout->addStretch(1);
    layout->addWidget(group);
    layout->addStretch(1);
    layout->addWidget(confirm);
    layout->addStretch(2);
}

UnitSetting CMode::InitialSetting() const {
    ISheetAccess* sheet = Sheet();
    return sheet != nullptr ? sheet->UnitSettingOf(2) : UnitSetting{};
}

CMode1::CMode1(QWidget* parent) : CModePageBase(kMode1Template, parent) {
    setObjectName(QStringLiteral("mode1Page"));
    const ModePageTemplate& tmpl = kMode1Template;
    auto* jobsFinished = MakeText(QStringLiteral("Jobs for Norva-BX02 is finished!"),
                                  QStringLiteral("jobsFinishedText"), this);
    SetControlId(jobsFinished, 1022);
    m_textHeading = MakeText(QStringLiteral("Take it out and connect Norva-BX01 to this computer."),
                             QStringLiteral("connectUnit1HeadingText"), this);
    SetControlId(m_textHeading, 1021);
    QWidget* group = BuildUartGroup(tmpl);
    QWidget* confirm = BuildConfirmRow(tmpl);
    m_btnSerialSetting = new QPushButton(QStringLiteral("Serial Setting"), this);
    m_btnSerialSetting->setObjectName(QStringLiteral("serialSettingButton"));
    SetControlId(m_btnSerialSetting, 1015);
    m_btnSerialSetting->setVisible(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(jobsFinished);
    layout->addWidget(m_textHeading);
    layout->addStretch(1);
    layout->addWidget(group);
    layout->addStretch(1);
    layout->addWidget(confirm);
    layout->addStretch(2);
}

UnitSetting CMode1::InitialSetting() const {
    ISheetAccess* sheet = Sheet();
    return sheet != nullptr ? sheet->UnitSettingOf(1) : UnitSetting{};
}

} // namespace norva
