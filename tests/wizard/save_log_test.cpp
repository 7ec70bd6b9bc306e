// "Save log..." through real widgets against norva-sim: the session's
// transcript is written only when the user asks, from step 9 or from a
// failure's box, and a file that cannot be written is told with its reason.

#include "SimSheetFixture.h"
#include "pages/MessageService.h"
#include "pages/SheetMessages.h"
#include "res/strings/StringTable.h"
#include "wizard/SessionLog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

namespace norva::test {
namespace {

QString Text(int id) {
    return QString::fromStdString(LoadString(id));
}

QString ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class SaveLogTest : public SimSheetTest {
protected:
    // The dialog's suggestion lies in the home directory: a home of the
    // test's own shows that nothing is put there unasked.
    QTemporaryDir home;
    QTemporaryDir out;
    std::unique_ptr<ScopedEnv> homeEnv;

    void SetUp() override {
        ASSERT_TRUE(home.isValid() && out.isValid());
        homeEnv = std::make_unique<ScopedEnv>("HOME", home.path().toStdString());
        SimSheetTest::SetUp();
    }
    bool HomeIsEmpty() const {
        return QDir(home.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty();
    }
};

TEST_F(SaveLogTest, StepNineWritesTheSessionThroughTheFileDialog) {
    StartSim();
    ThroughStepSix();
    FromStepSixToNine();
    ASSERT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().ModeSuccessPage()));
    EXPECT_TRUE(HomeIsEmpty());

    const QString path = out.filePath(QStringLiteral("session.log"));
    QString suggested;
    bool dialogSeen = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            return;
        }
        dialogSeen = true;
        suggested = dialog->selectedFiles().value(0);
        // Typed into the name field and saved with the dialog's own button,
        // as the user does.
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(path);
        auto* box = dialog->findChild<QDialogButtonBox*>();
        ASSERT_NE(box, nullptr);
        QPushButton* accept = box->button(QDialogButtonBox::Save);
        ASSERT_NE(accept, nullptr);
        accept->click();
    });
    poll.start(20);
    QPushButton* save = S().ModeSuccessPage()->m_btnSaveLog;
    ASSERT_NE(save, nullptr);
    EXPECT_EQ(save->text(), Text(IDS_SAVE_LOG));
    save->click();
    poll.stop();

    ASSERT_TRUE(dialogSeen);
    EXPECT_TRUE(suggested.startsWith(home.path())) << suggested.toStdString();
    EXPECT_TRUE(HomeIsEmpty());
    const QString log = ReadAll(path);
    // Both units' opens, their mode and UART commands, and their answers.
    for (const QString& needle :
         {QStringLiteral("open ") + QString::fromStdString(simulator->DevicePath(1)),
          QStringLiteral("open ") + QString::fromStdString(simulator->DevicePath(2)),
          QStringLiteral("> \"AT+BTMODE,1\\r\""), QStringLiteral("> \"AT+BTMODE,2\\r\""),
          QStringLiteral("> \"AT+UARTCONFIG,9600,N,1,1\\r\""),
          QStringLiteral("> \"AT+BTINFO?\\r\""), QStringLiteral("< \"\\r\\nOK\\r\\n\"")}) {
        EXPECT_TRUE(log.contains(needle)) << needle.toStdString();
    }
    // After the transcript, what the pairing saw each unit do.
    EXPECT_TRUE(log.endsWith(
        QStringLiteral("traits: unit 1 00A0961B2C01: echo none, status line of 7 fields, UART "
                       "command of 4 arguments\ntraits: unit 2 00A0961B2C02: echo none, status "
                       "line of 7 fields, UART command of 4 arguments\n")))
        << log.right(300).toStdString();
    ASSERT_GE(messages.Count(), 1u);
    EXPECT_EQ(messages.Texts().back(),
              QString::fromStdString(FormatString(IDS_LOG_SAVED, {path.toStdString()})));
    // The confirmation is not a failure: it offers nothing more.
    EXPECT_TRUE(messages.At(messages.Count() - 1).actionLabel.isEmpty());
}

