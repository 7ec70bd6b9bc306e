// The Qt host as the worker uses it: calls from another thread reach the UI
// thread in order, message boxes block the worker but never past a stop,
// banners live on the UI thread, and nothing reaches a sheet that is gone.

#include "GuiFixture.h"
#include "pages/Connection.h"
#include "pages/ProgressDialogs.h"
#include "platform/Event.h"
#include "wizard/QtModuleHost.h"
#include "wizard/StartUp.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QTranslator>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace norva::test {
namespace {

using namespace std::chrono_literals;

// Records the job results that reach the sheet.
class ResultRecorder : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (static_cast<int>(event->type()) == WM_JOB_RESULT) {
            auto* m = static_cast<SheetEvent*>(event);
            results.emplace_back(static_cast<int>(m->WParam()), static_cast<int>(m->LParam()));
            rowsWhenResult.push_back(sheet->ConnectionPage()->m_list->rowCount());
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
    CSerialSheet* sheet = nullptr;
    std::vector<std::pair<int, int>> results;
    std::vector<int> rowsWhenResult;
};

class HostTest : public SheetTest {
protected:
    CQtModuleHost& H() { return *S().Host(); }
};

TEST_F(HostTest, ResultsAndRowsArriveOnTheUiThreadInOrder) {
    ResultRecorder recorder;
    recorder.sheet = sheet.get();
    S().installEventFilter(&recorder);
    std::thread worker([this] {
        H().AddDeviceRow("0001950A0B01", "Norva-BX01", "1F00");
        H().AddDeviceRow("0001950A0B09", "Other, with comma", "0000");
        H().PostJobResult(RC_DONE, JOB_INQUIRY);
    });
    worker.join();
    EXPECT_EQ(S().ConnectionPage()->m_list->rowCount(), 0) << "rows added off the UI thread";
    Pump();
    S().removeEventFilter(&recorder);
    QTableWidget* list = S().ConnectionPage()->m_list;
    ASSERT_EQ(list->rowCount(), 2);
    EXPECT_EQ(list->item(0, 0)->text(), QStringLiteral("0001950A0B01"));
    EXPECT_EQ(list->item(0, 1)->text(), QStringLiteral("Norva-BX01"));
    EXPECT_EQ(list->item(0, 2)->text(), QStringLiteral("1F00"));
    EXPECT_EQ(list->item(1, 1)->text(), QStringLiteral("Other, with comma"));
    ASSERT_EQ(recorder.results.size(), 1u);
    EXPECT_EQ(recorder.results[0],
              std::make_pair(static_cast<int>(RC_DONE), static_cast<int>(JOB_INQUIRY)));
    EXPECT_EQ(recorder.rowsWhenResult[0], 2);
}

TEST_F(HostTest, MessageBoxBlocksTheWorkerUntilTheUiThreadAnswers) {
    Event stop(Event::Mode::Manual);
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        H().ShowMessageBox("Firmware version does not match.", &stop);
        returned = true;
    });
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(returned.load()) << "the worker did not wait for the box";
    ASSERT_TRUE(PumpUntil([&] { return returned.load(); }, 5000));
    worker.join();
    ASSERT_EQ(messages.Count(), 1u);
    EXPECT_EQ(messages.At(0).text, QStringLiteral("Firmware version does not match."));
    EXPECT_TRUE(messages.At(0).onUiThread);
}

TEST_F(HostTest, StopReleasesAWorkerWhoseBoxIsNeverShown) {
    // The UI thread is busy (as in StopWorker) and never gets to the box.
    Event stop(Event::Mode::Manual);
    auto done = std::async(std::launch::async, [&] { H().ShowMessageBox("never shown", &stop); });
    EXPECT_EQ(done.wait_for(100ms), std::future_status::timeout);
    stop.Set();
    EXPECT_EQ(done.wait_for(2s), std::future_status::ready);
}

TEST_F(HostTest, ClosingTheSheetWhileTheBoxIsOpenDoesNotDeadlock) {
    // The box is up; the user's close reaches the sheet from inside it.
    Event stop(Event::Mode::Manual);
    messages.onShow = [&](const ShownBox&) {
        S().reject();
        stop.Set();
    };
    auto done = std::async(std::launch::async, [&] { H().ShowMessageBox("box", &stop); });
    ASSERT_TRUE(PumpUntil([&] { return done.wait_for(0s) == std::future_status::ready; }, 5000));
    EXPECT_EQ(S().Module(), nullptr);
}

TEST_F(HostTest, NothingIsShownOrPostedAfterDetach) {
    ResultRecorder recorder;
    recorder.sheet = sheet.get();
    S().installEventFilter(&recorder);
    H().Detach();
    std::thread worker([this] {
        H().PostJobResult(RC_OK, JOB_SCAN);
        H().AddDeviceRow("0001950A0B01", "x", "y");
        H().ShowBanner(Banner::Checking);
        // Returns at once: there is nobody left to answer.
        H().ShowMessageBox("late", nullptr);
    });
    worker.join();
    Pump(20);
    S().removeEventFilter(&recorder);
    EXPECT_TRUE(recorder.results.empty());
    EXPECT_EQ(S().ConnectionPage()->m_list->rowCount(), 0);
    EXPECT_EQ(H().BannerWindow(Banner::Checking), nullptr);
    EXPECT_EQ(messages.Count(), 0u);
}

