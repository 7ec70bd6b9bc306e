// The sheet's mechanics: page order and captions, the wizard buttons as the
// posted flags leave them, Back/Next/Finish, and what each page's Next makes
// the sheet do.

#include "GuiFixture.h"
#include "pages/Connection.h"
#include "pages/First.h"
#include "pages/Mode.h"
#include "pages/ModeSuccess.h"
#include "pages/Scan.h"
#include "pages/ScanWait.h"
#include "pages/Search.h"
#include "pages/Success.h"
#include "res/strings/StringTable.h"
#include "wizard/QtModuleHost.h"

#include "platform/SerialDevice.h"
#include "support/ControlProbe.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

namespace norva::test {
namespace {

using Slots = std::set<int>;

QString Text(int id) {
    return QString::fromStdString(LoadString(id));
}

QString Caption(int step) {
    return QStringLiteral("Norva-BX Wizard - Step %1 of 9").arg(step);
}

// Back, Next, Finish as the user sees them: enabled and shown.
struct ButtonState {
    bool back;
    bool next;
    bool finish;
    bool operator==(const ButtonState&) const = default;
};

ButtonState Buttons(const CSerialSheet& s) {
    return {s.BackButton()->isEnabled(),
            s.NextButton()->isVisibleTo(&s) && s.NextButton()->isEnabled(),
            s.FinishButton()->isVisibleTo(&s) && s.FinishButton()->isEnabled()};
}

std::ostream& operator<<(std::ostream& os, const ButtonState& b) {
    return os << "back=" << b.back << " next=" << b.next << " finish=" << b.finish;
}

class SheetMechanics : public SheetTest {};

TEST_F(SheetMechanics, PagesInStepOrderWithTheirCaptions) {
    ASSERT_EQ(S().GetPageCount(), 9);
    const std::vector<CPropertyPage*> expected = {
        S().FirstPage(),  S().ScanPage(),       S().ScanWaitPage(),
        S().SearchPage(), S().ConnectionPage(), S().SuccessPage(),
        S().ModePage(),   S().Mode1Page(),      S().ModeSuccessPage()};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(S().GetPage(i), expected[static_cast<size_t>(i)]) << i;
        EXPECT_EQ(S().GetPage(i)->Caption(), Caption(i + 1));
        EXPECT_TRUE(S().GetPage(i)->Initialized()) << "page " << i << " not initialised";
    }
    EXPECT_EQ(S().GetPage(9), nullptr);
    EXPECT_EQ(S().GetPageIndex(nullptr), -1);
}

TEST_F(SheetMechanics, StartsOnStepOneWithNextOnlyAndNoPortOpen) {
    EXPECT_EQ(S().GetActiveIndex(), 0);
    EXPECT_EQ(S().windowTitle(), Caption(1));
    EXPECT_EQ(S().WizardButtons(), PSWIZB_NEXT);
    EXPECT_EQ(Buttons(S()), (ButtonState{false, true, false}));
    EXPECT_TRUE(S().CancelButton()->isEnabled());
    EXPECT_FALSE(S().windowFlags().testFlag(Qt::WindowContextHelpButtonHint));
    EXPECT_EQ(M().PortOpen(), 0);
    EXPECT_FALSE(M().WorkerRunning());
    EXPECT_EQ(messages.Count(), 0u);
}

// Run by the simulator that moves the cable itself, every caption says so;
// otherwise the captions are the wizard's own.
TEST_F(SheetMechanics, ASimulatedDemoSaysSoInEveryCaption) {
    qputenv("NORVAWIZARD_SIMULATED", "follow");
    CSerialSheet demo(QStringLiteral("Configuration"));
    demo.SetWizardMode();
    demo.OnInitDialog();
    qunsetenv("NORVAWIZARD_SIMULATED");
    Pump();
    for (int i : {0, 2, 8}) {
        ASSERT_TRUE(demo.SetActivePage(i));
        EXPECT_EQ(demo.windowTitle(), Caption(i + 1) + Text(IDS_DEMO_SIMULATED));
    }
    EXPECT_TRUE(Text(IDS_DEMO_SIMULATED).contains(QStringLiteral("simulator moves the cable")));
    EXPECT_EQ(S().windowTitle(), Caption(1));
}

TEST_F(SheetMechanics, ButtonsAfterEachActivation) {
    // What each page's activation leaves; the search page posts nothing of
    // its own, so it keeps what was there.
    const std::vector<ButtonState> expected = {
        {false, true, false}, {true, false, false}, {false, true, false},
        {true, false, false}, {true, false, false}, {false, true, false},
        {true, false, false}, {true, false, false}, {false, false, true}};
    for (int i = 0; i < 9; ++i) {
        Show(S().GetPage(i));
        EXPECT_EQ(S().windowTitle(), Caption(i + 1));
        EXPECT_EQ(Buttons(S()), expected[static_cast<size_t>(i)]) << "step " << i + 1;
    }
}

TEST_F(SheetMechanics, ButtonFlagsTakeEffectOnlyWhenDelivered) {
    PostSheetMessage(sheet.get(), PSM_SETWIZBUTTONS, 0, PSWIZB_BACK | PSWIZB_NEXT);
    EXPECT_EQ(Buttons(S()), (ButtonState{false, true, false}));
    Pump();
    EXPECT_EQ(Buttons(S()), (ButtonState{true, true, false}));
    PostSheetMessage(sheet.get(), PSM_SETWIZBUTTONS, 0, 0);
    Pump();
    EXPECT_EQ(Buttons(S()), (ButtonState{false, false, false}));
    PostSheetMessage(sheet.get(), PSM_SETWIZBUTTONS, 0, PSWIZB_BACK | PSWIZB_FINISH);
    Pump();
    EXPECT_EQ(Buttons(S()), (ButtonState{true, false, true}));
    EXPECT_FALSE(S().NextButton()->isVisibleTo(sheet.get()));
}

TEST_F(SheetMechanics, BackGoesToThePreviousPageInOrder) {
    Show(S().ScanPage());
    S().BackButton()->click();
    Pump();
    EXPECT_EQ(S().GetActiveIndex(), 0);
    Show(S().SearchPage());
    S().BackButton()->click();
    Pump();
    EXPECT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().ScanWaitPage()));
    EXPECT_EQ(Buttons(S()), (ButtonState{false, true, false}));
}

