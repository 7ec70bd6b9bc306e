// "Application Setting": the sorted, editable port box filled from the
// ports present, the three value boxes, and the rule that only its own OK
// button stores anything.

#include "GuiFixture.h"
#include "pages/PortSettingDlg.h"
#include "res/strings/StringTable.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <unistd.h>

namespace norva::test {
namespace {

QString Text(int id, std::initializer_list<std::string> args = {}) {
    return QString::fromStdString(FormatString(id, args));
}

class PortSettingTest : public GuiTest {
protected:
    // COM1, COM2 and COM10 are our own pseudo-terminals; nothing else
    // answers to those numbers.
    void PresentPorts(std::initializer_list<int> numbers) {
        for (int n : {1, 2, 10}) {
            std::string path = "/nonexistent/norva-tty";
            for (int wanted : numbers) {
                if (wanted == n) {
                    peers.push_back(std::make_unique<ScriptedPeer>());
                    path = peers.back()->Path();
                }
            }
            env.push_back(std::make_unique<ScopedEnv>(ComVariable(n).c_str(), path));
        }
    }

    // Runs the dialog modally; `inside` runs in its modal loop and must
    // close it.
    int Run(CPortSettingDlg& dlg, const std::function<void()>& inside) {
        QTimer::singleShot(0, &dlg, inside);
        return dlg.DoModal();
    }

    static int IndexOf(const QComboBox* box, const QString& prefix) {
        for (int i = 0; i < box->count(); ++i) {
            if (box->itemText(i).startsWith(prefix + QLatin1Char(' ')) ||
                box->itemText(i) == prefix) {
                return i;
            }
        }
        return -1;
    }

    static void Choose(QComboBox* box, const QString& text) {
        box->setCurrentIndex(box->findText(text));
    }

