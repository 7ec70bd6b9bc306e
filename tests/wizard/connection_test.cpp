// The search page: its list, the search display, the timer step, the
// Search/Cancel Search button, row selection and the Connecting dialog.

#include "GuiFixture.h"
#include "pages/Connection.h"
#include "support/ControlProbe.h"

#include <QFontDatabase>
#include <QHeaderView>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

namespace norva::test {
namespace {

using Slots = std::set<int>;

class ConnectionTest : public SheetTest {
protected:
    void SetUp() override {
        SheetTest::SetUp();
        // Connect reopens a closed port first: the line is open as after
        // step 4.
        OpenIdlePort(unit2);
        page = S().ConnectionPage();
        Show(page);
        ResetEvents();
    }
    ScriptedPeer unit2;
    CConnection* page = nullptr;
};

TEST_F(ConnectionTest, ListColumnsGridAndFont) {
    QTableWidget* list = page->m_list;
    ASSERT_EQ(list->columnCount(), 3);
    EXPECT_EQ(list->horizontalHeaderItem(0)->text(), QStringLiteral(" Device Address "));
    EXPECT_EQ(list->horizontalHeaderItem(1)->text(), QStringLiteral("       Device Name "));
    EXPECT_EQ(list->horizontalHeaderItem(2)->text(), QStringLiteral("    CoD"));
    EXPECT_EQ(list->columnWidth(0), 130);
    EXPECT_EQ(list->columnWidth(1), 165);
    EXPECT_EQ(list->columnWidth(2), 70);
    EXPECT_TRUE(list->showGrid());
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_DOUBLE_EQ(list->font().pointSizeF(), 9.5);
    EXPECT_EQ(list->font().family(), QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
    EXPECT_TRUE(list->font().fixedPitch());
    EXPECT_EQ(page->m_progress->minimum(), 0);
    EXPECT_EQ(page->m_progress->maximum(), 50);
    EXPECT_FALSE(page->m_btnConnect->isEnabled()) << "Connect before any search ended";
    EXPECT_EQ(page->m_btnSearch->text(), QStringLiteral("Cancel Search"));
}

TEST_F(ConnectionTest, SearchDisplayStates) {
    page->AddDeviceRow("0001950A0B01", "old", "0");
    page->m_progress->setValue(17);
    page->m_nProgress = 17;
    page->BeginSearchDisplay();
    EXPECT_EQ(page->m_list->rowCount(), 0);
    EXPECT_EQ(page->m_btnSearch->text(), QStringLiteral("Cancel Search"));
    EXPECT_FALSE(page->m_btnConnect->isEnabled());
    EXPECT_EQ(page->m_progress->value(), 0);
    EXPECT_EQ(page->m_bSearching, 1);
    EXPECT_TRUE(page->m_searchTimer.isActive());
    EXPECT_EQ(page->m_searchTimer.interval(), 500);
    Pump();
    EXPECT_EQ(S().WizardButtons(), 0);

    page->m_nProgress = 30;
    page->EndSearchDisplay();
    EXPECT_EQ(page->m_btnSearch->text(), QStringLiteral("Search"));
    EXPECT_TRUE(page->m_btnConnect->isEnabled());
    EXPECT_EQ(page->m_progress->value(), 0);
    EXPECT_EQ(page->m_nProgress, 0);
    EXPECT_EQ(page->m_bSearching, 0);
    EXPECT_FALSE(page->m_searchTimer.isActive());
    Pump();
    EXPECT_EQ(S().WizardButtons(), PSWIZB_BACK);
}

TEST_F(ConnectionTest, TimerStepsTheBarAndWrapsBeforeTheEnd) {
    page->BeginSearchDisplay();
    for (int i = 1; i <= 49; ++i) {
        page->OnTimer(CConnection::kSearchTimerId);
        EXPECT_EQ(page->m_progress->value(), i);
    }
    // 25 s of searching: back at 0, never the full bar.
    page->OnTimer(CConnection::kSearchTimerId);
    EXPECT_EQ(page->m_nProgress, 0);
    EXPECT_EQ(page->m_progress->value(), 0);
    page->OnTimer(7);
    EXPECT_EQ(page->m_progress->value(), 0);
    page->EndSearchDisplay();
}

TEST_F(ConnectionTest, TheTimerMovesTheBarByItself) {
    page->BeginSearchDisplay();
    EXPECT_TRUE(PumpUntil([&] { return page->m_progress->value() >= 1; }, 5000));
    page->EndSearchDisplay();
}

TEST_F(ConnectionTest, SelectingARowFillsTheAddress) {
    page->AddDeviceRow("0001950A0B01", "Norva-BX01", "1F00");
    page->AddDeviceRow("0001950A0B02", "Other", "0000");
    page->m_list->selectRow(1);
    EXPECT_EQ(page->m_editAddress->text(), QStringLiteral("0001950A0B02"));
    EXPECT_EQ(page->m_strAddress, QStringLiteral("0001950A0B02"));
    page->m_list->selectRow(0);
    EXPECT_EQ(page->m_editAddress->text(), QStringLiteral("0001950A0B01"));
    // Adding rows does not move the address.
    page->AddDeviceRow("0001950A0B03", "Third", "0000");
    EXPECT_EQ(page->m_editAddress->text(), QStringLiteral("0001950A0B01"));
}

TEST_F(ConnectionTest, CancelSearchStopsAndSearchStartsAgain) {
    page->BeginSearchDisplay();
    page->AddDeviceRow("0001950A0B01", "Norva-BX01", "1F00");
    Pump();
    ResetEvents();
    page->m_btnSearch->click();
    // Back at the idle display at once; the sheet enables the button again.
    EXPECT_EQ(page->m_btnSearch->text(), QStringLiteral("Search"));
    EXPECT_EQ(page->m_progress->value(), 0);
    EXPECT_TRUE(page->m_btnSearch->isEnabled());
    EXPECT_EQ(Signalled(), Slots{EV_ABORT});
    Pump();
    // The page's own post comes last: every wizard button off until the
    // inquiry's end is dispatched.
    EXPECT_EQ(S().WizardButtons(), 0);
    EXPECT_EQ(page->m_list->rowCount(), 1);

    ResetEvents();
    page->m_btnSearch->click();
    EXPECT_EQ(page->m_btnSearch->text(), QStringLiteral("Cancel Search"));
    EXPECT_EQ(page->m_list->rowCount(), 0);
    EXPECT_EQ(Signalled(), Slots{EV_INQUIRY});
    page->EndSearchDisplay();
}

TEST_F(ConnectionTest, SearchButtonIsDisabledWhileTheSheetHandlesIt) {
    bool enabledDuring = true;
    class Spy : public QObject {
    public:
        Spy(CConnection* p, bool* out) : page(p), flag(out) {}
        bool eventFilter(QObject* o, QEvent* e) override {
            if (static_cast<int>(e->type()) == WM_SEARCH_CONTROL) {
                *flag = page->m_btnSearch->isEnabled();
            }
            return QObject::eventFilter(o, e);
        }
        CConnection* page;
        bool* flag;
    } spy(page, &enabledDuring);
    S().installEventFilter(&spy);
    page->m_btnSearch->click();
    S().removeEventFilter(&spy);
    EXPECT_FALSE(enabledDuring);
    page->EndSearchDisplay();
}

TEST_F(ConnectionTest, NextNeverLeavesThePage) {
    EXPECT_EQ(page->OnWizardNext(), -1);
}

TEST_F(ConnectionTest, ConnectStoresTheAddressAndCancelAbortsTheAttempt) {
    page->EndSearchDisplay();
    Pump();
    page->m_editAddress->setText(QStringLiteral("0001950A0B01"));
    bool playing = false;
    bool modal = false;
    Slots during;
    QTimer::singleShot(0, page, [&] {
        Pump();
        playing = page->m_connectingDlg.m_animate->Playing();
        modal = page->m_connectingDlg.isModal() && page->m_connectingDlg.isVisible();
        during = Signalled();
        ResetEvents();
        page->m_connectingDlg.m_cancelButton->click();
    });
    page->m_btnConnect->click();
    EXPECT_EQ(page->m_connectingDlg.result(), CConnectingDlg::kCancelled);
    EXPECT_TRUE(playing);
    EXPECT_TRUE(modal);
    EXPECT_FALSE(page->m_connectingDlg.m_animate->Playing());
    EXPECT_EQ(during, Slots{EV_CONNECT});
    EXPECT_EQ(test::ControlProbe::Target(M()), "0001950A0B01");
    EXPECT_EQ(page->m_strAddress, QStringLiteral("0001950A0B01"));
    EXPECT_EQ(Signalled(), Slots{EV_ABORT});
    EXPECT_FALSE(page->m_btnSearch->isEnabled());
}

TEST_F(ConnectionTest, ClosingTheSheetDuringAConnectAttempt) {
    page->EndSearchDisplay();
    page->m_editAddress->setText(QStringLiteral("0001950A0B01"));
    Pump();
    QTimer::singleShot(0, page, [&] {
        Pump();
        S().reject();
    });
    page->m_btnConnect->click();
    EXPECT_EQ(page->m_connectingDlg.result(), CConnectingDlg::kCancelled);
    EXPECT_FALSE(page->m_connectingDlg.IsOpen());
    EXPECT_EQ(S().Module(), nullptr);
    Pump();
    EXPECT_EQ(messages.Count(), 0u);
}

TEST_F(ConnectionTest, ConnectingDialogLooksAsItShould) {
    CConnectingDlg& dlg = page->m_connectingDlg;
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Connecting..."));
    EXPECT_EQ(dlg.m_cancelButton->text(), QStringLiteral("Cancel"));
    EXPECT_TRUE(dlg.m_animate->UsesClip()) << "the Connecting clip did not load";
    EXPECT_FALSE(dlg.IsOpen());
}

TEST_F(ConnectionTest, EscapeInTheConnectingDialogIsItsCancel) {
    QTimer::singleShot(0, page, [&] { QTest::keyClick(&page->m_connectingDlg, Qt::Key_Escape); });
    EXPECT_EQ(page->m_connectingDlg.DoModal(), CConnectingDlg::kCancelled);
    QTimer::singleShot(0, page, [&] { page->m_connectingDlg.close(); });
    EXPECT_EQ(page->m_connectingDlg.DoModal(), CConnectingDlg::kCancelled);
}

TEST_F(ConnectionTest, EndedFromOutsideOnlyWhileOpen) {
    page->m_connectingDlg.EndDialog(1);
    EXPECT_FALSE(page->m_connectingDlg.IsOpen());
    QTimer::singleShot(0, page, [&] { page->m_connectingDlg.EndDialog(3); });
    EXPECT_EQ(page->m_connectingDlg.DoModal(), 3);
}

TEST_F(ConnectionTest, OnConnectedDisablesBothButtons) {
    page->EnableConnectButtons();
    EXPECT_TRUE(page->m_btnConnect->isEnabled());
    EXPECT_TRUE(page->m_btnSearch->isEnabled());
    page->OnConnected();
    EXPECT_FALSE(page->m_btnConnect->isEnabled());
    EXPECT_FALSE(page->m_btnSearch->isEnabled());
}

} // namespace
} // namespace norva::test
