// Step 9's Verify button through the real page, sheet and verifier against norva-sim.
#include "SimSheetFixture.h"
#include "pages/ModeSuccess.h"
#include "res/strings/StringTable.h"
#include "wizard/VerifyRunner.h"

#include <QLabel>
#include <QPushButton>

namespace norva::test {
namespace {

using VerifyTest = SimSheetTest;

QString Text(int id) {
    return QString::fromStdString(LoadString(id));
}

// Steps 1 to 9, then Verify pressed.
void PressVerify(CSerialSheet& sheet) {
    CModeSuccess* page = sheet.ModeSuccessPage();
    ASSERT_TRUE(page->m_btnVerify->isVisibleTo(page));
    ASSERT_TRUE(page->m_btnVerify->isEnabled());
    page->m_btnVerify->click();
}

TEST_F(VerifyTest, VerifyAtStepNineProvesTheLinkAndSaysSo) {
    StartSim();
    ThroughStepSix();
    FromStepSixToNine();
    CModeSuccess* page = S().ModeSuccessPage();
    EXPECT_EQ(page->m_btnVerify->text(), Text(IDS_VERIFY_BUTTON));
    PressVerify(S());
    // Under way: the sheet's port is given up, the progress dialog offers Cancel.
    EXPECT_TRUE(S().Verifier()->Running());
    EXPECT_EQ(M().PortOpen(), 0);
    ASSERT_NE(S().Verifier()->Dialog(), nullptr);
    EXPECT_FALSE(S().Verifier()->Dialog()->isHidden());
    EXPECT_TRUE(S().Verifier()->Dialog()->m_cancelButton->isEnabled());
    EXPECT_FALSE(page->m_btnVerify->isEnabled());

    ASSERT_TRUE(WaitForMessages(1));
    const ShownBox box = messages.At(0);
    EXPECT_TRUE(box.onUiThread);
    EXPECT_EQ(box.text, Text(IDS_VERIFY_PAIR_OK));
    const QString unit1 = QStringLiteral("Norva-BX01 (COM%1): verified, linked with %2")
                              .arg(kTestCom1)
                              .arg(QString::fromStdString(simulator->Snapshot(2).address));
    const QString unit2 = QStringLiteral("Norva-BX02 (COM%1): verified, linked with %2")
                              .arg(kTestCom2)
                              .arg(QString::fromStdString(simulator->Snapshot(1).address));
    EXPECT_TRUE(box.informative.contains(unit1)) << box.informative.toStdString();
    EXPECT_TRUE(box.informative.contains(unit2)) << box.informative.toStdString();
    EXPECT_TRUE(S().Verifier()->Dialog()->isHidden());
    EXPECT_TRUE(page->m_btnVerify->isEnabled());
    EXPECT_FALSE(S().Verifier()->Running());
    EXPECT_EQ(simulator->Snapshot(1).link, sim::LinkState::Connected);
}

TEST_F(VerifyTest, CancelEndsTheCheckAndAPoweredOffPartnerIsNotVerified) {
    StartSim();
    ThroughStepSix();
    FromStepSixToNine();
    ASSERT_TRUE(simulator->SetPower(2, false));
    PressVerify(S());
    ASSERT_NE(S().Verifier()->Dialog(), nullptr);
    S().Verifier()->Dialog()->m_cancelButton->click();
    // Cancel is taken once; the dialog stays until the check has ended.
    EXPECT_FALSE(S().Verifier()->Dialog()->m_cancelButton->isEnabled());
    ASSERT_TRUE(WaitForMessages(1));
    EXPECT_EQ(messages.At(0).text, Text(IDS_VERIFY_PAIR_NOT));
    EXPECT_TRUE(messages.At(0).informative.contains(QStringLiteral("cancelled")))
        << messages.At(0).informative.toStdString();

    messages.Clear();
    PressVerify(S());
    ASSERT_TRUE(WaitForMessages(1));
    EXPECT_EQ(messages.At(0).text, Text(IDS_VERIFY_PAIR_NOT));
    EXPECT_TRUE(messages.At(0).informative.contains(
        QStringLiteral("Norva-BX02 (COM%1): not verified: no answer").arg(kTestCom2)))
        << messages.At(0).informative.toStdString();
    EXPECT_TRUE(messages.At(0).informative.contains(
        QStringLiteral("Norva-BX01 (COM%1): not verified: the link did not come up")
            .arg(kTestCom1)))
        << messages.At(0).informative.toStdString();
}

TEST_F(VerifyTest, OneCableVerifiesUnitOneAgainstTheAddressReadAtStepThree) {
    StartSim();
    ThroughStepSix();
    FromStepSixToNine();
    S().m_unit2Setting.m_nPort = S().m_unit1Setting.m_nPort;
    std::vector<flow::UnitToVerify> units = CVerifyRunner::UnitsOf(S());
    ASSERT_EQ(units.size(), 1u);
    EXPECT_EQ(units[0].unit, 1);
    EXPECT_EQ(units[0].comPort, kTestCom1);
    EXPECT_EQ(units[0].partner, simulator->Snapshot(2).address);
    EXPECT_EQ(S().Unit1Address(), simulator->Snapshot(1).address);

    // Unit 2 is not on the cable: the dialog asks for its power cycle and waits for the link.
    ASSERT_TRUE(simulator->SetPower(2, false));
    PressVerify(S());
    ASSERT_TRUE(PumpUntil(
        [&] {
            const CVerifyDialog* dialog = S().Verifier()->Dialog();
            return dialog != nullptr && dialog->m_text->text() == Text(IDS_VERIFY_POWER_CYCLE);
        },
        kJobMs * kSlowdown));
    EXPECT_TRUE(S().Verifier()->Dialog()->m_cancelButton->isEnabled());
    ASSERT_TRUE(simulator->SetPower(2, true));
    ASSERT_TRUE(WaitForMessages(1));
    EXPECT_EQ(messages.At(0).text, Text(IDS_VERIFY_PAIR_OK))
        << messages.At(0).informative.toStdString();
}

} // namespace
} // namespace norva::test