TEST_F(SheetMechanics, NextThatReturnsMinusOneKeepsThePage) {
    Show(S().ConnectionPage());
    S().PressNext();
    Pump();
    EXPECT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().ConnectionPage()));
    // Step 6 has no hook of its own: the sheet goes on to step 7.
    Show(S().SuccessPage());
    S().NextButton()->click();
    Pump();
    EXPECT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().ModePage()));
}

TEST_F(SheetMechanics, FinishClosesAndTearsDown) {
    Show(S().ModeSuccessPage());
    S().FinishButton()->click();
    Pump();
    EXPECT_EQ(S().result(), QDialog::Accepted);
    EXPECT_TRUE(S().Destroyed());
    EXPECT_EQ(S().Module(), nullptr);
}

TEST_F(SheetMechanics, CancelClosesWithoutTouchingAPort) {
    S().CancelButton()->click();
    Pump();
    EXPECT_EQ(S().result(), QDialog::Rejected);
    EXPECT_EQ(S().Module(), nullptr);
    EXPECT_EQ(messages.Count(), 0u);
}

TEST_F(SheetMechanics, SetActivePageRefusesStrangers) {
    CConnection stranger;
    EXPECT_FALSE(S().SetActivePage(&stranger));
    EXPECT_FALSE(S().SetActivePage(12));
    EXPECT_EQ(S().GetActiveIndex(), 0);
}

// --- What Next on each page makes the sheet do ----------------------------

class SheetPageNext : public SheetTest {
protected:
    void SetUp() override {
        SheetTest::SetUp();
        ResetEvents();
    }
    void Next(CPropertyPage* page) {
        SendSheetMessage(sheet.get(), WM_PAGE_NEXT, 0, reinterpret_cast<qintptr>(page));
        Pump();
    }
};

TEST_F(SheetPageNext, StepOneWithAPortThatCannotOpenReportsWhy) {
    ScopedEnv env(ComVariable(kTestCom1).c_str(), "/nonexistent/norva-tty");
    S().m_unit1Setting.m_nPort = kTestCom1;
    S().NextButton()->click();
    Pump();
    ASSERT_EQ(messages.Count(), 1u);
    EXPECT_EQ(messages.At(0).text, QStringLiteral("Serial port open failed."));
    EXPECT_FALSE(messages.At(0).informative.isEmpty());
    EXPECT_EQ(S().GetActiveIndex(), 0);
    EXPECT_EQ(Signalled(), Slots{});
    EXPECT_EQ(M().PortOpen(), 0);
}