    std::vector<std::unique_ptr<ScriptedPeer>> peers;
    std::vector<std::unique_ptr<ScopedEnv>> env;
};

TEST_F(PortSettingTest, FirstShowingWithComOnePreselectsTheDefaults) {
    PresentPorts({1});
    CPortSettingDlg dlg;
    QString port, baud, parity, stop;
    QWidget* focus = nullptr;
    const int result = Run(dlg, [&] {
        port = dlg.m_cbPort->currentText();
        baud = dlg.m_cbBaudRate->currentText();
        parity = dlg.m_cbParity->currentText();
        stop = dlg.m_cbStopBits->currentText();
        focus = dlg.focusWidget();
        dlg.m_okButton->click();
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_TRUE(port.startsWith(QStringLiteral("COM1"))) << port.toStdString();
    EXPECT_EQ(baud, QStringLiteral("9600"));
    EXPECT_EQ(parity, QStringLiteral("None"));
    EXPECT_EQ(stop, QStringLiteral("1"));
    EXPECT_EQ(focus, dlg.m_cbBaudRate);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Application Setting"));
    EXPECT_EQ(dlg.m_nPort, 1);
    EXPECT_EQ(dlg.m_nBaudRate, 9600);
    EXPECT_EQ(dlg.m_nParity, 0);
    EXPECT_EQ(dlg.m_nStopBits, 0);
}

// Without a port Next could only fail naming "COM0": OK asks for one and the
// dialog stays.
TEST_F(PortSettingTest, WithoutComOneThePortFieldIsEmptyAndOkAsksForAPort) {
    PresentPorts({2});
    CPortSettingDlg dlg;
    QString port;
    bool stayed = false;
    QString said;
    Run(dlg, [&] {
        port = dlg.m_cbPort->currentText();
        dlg.m_okButton->click();
        stayed = dlg.isVisible();
        said = dlg.m_portText->text();
        dlg.reject();
    });
    EXPECT_TRUE(port.isEmpty()) << port.toStdString();
    EXPECT_TRUE(stayed);
    EXPECT_TRUE(said.contains(Text(IDS_PORT_REQUIRED))) << said.toStdString();
    EXPECT_EQ(dlg.m_nPort, 1);
}

TEST_F(PortSettingTest, PortsSortAsTextAndTheStoredOneIsSelected) {
    PresentPorts({1, 2, 10});
    CPortSettingDlg dlg;
    dlg.m_nPort = 2;
    int com1 = -1, com2 = -1, com10 = -1, current = -1;
    QVariant data2;
    Run(dlg, [&] {
        com1 = IndexOf(dlg.m_cbPort, QStringLiteral("COM1"));
        com2 = IndexOf(dlg.m_cbPort, QStringLiteral("COM2"));
        com10 = IndexOf(dlg.m_cbPort, QStringLiteral("COM10"));
        current = dlg.m_cbPort->currentIndex();
        data2 = dlg.m_cbPort->itemData(com2);
        dlg.m_okButton->click();
    });
    ASSERT_GE(com1, 0);
    ASSERT_GE(com2, 0);
    ASSERT_GE(com10, 0);
    EXPECT_LT(com1, com10);
    EXPECT_LT(com10, com2);
    EXPECT_EQ(current, com2);
    EXPECT_EQ(data2.toInt(), 2);
    EXPECT_EQ(dlg.m_nPort, 2);
}

TEST_F(PortSettingTest, TypedPortNames) {
    PresentPorts({1});
    struct Row {
        const char* typed;
        int port;
    };
    // 0: no port can have it, and OK keeps the dialog and the stored port.
    for (const Row& row :
         {Row{"COM7", 7}, Row{"com7", 0}, Row{"COM7 (/dev/ttyUSB3)", 7}, Row{"COM", 0},
          Row{"COMx", 0}, Row{"", 0}, Row{"COM255", 255}, Row{"COM99999999999999999999", 0}}) {
        CPortSettingDlg dlg;
        dlg.m_nPort = 5;
        bool stayed = false;
        Run(dlg, [&] {
            dlg.m_cbPort->setEditText(QString::fromLatin1(row.typed));
            dlg.m_okButton->click();
            stayed = dlg.isVisible();
            dlg.reject();
        });
        EXPECT_EQ(dlg.m_nPort, row.port == 0 ? 5 : row.port) << row.typed;
        EXPECT_EQ(stayed, row.port == 0) << row.typed;
    }
}

TEST_F(PortSettingTest, TypedTextIsStoredAsTypedWhateverIsListed) {
    PresentPorts({1});
    ScriptedPeer com33;
    ScopedEnv listed(ComVariable(33).c_str(), com33.Path());
    struct Row {
        const char* typed;
        int port;
    };
    for (const Row& row : {Row{"COM3", 3}, Row{"com3", 0}}) {
        const char* typed = row.typed;
        CPortSettingDlg dlg;
        Run(dlg, [&] {
            ASSERT_GE(IndexOf(dlg.m_cbPort, QStringLiteral("COM33")), 0);
            dlg.m_cbPort->setFocus();
            dlg.m_cbPort->lineEdit()->selectAll();
            QTest::keyClicks(dlg.m_cbPort->lineEdit(), QString::fromLatin1(typed));
            // Leaving the box must not complete the text into a listed port.
            dlg.m_okButton->setFocus();
            QCoreApplication::processEvents();
            EXPECT_EQ(dlg.m_cbPort->currentText(), QString::fromLatin1(typed));
            dlg.m_okButton->click();
            dlg.reject(); // "com3" is no port: OK left the dialog open
        });
        EXPECT_EQ(dlg.m_nPort, row.port == 0 ? 1 : row.port) << typed;
    }
}

TEST_F(PortSettingTest, EveryBoxIsNamedByItsLabel) {
    CPortSettingDlg dlg;
    const std::pair<QComboBox*, const char*> boxes[] = {{dlg.m_cbPort, "Serial Port"},
                                                        {dlg.m_cbBaudRate, "BaudRate"},
                                                        {dlg.m_cbParity, "Parity"},
                                                        {dlg.m_cbStopBits, "StopBit"}};
    for (const auto& [box, text] : boxes) {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(box);
        ASSERT_NE(iface, nullptr);
        EXPECT_EQ(iface->text(QAccessible::Name), QString::fromLatin1(text));
        QStringList labels;
        for (const auto& [label, relation] : iface->relations(QAccessible::Label)) {
            labels << label->text(QAccessible::Name);
        }
        EXPECT_TRUE(labels.contains(QString::fromLatin1(text))) << text;
    }
}

TEST_F(PortSettingTest, ValueBoxesStoreTheirCodes) {
    PresentPorts({1});
    CPortSettingDlg dlg;
    QStringList bauds;
    Run(dlg, [&] {
        for (int i = 0; i < dlg.m_cbBaudRate->count(); ++i) {
            bauds << dlg.m_cbBaudRate->itemText(i);
        }
        Choose(dlg.m_cbBaudRate, QStringLiteral("115200"));
        Choose(dlg.m_cbParity, QStringLiteral("Odd"));
        Choose(dlg.m_cbStopBits, QStringLiteral("2"));
        dlg.m_okButton->click();
    });
    EXPECT_EQ(bauds, (QStringList{"1200", "2400", "4800", "9600", "19200", "38400", "57600",
                                  "115200", "230400"}));
    EXPECT_EQ(dlg.m_nBaudRate, 115200);
    EXPECT_EQ(dlg.m_nParity, 1);
    EXPECT_EQ(dlg.m_nStopBits, 2);
    // The next showing starts from them.
    QString parity;
    Run(dlg, [&] {
        parity = dlg.m_cbParity->currentText();
        Choose(dlg.m_cbParity, QStringLiteral("Even"));
        dlg.m_okButton->click();
    });
    EXPECT_EQ(parity, QStringLiteral("Odd"));
    EXPECT_EQ(dlg.m_nParity, 2);
}

// Esc and the close box keep what was stored; Return presses OK, the button
// drawn as default, wherever the focus is.
TEST_F(PortSettingTest, OkAndReturnStoreEscAndCloseDoNot) {
    PresentPorts({1, 2});
    CPortSettingDlg dlg;
    auto change = [&] {
        Choose(dlg.m_cbBaudRate, QStringLiteral("57600"));
        Choose(dlg.m_cbParity, QStringLiteral("Even"));
        dlg.m_cbPort->setCurrentIndex(IndexOf(dlg.m_cbPort, QStringLiteral("COM2")));
    };
    Run(dlg, [&] {
        change();
        QTest::keyClick(dlg.m_cbParity, Qt::Key_Escape);
    });
    Run(dlg, [&] {
        change();
        dlg.close();
    });
    EXPECT_EQ(dlg.m_nPort, 1);
    EXPECT_EQ(dlg.m_nBaudRate, 9600);
    EXPECT_EQ(dlg.m_nParity, 0);
    EXPECT_TRUE(dlg.m_okButton->isDefault());

    // Return in a value box.
    QString baud;
    Run(dlg, [&] {
        baud = dlg.m_cbBaudRate->currentText();
        change();
        dlg.m_cbStopBits->setFocus();
        QTest::keyClick(dlg.m_cbStopBits, Qt::Key_Return);
    });
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(baud, QStringLiteral("9600"));
    EXPECT_EQ(dlg.m_nPort, 2);
    EXPECT_EQ(dlg.m_nBaudRate, 57600);
    EXPECT_EQ(dlg.m_nParity, 2);

    // Return in the port field, after typing a port.
    Run(dlg, [&] {
        dlg.m_cbPort->setFocus();
        dlg.m_cbPort->setEditText(QStringLiteral("COM9"));
        QTest::keyClick(dlg.m_cbPort, Qt::Key_Enter);
    });
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.m_nPort, 9);

    // Return on OK.
    Run(dlg, [&] {
        dlg.m_cbPort->setCurrentIndex(IndexOf(dlg.m_cbPort, QStringLiteral("COM1")));
        dlg.m_okButton->setFocus();
        QTest::keyClick(dlg.m_okButton, Qt::Key_Return);
    });
    EXPECT_EQ(dlg.m_nPort, 1);
}

// Each port with what the system knows of it (its stable link under the
// box); a port that comes while the dialog is open is listed at once and
// marked as plugged in last, and goes again when pulled; a variable that
// names nothing is said, naming the variable.
TEST_F(PortSettingTest, PortsComeAndGoWhileOpenAndTheNewestIsMarked) {
    QTemporaryDir byId;
    QTemporaryDir adapters;
    ASSERT_TRUE(byId.isValid() && adapters.isValid());
    ScriptedPeer com1;
    ScriptedPeer com2;
    const std::string stable =
        byId.filePath(QStringLiteral("usb-Maker_Cable_A1-if00")).toStdString();
    ASSERT_EQ(symlink(com1.Path().c_str(), stable.c_str()), 0);
    const std::string plugged = adapters.filePath(QStringLiteral("unit2")).toStdString();
    ScopedEnv byIdEnv("NORVAWIZARD_BY_ID_DIR", byId.path().toStdString());
    ScopedEnv one(ComVariable(1).c_str(), com1.Path());
    ScopedEnv two(ComVariable(2).c_str(), plugged);
    CPortSettingDlg dlg;
    QString before, whenPlugged, marked, afterwards;
    bool listedWhenPlugged = false, goneWhenPulled = false;
    Run(dlg, [&] {
        before = dlg.m_portText->text();
        ASSERT_EQ(symlink(com2.Path().c_str(), plugged.c_str()), 0);
        // The directory never rests meanwhile (terminals coming and going):
        // the reading must not be put off by it.
        const std::string churn = adapters.filePath(QStringLiteral("churn")).toStdString();
        listedWhenPlugged = PumpUntil(
            [&] {
                if (unlink(churn.c_str()) != 0) {
                    EXPECT_EQ(symlink("/nonexistent", churn.c_str()), 0);
                }
                return IndexOf(dlg.m_cbPort, QStringLiteral("COM2")) >= 0;
            },
            5000);
        if (listedWhenPlugged) {
            marked = dlg.m_cbPort->itemText(IndexOf(dlg.m_cbPort, QStringLiteral("COM2")));
        }
        whenPlugged = dlg.m_portText->text();
        unlink(plugged.c_str());
        goneWhenPulled =
            PumpUntil([&] { return IndexOf(dlg.m_cbPort, QStringLiteral("COM2")) < 0; }, 5000);
        afterwards = dlg.m_cbPort->currentText();
        dlg.reject();
    });
    EXPECT_TRUE(before.contains(QString::fromStdString(stable))) << before.toStdString();
    EXPECT_TRUE(before.contains(Text(IDS_COM_OVERRIDE_MISSING, {"2", plugged})))
        << before.toStdString();
    EXPECT_TRUE(listedWhenPlugged);
    EXPECT_TRUE(marked.endsWith(Text(IDS_PORT_PLUGGED_LAST))) << marked.toStdString();
    EXPECT_FALSE(whenPlugged.contains(QStringLiteral("NORVAWIZARD_COM2")))
        << whenPlugged.toStdString();
    EXPECT_TRUE(goneWhenPulled);
    EXPECT_TRUE(afterwards.startsWith(QStringLiteral("COM1"))) << afterwards.toStdString();
}

// No port at all: the dialog says what to do instead of an empty box.
TEST_F(PortSettingTest, NoPortAtAllSaysWhereTheCableShowsUp) {
    QTemporaryDir sysfs;
    ASSERT_TRUE(sysfs.isValid());
    ScopedEnv noDevices("NORVAWIZARD_SYSFS_ROOT", sysfs.path().toStdString());
    CPortSettingDlg dlg;
    int count = -1;
    QString said;
    Run(dlg, [&] {
        count = dlg.m_cbPort->count();
        said = dlg.m_portText->text();
        dlg.reject();
    });
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(said.contains(Text(IDS_NO_PORTS))) << said.toStdString();
}

TEST_F(PortSettingTest, EnterInAnOpenListPicksTheItemAndKeepsTheDialog) {
    PresentPorts({1});
    CPortSettingDlg dlg;
    bool openAfterEnter = false;
    QString picked;
    Run(dlg, [&] {
        dlg.m_cbParity->setFocus();
        dlg.m_cbParity->showPopup();
        QWidget* popup = dlg.m_cbParity->view();
        QTest::keyClick(popup, Qt::Key_Down);
        QTest::keyClick(popup, Qt::Key_Return);
        openAfterEnter = dlg.isVisible();
        picked = dlg.m_cbParity->currentText();
        dlg.m_okButton->click();
    });
    EXPECT_TRUE(openAfterEnter);
    EXPECT_EQ(picked, QStringLiteral("Even"));
    EXPECT_EQ(dlg.m_nParity, 2);
}

TEST_F(PortSettingTest, AStoredValueOutsideTheTableShowsNoSelection) {
    PresentPorts({1});
    CPortSettingDlg dlg;
    dlg.m_nBaudRate = 0;
    int index = 0;
    Run(dlg, [&] {
        index = dlg.m_cbBaudRate->currentIndex();
        dlg.m_okButton->click();
    });
    EXPECT_EQ(index, -1);
    EXPECT_EQ(dlg.m_nBaudRate, 0);
}

TEST_F(PortSettingTest, EveryShowingEnumeratesAgain) {
    PresentPorts({1});
    CPortSettingDlg dlg;
    int before = -1, after = -1;
    Run(dlg, [&] {
        before = IndexOf(dlg.m_cbPort, QStringLiteral("COM2"));
        dlg.reject();
    });
    ScriptedPeer plugged;
    ScopedEnv com2(ComVariable(2).c_str(), plugged.Path());
    Run(dlg, [&] {
        after = IndexOf(dlg.m_cbPort, QStringLiteral("COM2"));
        dlg.reject();
    });
    EXPECT_EQ(before, -1);
    EXPECT_GE(after, 0);
}

TEST_F(PortSettingTest, TheSheetsTwoInstancesAreIndependent) {
    PresentPorts({1, 2});
    CSerialSheet sheet(QStringLiteral("Configuration"));
    Run(sheet.m_unit1Setting, [&] {
        Choose(sheet.m_unit1Setting.m_cbBaudRate, QStringLiteral("38400"));
        sheet.m_unit1Setting.m_okButton->click();
    });
    Run(sheet.m_unit2Setting, [&] {
        sheet.m_unit2Setting.m_cbPort->setCurrentIndex(
            IndexOf(sheet.m_unit2Setting.m_cbPort, QStringLiteral("COM2")));
        Choose(sheet.m_unit2Setting.m_cbStopBits, QStringLiteral("2"));
        sheet.m_unit2Setting.m_okButton->click();
    });
    EXPECT_EQ(sheet.m_unit1Setting.m_nBaudRate, 38400);
    EXPECT_EQ(sheet.m_unit1Setting.m_nPort, 1);
    EXPECT_EQ(sheet.m_unit1Setting.m_nStopBits, 0);
    EXPECT_EQ(sheet.m_unit2Setting.m_nBaudRate, 9600);
    EXPECT_EQ(sheet.m_unit2Setting.m_nPort, 2);
    EXPECT_EQ(sheet.m_unit2Setting.m_nStopBits, 2);
}

} // namespace
} // namespace norva::test
