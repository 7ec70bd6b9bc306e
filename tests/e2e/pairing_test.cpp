// A technician's whole pairing run with one cable: the real wizard, worker and
// serial port against the simulator in follow mode, which puts unit 2 on the
// line after unit 1 became discoverable, and unit 1 again after unit 2 stored
// its settings.

#include "GuiFixture.h"
#include "pages/Connection.h"
#include "pages/Mode.h"
#include "pages/ModeSuccess.h"
#include "pages/ProgressDialogs.h"
#include "pages/Scan.h"
#include "pages/ScanWait.h"
#include "pages/Search.h"
#include "pages/Success.h"
#include "res/strings/StringTable.h"
#include "sim/Simulator.h"
#include "wizard/QtModuleHost.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

namespace norva::test {
namespace {

// The longest single step: an apply that times out on a connected module,
// the status query that escapes it, the hang-up and the apply again.
constexpr int kStepMs = 40000;

struct UartChoice {
    const char* baud;
    const char* parity;
    const char* stopBits;
    bool noFlow;
};

class PairingTest : public SheetTest {
protected:
    void StartSim(const std::function<void(sim::SimOptions&)>& adjust = {}) {
        sim::SimOptions options;
        options.follow = true;
        options.onePort = true;
        if (adjust) {
            adjust(options);
        }
        simulator = std::make_unique<sim::Simulator>(options);
        std::string error;
        ASSERT_TRUE(simulator->Start(&error)) << error;
        // One cable: both units are reached through the same COM number.
        com = std::make_unique<ScopedEnv>(ComVariable(kTestCom1).c_str(), simulator->DevicePath(1));
        S().m_unit1Setting.m_nPort = kTestCom1;
        S().m_unit2Setting.m_nPort = kTestCom1;
    }

    void TearDown() override {
        SheetTest::TearDown();
        if (simulator) {
            simulator->Stop();
        }
    }

    // With NORVA_SCREENSHOT_DIR set, the README's pictures of every step are
    // taken from this run.
    void Shot(int step) {
        const QString dir = qEnvironmentVariable("NORVA_SCREENSHOT_DIR");
        if (dir.isEmpty()) {
            return;
        }
        Pump(50);
        const QString file = QStringLiteral("%1/step%2.png").arg(dir).arg(step);
        EXPECT_TRUE(S().grab().save(file)) << file.toStdString();
    }

    bool WaitForPage(CPropertyPage* page) {
        return PumpUntil([&] { return S().GetActivePage() == page; }, kStepMs * kSlowdown);
    }

    static void Choose(QComboBox* box, const char* text) {
        const int index = box->findText(QString::fromLatin1(text));
        ASSERT_GE(index, 0) << text;
        box->setCurrentIndex(index);
    }

    void ChooseUart(CModePageBase* page, const UartChoice& uart) {
        Choose(page->m_cbBaudRate, uart.baud);
        Choose(page->m_cbParity, uart.parity);
        Choose(page->m_cbStopBits, uart.stopBits);
        if (page->m_checkNoFlowControl->isChecked() != uart.noFlow) {
            page->m_checkNoFlowControl->click();
        }
        page->m_checkConfirm->click();
        Pump();
        ASSERT_TRUE(S().NextButton()->isEnabled());
    }

    // Steps 1 to 9 as a user clicks through them.
    void PairBothUnits(const UartChoice& unit2, const UartChoice& unit1) {
        S().show();
        Shot(1);
        S().NextButton()->click();
        ASSERT_TRUE(WaitForPage(S().ScanPage()));

        S().ScanPage()->m_checkConfirm->click();
        Pump();
        Shot(2);
        S().NextButton()->click();
        ASSERT_TRUE(WaitForPage(S().ScanWaitPage()));
        Shot(3);

        S().NextButton()->click();
        ASSERT_TRUE(WaitForPage(S().SearchPage()));

        S().SearchPage()->m_checkConfirm->click();
        Pump();
        Shot(4);
        S().NextButton()->click();
        CConnection* search = S().ConnectionPage();
        ASSERT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(search));

        // Unit 1 is discoverable: it shows up, and the search ends by itself.
        const QString unit1Address = QString::fromStdString(simulator->Snapshot(1).address);
        int row = -1;
        ASSERT_TRUE(PumpUntil(
            [&] {
                for (int r = 0; r < search->m_list->rowCount(); ++r) {
                    if (search->m_list->item(r, 0)->text().trimmed() == unit1Address) {
                        row = r;
                    }
                }
                return row >= 0 && search->m_bSearching == 0;
            },
            kStepMs * kSlowdown));
        search->m_list->selectRow(row);
        Pump();
        ASSERT_EQ(search->m_editAddress->text().trimmed(), unit1Address);
        ASSERT_TRUE(search->m_btnConnect->isEnabled());
        Shot(5);
        // Connect runs the modal Connecting dialog; the connection ends it.
        QTimer::singleShot(0, search->m_btnConnect, &QPushButton::click);
        ASSERT_TRUE(WaitForPage(S().SuccessPage()));
        Shot(6);