// Unit 2 acknowledges mode 1 and keeps mode 0. Right after the apply that
// looks the same as a unit that shows new settings only after a restart: the
// steps go on, and the page says what the restart will confirm. Verify
// restarts the units and names the mode shown against the one stored; its
// box offers the log, and a path that cannot be written is told and offered
// again.
TEST_F(SaveLogTest, AModeTheUnitDidNotKeepIsFoundByVerifyAndItsBoxOffersTheLog) {
    StartSim([](sim::SimOptions& o) { o.unit[1].keepMode = true; });
    ThroughStepSix();
    const QString bad = out.filePath(QStringLiteral("no-such-dir/session.log"));
    const QString good = out.filePath(QStringLiteral("after-failure.log"));
    std::vector<QString> chosen = {bad, good};
    S().Log()->SetPathChooser([&chosen](QWidget*, const QString&) {
        QString next = chosen.empty() ? QString() : chosen.front();
        if (!chosen.empty()) {
            chosen.erase(chosen.begin());
        }
        return next;
    });
    messages.pressAction = [](const ShownBox&) { return true; };

    S().PressNext();
    S().PressNext();
    ASSERT_TRUE(WaitForPage(S().Mode1Page(), 2 * kJobMs));
    EXPECT_TRUE(S().Note().contains(QStringLiteral("Norva-BX02 stored the settings.")))
        << S().Note().toStdString();
    EXPECT_TRUE(S().Note().contains(QStringLiteral(
        "Confirmed at the next restart (Verify): UART 9600,N,1 and operation mode 1")))
        << S().Note().toStdString();
    S().PressNext();
    ASSERT_TRUE(WaitForPage(S().ModeSuccessPage()));
    const size_t before = messages.Count();
    S().ModeSuccessPage()->m_btnVerify->click();
    ASSERT_TRUE(WaitForMessages(before + 3));

    const ShownBox notStored = messages.At(before);
    EXPECT_EQ(notStored.text, Text(IDS_VERIFY_PAIR_NOT));
    EXPECT_TRUE(notStored.informative.contains(
        QStringLiteral("after a restart its status shows operation mode 0, not operation mode 1 "
                       "as stored")))
        << notStored.informative.toStdString();
    EXPECT_EQ(notStored.actionLabel, Text(IDS_SAVE_LOG));
    const ShownBox failed = messages.At(before + 1);
    EXPECT_TRUE(failed.text.startsWith(QString::fromStdString(
        FormatString(IDS_SAVE_LOG_FAILED, {bad.toStdString(), ""}).substr(0, 20))))
        << failed.text.toStdString();
    EXPECT_TRUE(failed.text.contains(bad)) << failed.text.toStdString();
    EXPECT_TRUE(failed.text.contains(QStringLiteral("No such file or directory")))
        << failed.text.toStdString();
    EXPECT_EQ(failed.actionLabel, Text(IDS_SAVE_LOG));
    const QString saved = ReadAll(good);
    EXPECT_TRUE(saved.contains(QStringLiteral("> \"AT+BTMODE,1\\r\"")));
    // Verify's own restart and status read are in the same log.
    EXPECT_TRUE(saved.indexOf(QStringLiteral("> \"ATZ\\r\"")) >
                saved.indexOf(QStringLiteral("> \"AT+BTMODE,1\\r\"")))
        << saved.toStdString();
    EXPECT_EQ(simulator->Snapshot(2).mode, 0);
    EXPECT_TRUE(HomeIsEmpty());
}

// The real boxes: a failure's box has OK and the action, OK is the default;
// pressing the action runs it, and without an action it is OK alone.
TEST(FailureBox, OffersTheActionBesideOkAndRunsItOnlyWhenPressed) {
    int runs = 0;
    SetFailureAction({QStringLiteral("Save log..."), [&runs] { ++runs; }});
    for (const bool press : {false, true}) {
        SCOPED_TRACE(press);
        int buttons = 0;
        bool okIsDefault = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            buttons = static_cast<int>(box->buttons().size());
            okIsDefault = box->defaultButton() == box->button(QMessageBox::Ok);
            auto* action = box->findChild<QPushButton*>(QStringLiteral("boxActionButton"));
            ASSERT_NE(action, nullptr);
            (press ? static_cast<QAbstractButton*>(action) : box->button(QMessageBox::Ok))->click();
        });
        ShowFailure(std::string("Connect failed."));
        EXPECT_EQ(buttons, 2);
        EXPECT_TRUE(okIsDefault);
        EXPECT_EQ(runs, press ? 1 : 0);
    }
    SetFailureAction({});
    QMessageBox::StandardButtons plain;
    int count = 0;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        plain = box->standardButtons();
        count = static_cast<int>(box->buttons().size());
        box->button(QMessageBox::Ok)->click();
    });
    ShowFailure(std::string("Connect failed."));
    EXPECT_EQ(plain, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(count, 1);
    EXPECT_EQ(runs, 1);
}

} // namespace
} // namespace norva::test
