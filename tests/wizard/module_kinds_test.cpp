// The whole pairing through the real widgets against every kind of module the
// simulator plays: the nine steps end with both units configured, no box asks
// to store the settings again, and step 9's Verify proves the link.

#include "SimSheetFixture.h"
#include "pages/Mode.h"
#include "pages/ModeSuccess.h"
#include "res/strings/StringTable.h"
#include "support/ModuleKinds.h"
#include "wizard/VerifyRunner.h"

#include <QCheckBox>
#include <QComboBox>

namespace norva::test {
namespace {

class GuiEveryModule : public SimSheetTest, public ::testing::WithParamInterface<ModuleKind> {
protected:
    // What the user chooses on steps 7 and 8: another UART than the line's,
    // and no flow control.
    static void ChooseUart(CModePageBase* page) {
        page->m_cbBaudRate->setCurrentIndex(page->m_cbBaudRate->findText(QStringLiteral("57600")));
        page->m_cbParity->setCurrentIndex(page->m_cbParity->findText(QStringLiteral("Even")));
        page->m_cbStopBits->setCurrentIndex(page->m_cbStopBits->findText(QStringLiteral("2")));
        page->m_checkNoFlowControl->setChecked(true);
        page->m_checkConfirm->setChecked(true);
    }
};

TEST_P(GuiEveryModule, PairsAndVerifies) {
    StartSim([](sim::SimOptions& o) {
        o.timing.inquiryMs = 600;
        SetKind(o, GetParam());
    });
    ThroughStepSix();
    S().PressNext();
    ChooseUart(S().ModePage());
    S().PressNext();
    ASSERT_TRUE(WaitForPage(S().Mode1Page(), 2 * kJobMs));
    ChooseUart(S().Mode1Page());
    S().PressNext();
    ASSERT_TRUE(WaitForPage(S().ModeSuccessPage(), 2 * kJobMs));
    EXPECT_TRUE(simulator->GetVerdict().wouldAutoConnect) << simulator->GetVerdict().Describe();
    // Besides the hang-up of step 7, only a unit with result codes off is told of.
    for (const QString& text : messages.Texts()) {
        EXPECT_TRUE(text == QString::fromStdString(LoadString(IDS_DISCONNECTED)) ||
                    text == QString::fromStdString(LoadString(IDS_RESPONSE_DISABLED)))
            << text.toStdString();
    }

    const size_t before = messages.Count();
    S().ModeSuccessPage()->m_btnVerify->click();
    ASSERT_TRUE(WaitForMessages(before + 1, 2 * kJobMs));
    const ShownBox box = messages.At(before);
    EXPECT_EQ(box.text, QString::fromStdString(LoadString(IDS_VERIFY_PAIR_OK)))
        << box.informative.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Kinds, GuiEveryModule, ::testing::ValuesIn(ModuleKinds()),
                         [](const auto& info) { return KindTestName(info.param); });

} // namespace
} // namespace norva::test