        S().NextButton()->click();
        ASSERT_TRUE(WaitForPage(S().ModePage()));
        // Unit 2 is still linked to unit 1 from step 5: the apply has to
        // escape and hang up first, and then runs again on its own.
        EXPECT_EQ(simulator->Snapshot(2).link, sim::LinkState::Connected);
        ASSERT_NO_FATAL_FAILURE(ChooseUart(S().ModePage(), unit2));
        Shot(7);
        S().NextButton()->click();
        ASSERT_TRUE(WaitForPage(S().Mode1Page()));

        ASSERT_NO_FATAL_FAILURE(ChooseUart(S().Mode1Page(), unit1));
        Shot(8);
        S().NextButton()->click();
        ASSERT_TRUE(WaitForPage(S().ModeSuccessPage()));

        // The page's buttons arrive as a posted message after it is shown.
        ASSERT_TRUE(
            PumpUntil([&] { return S().FinishButton()->isEnabled(); }, kStepMs * kSlowdown));
        Shot(9);
        S().FinishButton()->click();
        ASSERT_TRUE(PumpUntil([&] { return !S().isVisible() || S().Destroyed(); }, 5000));
    }

    void ExpectPaired(const sim::UartSetting& unit2, const sim::UartSetting& unit1) {
        const sim::Verdict verdict = simulator->GetVerdict();
        EXPECT_TRUE(verdict.wouldAutoConnect) << verdict.Describe();
        EXPECT_EQ(verdict.unit[1].mode, 1);
        EXPECT_EQ(verdict.unit[0].mode, 2);
        EXPECT_EQ(verdict.unit[1].peerUnit, 1);
        EXPECT_EQ(verdict.unit[0].peerUnit, 2);
        EXPECT_EQ(sim::DescribeUart(verdict.unit[1].uart), sim::DescribeUart(unit2));
        EXPECT_EQ(sim::DescribeUart(verdict.unit[0].uart), sim::DescribeUart(unit1));
    }

    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<ScopedEnv> com;
};

const UartChoice kUnit2Choice{"38400", "Even", "2", true};
const UartChoice kUnit1Choice{"115200", "None", "1", false};
const sim::UartSetting kUnit2Stored{38400, 'E', 2, false};
const sim::UartSetting kUnit1Stored{115200, 'N', 1, true};

TEST_F(PairingTest, ANewUserPairsBothUnitsWithOneCable) {
    StartSim();
    PairBothUnits(kUnit2Choice, kUnit1Choice);
    ExpectPaired(kUnit2Stored, kUnit1Stored);
    EXPECT_EQ(messages.Count(), 0u) << messages.Texts().front().toStdString();
    simulator->PowerCycle();
    EXPECT_EQ(simulator->Snapshot(1).link, sim::LinkState::Connected);
    EXPECT_EQ(simulator->Snapshot(2).link, sim::LinkState::Connected);
}

TEST_F(PairingTest, OldFirmwareKeepsItsFlowControlAndStillPairs) {
    StartSim([](sim::SimOptions& o) { o.unit[1].oldFirmware = true; });
    // The firmware takes only the form without flow control, so its flow
    // control stays on: the user who asked for none is told, stays on step 7
    // and goes on with flow control, as the message says.
    bool bannerOverBox = false;
    messages.onShow = [&](const ShownBox& box) {
        // The always-on-top banner must not cover the box.
        CWaitDlg* banner = S().Host()->BannerWindow(Banner::Applying);
        bannerOverBox = bannerOverBox || (banner != nullptr && banner->isVisible());
        if (box.text == QString::fromStdString(LoadString(IDS_FLOW_NOT_STORED))) {
            QTimer::singleShot(0, sheet.get(), [this] {
                Pump();
                ASSERT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().ModePage()));
                S().ModePage()->m_checkNoFlowControl->click();
                S().NextButton()->click();
            });
        }
    };
    PairBothUnits(kUnit2Choice, kUnit1Choice);
    ExpectPaired({38400, 'E', 2, true}, kUnit1Stored);
    EXPECT_FALSE(bannerOverBox);
    const std::vector<QString> texts = messages.Texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(),
                         QString::fromStdString(LoadString(IDS_FLOW_NOT_STORED))),
              1);
    // It reported no flow-control field, which counts as on: the firmware
    // mismatch message is not needed.
    for (const QString& text : texts) {
        EXPECT_NE(text.toStdString(), kFirmwareMismatchText);
    }
}

TEST_F(PairingTest, UnitsLinkedFromBeforeAreHungUpFirst) {
    StartSim([](sim::SimOptions& o) {
        o.unit[0].startConnected = true;
        o.unit[1].startConnected = true;
    });
    PairBothUnits(kUnit2Choice, kUnit1Choice);
    ExpectPaired(kUnit2Stored, kUnit1Stored);
    // Step 1 found the live link, hung it up and said so; that also ended it
    // for unit 2, so step 3 found unit 2 idle.
    const std::vector<QString> texts = messages.Texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(),
                         QString::fromStdString(LoadString(IDS_DISCONNECTED))),
              1);
}

} // namespace
} // namespace norva::test