TEST_F(SheetPageNext, PortZeroIsRefusedToo) {
    S().m_unit1Setting.m_nPort = 0;
    Next(S().FirstPage());
    ASSERT_EQ(messages.Count(), 1u);
    EXPECT_EQ(messages.At(0).text, QStringLiteral("Serial port open failed."));
    EXPECT_EQ(Signalled(), Slots{});
}

TEST_F(SheetPageNext, StepOneOpensUnitOneAndStartsTheStatusJob) {
    ScriptedPeer peer;
    ScopedEnv env(ComVariable(kTestCom1).c_str(), peer.Path());
    S().m_unit1Setting.m_nPort = kTestCom1;
    Next(S().FirstPage());
    EXPECT_EQ(M().PortOpen(), 1);
    EXPECT_EQ(M().PortNumber(), kTestCom1);
    EXPECT_TRUE(M().WorkerRunning());
    // The worker took the status job: its first command is the probe.
    EXPECT_TRUE(peer.WaitForReceived("AT\r", 5000));
    EXPECT_EQ(messages.Count(), 0u);
}

TEST_F(SheetPageNext, StepTwoStartsTheScanWithItsArguments) {
    ScriptedPeer unit1;
    OpenIdlePort(unit1);
    M().SetScanSettings({0, 0});
    Next(S().ScanPage());
    EXPECT_EQ(test::ControlProbe::Scan(M()).mode, 3);
    EXPECT_EQ(test::ControlProbe::Scan(M()).timeMs, 3000);
    EXPECT_EQ(Signalled(), Slots{EV_SCAN});
}

TEST_F(SheetPageNext, StepFourShowsTheSearchAtOnceAndStartsTheInquiry) {
    Show(S().SearchPage());
    Next(S().SearchPage());
    EXPECT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().ConnectionPage()));
    EXPECT_EQ(S().ConnectionPage()->m_bSearching, 1);
    EXPECT_EQ(S().WizardButtons(), 0);
    EXPECT_EQ(Signalled(), Slots{EV_INQUIRY});
    S().ConnectionPage()->EndSearchDisplay();
}

TEST_F(SheetPageNext, StepFiveShowsStepSix) {
    Show(S().ConnectionPage());
    Next(S().ConnectionPage());
    EXPECT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().SuccessPage()));
}

TEST_F(SheetPageNext, StepSevenKeepsAnOpenPortAndCopiesTheValues) {
    ScriptedPeer peer;
    OpenIdlePort(peer);
    CMode* mode = S().ModePage();
    mode->m_nBaudRate = 57600;
    mode->m_nParity = 2;
    mode->m_nStopBits = 2;
    mode->m_bFlowControl = 0;
    Next(mode);
    EXPECT_EQ(M().PortOpen(), 1);
    EXPECT_FALSE(M().WorkerRunning()) << "the port was reopened";
    EXPECT_EQ(M().ApplySettings().mode, 1);
    EXPECT_EQ(M().ApplySettings().baud, 57600);
    EXPECT_EQ(M().ApplySettings().parity, 2);
    EXPECT_EQ(M().ApplySettings().stopBits, 2);
    EXPECT_EQ(M().ApplySettings().flow, 0);
    EXPECT_EQ(Signalled(), Slots{EV_APPLY});
}

TEST_F(SheetPageNext, StepSevenOpensUnitTwoWhenThePortIsClosed) {
    ScriptedPeer peer;
    ScopedEnv env(ComVariable(kTestCom2).c_str(), peer.Path());
    S().m_unit2Setting.m_nPort = kTestCom2;
    S().m_unit1Setting.m_nPort = 0;
    S().ModePage()->m_nBaudRate = 9600;
    Next(S().ModePage());
    EXPECT_EQ(M().PortNumber(), kTestCom2);
    EXPECT_EQ(M().ApplySettings().mode, 1);
    // The worker runs the apply job: the mode command goes out first.
    EXPECT_TRUE(peer.WaitForReceived("AT+BTMODE,1\r", 5000));
}