TEST_F(HostTest, ResultsPostedJustBeforeTheSheetGoesAreDropped) {
    auto* target = new CSerialSheet(QStringLiteral("Configuration"));
    target->OnInitDialog();
    Pump();
    CQtModuleHost* host = target->Host();
    host->PostJobResult(RC_ERROR, JOB_SCAN);
    delete target;
    Pump();
    EXPECT_EQ(messages.Count(), 0u);
}

TEST_F(HostTest, CheckingBannerIsAFramelessWindowCentredOnTheSheet) {
    S().resize(500, 380);
    S().show();
    Pump();
    std::thread worker([this] { H().ShowBanner(Banner::Checking); });
    worker.join();
    Pump();
    CWaitDlg* banner = H().BannerWindow(Banner::Checking);
    ASSERT_NE(banner, nullptr);
    EXPECT_EQ(banner->thread(), qApp->thread());
    EXPECT_TRUE(banner->isVisible());
    EXPECT_TRUE(banner->isWindow());
    EXPECT_TRUE(banner->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(banner->parentWidget(), sheet.get());
    EXPECT_EQ(banner->Text(), QStringLiteral("Checking Norva-BX... Please wait."));
    EXPECT_LE((banner->geometry().center() - S().frameGeometry().center()).manhattanLength(), 4);

    // A second show request while it is up: still the one banner.
    std::thread again([this] { H().ShowBanner(Banner::Checking); });
    again.join();
    Pump();
    EXPECT_EQ(H().BannerWindow(Banner::Checking), banner);
    EXPECT_EQ(H().BannersCreated(Banner::Checking), 1);

    std::thread hide([this] { H().HideBanner(Banner::Checking); });
    hide.join();
    Pump();
    EXPECT_EQ(H().BannerWindow(Banner::Checking), nullptr);
}

TEST_F(HostTest, ApplyingBannerHasNoOwnerAndStaysOnTop) {
    std::thread worker([this] { H().ShowBanner(Banner::Applying); });
    worker.join();
    Pump();
    CWaitDlg* banner = H().BannerWindow(Banner::Applying);
    ASSERT_NE(banner, nullptr);
    EXPECT_EQ(banner->parentWidget(), nullptr);
    EXPECT_TRUE(banner->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(banner->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(banner->Text(), QStringLiteral("Applying Setting, Please wait."));
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        EXPECT_LE(
            (banner->geometry().center() - screen->availableGeometry().center()).manhattanLength(),
            4);
    }
    // Going away with the host takes the banner along.
    QPointer<CWaitDlg> watch(banner);
    S().reject();
    EXPECT_TRUE(watch.isNull());
}

TEST_F(HostTest, ShowThenHideInQuickSuccessionLeavesNoBanner) {
    std::thread worker([this] {
        for (int i = 0; i < 20; ++i) {
            H().ShowBanner(Banner::Checking);
            H().HideBanner(Banner::Checking);
        }
    });
    worker.join();
    Pump();
    EXPECT_EQ(H().BannerWindow(Banner::Checking), nullptr);
}

TEST_F(HostTest, CallsFromTheUiThreadRunDirectly) {
    H().ShowMessageBox("from the UI thread", nullptr);
    EXPECT_EQ(messages.Count(), 1u);
    H().ShowBanner(Banner::Applying);
    EXPECT_NE(H().BannerWindow(Banner::Applying), nullptr);
    H().HideBanner(Banner::Applying);
    EXPECT_EQ(H().BannerWindow(Banner::Applying), nullptr);
}

} // namespace
} // namespace norva::test

namespace norva::test {
namespace {

// The real boxes, not the recorder: OK only, the program's name as title.
TEST(DefaultMessageService, OkOnlyWithTheProgramNameAndTheReason) {
    QCoreApplication::setApplicationName(QStringLiteral("NorvaWizard"));
    QString title, text, informative;
    QMessageBox::StandardButtons buttons;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        informative = box->informativeText();
        buttons = box->standardButtons();
        box->button(QMessageBox::Ok)->click();
    });
    CMessageService().Show(QStringLiteral("Device setting finished.\r\nNow rebooting."),
                           QStringLiteral("Permission denied"));
    EXPECT_EQ(title, QStringLiteral("NorvaWizard"));
    EXPECT_EQ(text, QStringLiteral("Device setting finished.\nNow rebooting."));
    EXPECT_EQ(informative, QStringLiteral("Permission denied"));
    EXPECT_EQ(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

} // namespace
} // namespace norva::test

namespace norva::test {
namespace {

TEST(StartUp, KoreanLocaleGetsKoreanTextsAndQtsOwn) {
    const QLocale korean(QLocale::Korean, QLocale::SouthKorea);
    EXPECT_EQ(LanguageForLocale(korean), UiLanguage::Korean);
    EXPECT_EQ(LanguageForLocale(QLocale(QLocale::English, QLocale::UnitedStates)),
              UiLanguage::English);
    EXPECT_EQ(LanguageForLocale(QLocale(QLocale::German, QLocale::Germany)), UiLanguage::English);
    QTranslator translator;
    if (!LoadQtTranslations(korean, translator)) {
        GTEST_SKIP() << "Qt's Korean translations are not installed";
    }
    EXPECT_FALSE(translator.isEmpty());
    EXPECT_EQ(LoadString(IDS_PORT_OPEN_FAILED, LanguageForLocale(korean)),
              "시리얼 포트 열기 실패.");
}

} // namespace
} // namespace norva::test
