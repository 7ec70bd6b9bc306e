// The setting dialog's Detect button through the real widgets against
// norva-sim: the boxes take what answered (OK still decides what is
// stored), Stop and closing end the search, and the port is free after it.
// A pty carries no parity, so the simulated units are set to None here.

#include "GuiFixture.h"
#include "pages/PortSettingDlg.h"
#include "platform/SerialDevice.h"
#include "res/strings/StringTable.h"
#include "sim/Simulator.h"

#include <QTest>
#include <QTimer>

namespace norva::test {
namespace {

QString Text(int id) {
    return QString::fromStdString(LoadString(id));
}

class DetectDialogTest : public GuiTest {
protected:
    void StartUnit(const sim::UartSetting& uart, bool silent = false) {
        sim::SimOptions options;
        options.unit[0].uart = uart;
        options.unit[0].silent = silent;
        simulator = std::make_unique<sim::Simulator>(options);
        std::string error;
        ASSERT_TRUE(simulator->Start(&error)) << error;
        path = simulator->DevicePath(1);
        com = std::make_unique<ScopedEnv>(ComVariable(kTestCom1).c_str(), path);
    }

    int Run(CPortSettingDlg& dlg, const std::function<void()>& inside) {
        dlg.m_nPort = kTestCom1;
        QTimer::singleShot(0, &dlg, inside);
        return dlg.DoModal();
    }