TEST_F(SheetPageNext, StepSevenOpenFailureStartsNothing) {
    S().m_unit2Setting.m_nPort = 0;
    // The unit's Application Setting dialog comes up after the message.
    bool settingShown = false;
    QTimer::singleShot(0, sheet.get(), [&] {
        PumpUntil([&] { return S().m_unit2Setting.isVisible(); }, 5000);
        settingShown = S().m_unit2Setting.isVisible();
        S().m_unit2Setting.reject();
    });
    Next(S().ModePage());
    EXPECT_TRUE(settingShown);
    EXPECT_EQ(messages.Texts(), std::vector<QString>{QStringLiteral("Serial port open failed.")});
    EXPECT_EQ(Signalled(), Slots{});
    Pump();
    EXPECT_EQ(S().WizardButtons(), PSWIZB_NEXT);
}

TEST_F(SheetPageNext, OddParityIsRefusedBeforeAnythingIsStored) {
    ScriptedPeer peer;
    OpenIdlePort(peer);
    S().ModePage()->m_nParity = kOddParity;
    Next(S().ModePage());
    EXPECT_EQ(messages.Texts(), std::vector<QString>{Text(IDS_ODD_PARITY)});
    EXPECT_EQ(Signalled(), Slots{});
    Pump();
    EXPECT_EQ(S().WizardButtons(), PSWIZB_NEXT);
}

TEST_F(SheetPageNext, StepEightAlwaysReopensForUnitOne) {
    ScriptedPeer unit2;
    ScriptedPeer unit1;
    ScopedEnv env(ComVariable(kTestCom1).c_str(), unit1.Path());
    OpenIdlePort(unit2);
    S().m_unit1Setting.m_nPort = kTestCom1;
    Show(S().Mode1Page());
    S().Mode1Page()->m_nBaudRate = 19200;
    S().Mode1Page()->m_bFlowControl = 1;
    unit1.Answer("AT\r", {"\r\nOK\r\n"});
    unit1.Answer("AT+BTINFO?\r",
                 {"\r\n00A0961B2C01,Norva-BX01,MODE0,STANDBY,0,0,HWFC\r\n\r\nOK\r\n"});
    Next(S().Mode1Page());
    EXPECT_EQ(M().PortNumber(), kTestCom1);
    // The unit is checked first; its status result starts the apply, with
    // unit 1's settings.
    EXPECT_TRUE(
        PumpUntil([&] { return unit1.Received().find("AT+BTMODE,2\r") != std::string::npos; },
                  10000 * kSlowdown));
    EXPECT_EQ(M().ApplySettings().mode, 2);
    EXPECT_EQ(M().ApplySettings().baud, 19200);
    EXPECT_EQ(M().ApplySettings().flow, 1);
    EXPECT_TRUE(unit2.Commands().empty());
}

TEST_F(SheetPageNext, UnknownPagesAreIgnored) {
    CConnection stranger;
    Next(&stranger);
    Next(nullptr);
    Next(S().SuccessPage());
    EXPECT_EQ(Signalled(), Slots{});
    EXPECT_EQ(S().GetActiveIndex(), 0);
}

TEST_F(SheetPageNext, SearchAndConnectControlOnAnotherPageOnlyTouchTheButton) {
    CConnection* page = S().ConnectionPage();
    page->m_btnSearch->setEnabled(false);
    SendSheetMessage(sheet.get(), WM_SEARCH_CONTROL, 1, reinterpret_cast<qintptr>(page));
    EXPECT_TRUE(page->m_btnSearch->isEnabled());
    SendSheetMessage(sheet.get(), WM_CONNECT_CONTROL, 1, reinterpret_cast<qintptr>(page));
    EXPECT_FALSE(page->m_btnSearch->isEnabled());
    EXPECT_EQ(Signalled(), Slots{});
    EXPECT_EQ(page->m_bSearching, 0);
}

