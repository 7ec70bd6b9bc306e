#pragma once
// The real sheet, worker and serial port against simulated modules on
// pseudo-terminals; only the message boxes are answered by the test.

#include "GuiFixture.h"
#include "pages/Connection.h"
#include "pages/Mode.h"
#include "pages/ModeSuccess.h"
#include "pages/Scan.h"
#include "pages/ScanWait.h"
#include "pages/Search.h"
#include "pages/Success.h"
#include "sim/Simulator.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <functional>
#include <memory>

namespace norva::test {

// A status query of a module that never answers takes about 9 s.
constexpr int kJobMs = 30000;

class SimSheetTest : public SheetTest {
protected:
    void StartSim(const std::function<void(sim::SimOptions&)>& adjust = {}) {
        sim::SimOptions options;
        if (adjust) {
            adjust(options);
        }
        simulator = std::make_unique<sim::Simulator>(options);
        std::string error;
        ASSERT_TRUE(simulator->Start(&error)) << error;
        // With a link directory the ports are reached as by-id links are,
        // so that a replugged unit is found under the same name.
        const bool links = !options.linkDir.empty();
        com1 =
            std::make_unique<ScopedEnv>(ComVariable(kTestCom1).c_str(),
                                        links ? simulator->LinkPath(1) : simulator->DevicePath(1));
        com2 =
            std::make_unique<ScopedEnv>(ComVariable(kTestCom2).c_str(),
                                        links ? simulator->LinkPath(2) : simulator->DevicePath(2));
        S().m_unit1Setting.m_nPort = kTestCom1;
        S().m_unit2Setting.m_nPort = kTestCom2;
    }

    void TearDown() override {
        SheetTest::TearDown();
        if (simulator) {
            simulator->Stop();
        }
    }

    bool WaitForPage(CPropertyPage* page, int ms = kJobMs) {
        return PumpUntil([&] { return S().GetActivePage() == page; }, ms * kSlowdown);
    }
    bool WaitForMessages(size_t count, int ms = kJobMs) {
        return PumpUntil([&] { return messages.Count() >= count; }, ms * kSlowdown);
    }

    // Steps 1 to 4 as the user goes through them.
    void ThroughStepFour() {
        S().NextButton()->click();
        ASSERT_TRUE(WaitForPage(S().ScanPage()));
        S().PressNext();
        ASSERT_TRUE(WaitForPage(S().ScanWaitPage()));
        S().PressNext();
        ASSERT_TRUE(WaitForPage(S().SearchPage()));
        S().PressNext();
        ASSERT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().ConnectionPage()));
    }

    // Presses Connect for `address`; a hang ends through the dialog's
    // Cancel so that it cannot block the run.
    void PressConnect(const std::string& address) {
        CConnection* page = S().ConnectionPage();
        page->m_editAddress->setText(QString::fromStdString(address));
        QTimer::singleShot(kJobMs * kSlowdown, page, [page] {
            if (page->m_connectingDlg.IsOpen()) {
                page->m_connectingDlg.m_cancelButton->click();
            }
        });
        page->m_btnConnect->setEnabled(true);
        page->m_btnConnect->click();
    }

    // Steps 1 to 6: unit 2 connected to unit 1.
    void ThroughStepSix() {
        ThroughStepFour();
        ASSERT_TRUE(
            PumpUntil([&] { return S().ConnectionPage()->m_bSearching == 0; }, kJobMs * kSlowdown));
        PressConnect(simulator->Snapshot(1).address);
        ASSERT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().SuccessPage()));
    }

    // From step 6 (unit 2 connected) through both applies to step 9; the
    // pair must then auto-connect.
    void FromStepSixToNine() {
        S().PressNext();
        S().PressNext();
        ASSERT_TRUE(WaitForPage(S().Mode1Page(), 2 * kJobMs));
        S().PressNext();
        ASSERT_TRUE(WaitForPage(S().ModeSuccessPage()));
        EXPECT_TRUE(simulator->GetVerdict().wouldAutoConnect) << simulator->GetVerdict().Describe();
    }

    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<ScopedEnv> com1;
    std::unique_ptr<ScopedEnv> com2;
};

} // namespace norva::test