    static void Press(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    static bool WaitIdle(CPortSettingDlg& dlg) {
        return PumpUntil([&dlg] { return !dlg.Detecting(); }, 20000 * kSlowdown);
    }

    static bool WaitForTry(CPortSettingDlg& dlg, int index) {
        const QString mark = QStringLiteral("(%1/").arg(index);
        return PumpUntil([&dlg, &mark] { return dlg.m_detectText->text().contains(mark); },
                         10000 * kSlowdown);
    }

    void ExpectPortFree() {
        SerialDevice device;
        OsError error;
        EXPECT_TRUE(device.Open(path, LineSettings{}, &error)) << error.reason;
    }

    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<ScopedEnv> com;
    std::string path;
};

TEST_F(DetectDialogTest, AnsweringSettingFillsTheBoxesAndOkStoresIt) {
    StartUnit({38400, 'N', 2, true});
    CPortSettingDlg dlg;
    QString during;
    QString found;
    const int result = Run(dlg, [&] {
        EXPECT_EQ(dlg.m_detectButton->text(), Text(IDS_DETECT_BUTTON));
        Press(dlg.m_detectButton);
        during = dlg.m_detectText->text();
        EXPECT_EQ(dlg.m_detectButton->text(), Text(IDS_DETECT_STOP));
        EXPECT_FALSE(dlg.m_cbPort->isEnabled());
        EXPECT_TRUE(WaitIdle(dlg));
        found = dlg.m_detectText->text();
        // Nothing is stored before OK.
        EXPECT_EQ(dlg.m_nBaudRate, 9600);
        dlg.m_okButton->click();
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_TRUE(during.startsWith(QStringLiteral("Detecting..."))) << during.toStdString();
    EXPECT_TRUE(found.contains(QStringLiteral("38400, None, 2"))) << found.toStdString();
    EXPECT_EQ(dlg.m_cbBaudRate->currentText(), QStringLiteral("38400"));
    EXPECT_EQ(dlg.m_cbStopBits->currentText(), QStringLiteral("2"));
    EXPECT_EQ(dlg.m_nBaudRate, 38400);
    EXPECT_EQ(dlg.m_nParity, kNoParity);
    EXPECT_EQ(dlg.m_nStopBits, kTwoStopBits);
    EXPECT_EQ(dlg.m_detectButton->text(), Text(IDS_DETECT_BUTTON));
    EXPECT_TRUE(dlg.m_cbPort->isEnabled());
    ExpectPortFree();
}

TEST_F(DetectDialogTest, SilenceIsReportedAndStopOrCloseEndTheSearch) {
    StartUnit({9600, 'N', 1, true}, true);
    CPortSettingDlg dlg;
    QString none;
    QString stopped;
    Run(dlg, [&] {
        Press(dlg.m_detectButton);
        EXPECT_TRUE(WaitIdle(dlg));
        none = dlg.m_detectText->text();
        EXPECT_TRUE(dlg.m_detectButton->isEnabled());

        Press(dlg.m_detectButton);
        EXPECT_TRUE(WaitForTry(dlg, 3));
        Press(dlg.m_detectButton);
        EXPECT_FALSE(dlg.Detecting());
        stopped = dlg.m_detectText->text();
        ExpectPortFree();

        // Closed during a search: the dialog ends it before it goes.
        Press(dlg.m_detectButton);
        EXPECT_TRUE(WaitForTry(dlg, 2));
        dlg.reject();
    });
    EXPECT_TRUE(none.contains(QStringLiteral("COM%1").arg(kTestCom1))) << none.toStdString();
    EXPECT_TRUE(none.startsWith(QStringLiteral("No setting answered"))) << none.toStdString();
    EXPECT_EQ(stopped, Text(IDS_DETECT_STOPPED));
    EXPECT_FALSE(dlg.Detecting());
    EXPECT_EQ(dlg.m_cbBaudRate->currentText(), QStringLiteral("9600"));
    EXPECT_EQ(dlg.m_nBaudRate, 9600);
    ExpectPortFree();
}

TEST_F(DetectDialogTest, PortHeldElsewhereIsReportedWithItsReason) {
    StartUnit({9600, 'N', 1, true});
    SerialDevice holder;
    OsError error;
    ASSERT_TRUE(holder.Open(path, LineSettings{}, &error)) << error.reason;
    CPortSettingDlg dlg;
    bool released = false;
    dlg.SetPortReleaser([&released] {
        released = true;
        return true;
    });
    QString failed;
    QString busy;
    Run(dlg, [&] {
        Press(dlg.m_detectButton);
        EXPECT_TRUE(WaitIdle(dlg));
        failed = dlg.m_detectText->text();
        // A holder that cannot let go now: nothing is opened.
        dlg.SetPortReleaser([] { return false; });
        Press(dlg.m_detectButton);
        EXPECT_FALSE(dlg.Detecting());
        busy = dlg.m_detectText->text();
        dlg.reject();
    });
    EXPECT_TRUE(released);
    EXPECT_TRUE(failed.contains(QStringLiteral("in use by another program")))
        << failed.toStdString();
    EXPECT_TRUE(busy.contains(QStringLiteral("wizard's running task"))) << busy.toStdString();
}

class DetectInSheetTest : public SheetTest {};

// The wizard's controller holds the port while the dialog is up: the dialog
// has it released, and the next step opens it again.
TEST_F(DetectInSheetTest, SheetLetsGoOfItsPortForTheSearch) {
    sim::SimOptions options;
    options.unit[0].uart = {115200, 'N', 1, true};
    sim::Simulator simulator(options);
    std::string error;
    ASSERT_TRUE(simulator.Start(&error)) << error;
    ScopedEnv com(ComVariable(kTestCom1).c_str(), simulator.DevicePath(1));
    ASSERT_EQ(1, M().OpenPort(kTestCom1, 9600, 0, 0)) << M().LastOpenError().reason;

    CPortSettingDlg& dlg = S().m_unit1Setting;
    dlg.m_nPort = kTestCom1;
    QString found;
    QTimer::singleShot(0, &dlg, [&] {
        QTest::mouseClick(dlg.m_detectButton, Qt::LeftButton);
        EXPECT_TRUE(PumpUntil([&dlg] { return !dlg.Detecting(); }, 20000 * kSlowdown));
        found = dlg.m_detectText->text();
        dlg.m_okButton->click();
    });
    dlg.DoModal();
    EXPECT_TRUE(found.contains(QStringLiteral("115200, None, 1"))) << found.toStdString();
    EXPECT_EQ(0, M().PortOpen());
    EXPECT_EQ(dlg.m_nBaudRate, 115200);
    EXPECT_EQ(1, M().OpenPort(kTestCom1, 115200, 0, 0)) << M().LastOpenError().reason;
    M().ClosePort();
}

} // namespace
} // namespace norva::test