TEST_F(SheetPageNext, SearchAndConnectControlOnTheSearchPage) {
    ScriptedPeer unit2;
    OpenIdlePort(unit2);
    CConnection* page = S().ConnectionPage();
    Show(page);
    SendSheetMessage(sheet.get(), WM_SEARCH_CONTROL, 1, reinterpret_cast<qintptr>(page));
    EXPECT_EQ(page->m_bSearching, 1);
    EXPECT_EQ(Signalled(), Slots{EV_INQUIRY});
    ResetEvents();
    SendSheetMessage(sheet.get(), WM_SEARCH_CONTROL, 0, reinterpret_cast<qintptr>(page));
    EXPECT_EQ(page->m_bSearching, 0);
    EXPECT_EQ(Signalled(), Slots{EV_ABORT});
    ResetEvents();
    S().SetConnectTarget("0001950A0B0D");
    SendSheetMessage(sheet.get(), WM_CONNECT_CONTROL, 1, reinterpret_cast<qintptr>(page));
    EXPECT_EQ(Signalled(), Slots{EV_CONNECT});
    ResetEvents();
    SendSheetMessage(sheet.get(), WM_CONNECT_CONTROL, 0, reinterpret_cast<qintptr>(page));
    EXPECT_EQ(Signalled(), Slots{EV_ABORT});
}

TEST_F(SheetPageNext, ClosingStopsTheWorkerAndClosesThePort) {
    ScriptedPeer peer;
    ScopedEnv env(ComVariable(kTestCom1).c_str(), peer.Path());
    S().m_unit1Setting.m_nPort = kTestCom1;
    Next(S().FirstPage());
    ASSERT_TRUE(M().WorkerRunning());
    S().reject();
    EXPECT_EQ(S().Module(), nullptr);
    Pump(50);
    // Whatever the stopped worker posted is dropped.
    EXPECT_EQ(messages.Count(), 0u);
    EXPECT_EQ(S().Host()->BannerWindow(Banner::Checking), nullptr);
}

TEST_F(SheetTest, EnterOnAFocusedPageButtonPressesThatButton) {
    Show(S().FirstPage());
    S().show();
    int pressed = 0;
    QPushButton* setting = S().FirstPage()->m_btnWizardSetting;
    QObject::disconnect(setting, nullptr, nullptr, nullptr);
    QObject::connect(setting, &QPushButton::clicked, [&] { ++pressed; });
    setting->setFocus();
    QTest::keyClick(setting, Qt::Key_Return);
    EXPECT_EQ(pressed, 1);
    // The list of devices on step 5 and its buttons have names to read out.
    CConnection* page = S().ConnectionPage();
    EXPECT_EQ(page->m_list->accessibleName(), QStringLiteral("Devices found"));
    EXPECT_EQ(page->m_editAddress->accessibleName(), QStringLiteral("Device Address"));
}

// Steps 1 and 3 open with Next as the default button and the focus: Return
// presses Next, and after a Tab to "Wizard Setting" Return opens that.
TEST_F(SheetTest, ReturnOnStepsOneAndThreePressesNextUnlessTheUserTabbedAway) {
    S().show();
    for (CPropertyPage* page : {static_cast<CPropertyPage*>(S().FirstPage()),
                                static_cast<CPropertyPage*>(S().ScanWaitPage())}) {
        S().SetActivePage(page);
        PostSheetMessage(&S(), PSM_SETWIZBUTTONS, 0, PSWIZB_NEXT);
        Pump();
        QApplication::setActiveWindow(&S());
        EXPECT_TRUE(S().NextButton()->isDefault());
        EXPECT_TRUE(S().NextButton()->hasFocus()) << page->objectName().toStdString();
        int next = 0;
        QObject::connect(S().NextButton(), &QPushButton::clicked, [&next] { ++next; });
        QTest::keyClick(S().focusWidget(), Qt::Key_Return);
        EXPECT_EQ(next, 1) << page->objectName().toStdString();
        QObject::disconnect(S().NextButton(), &QPushButton::clicked, nullptr, nullptr);
    }
    S().SetActivePage(S().FirstPage());
    QPushButton* setting = S().FirstPage()->m_btnWizardSetting;
    int opened = 0;
    QObject::disconnect(setting, nullptr, nullptr, nullptr);
    QObject::connect(setting, &QPushButton::clicked, [&opened] { ++opened; });
    for (int i = 0; i < 10 && S().focusWidget() != setting; ++i) {
        QTest::keyClick(S().focusWidget(), Qt::Key_Tab);
    }
    ASSERT_EQ(S().focusWidget(), setting);
    QTest::keyClick(setting, Qt::Key_Return);
    EXPECT_EQ(opened, 1);
}

} // namespace
} // namespace norva::test
