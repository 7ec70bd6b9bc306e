// Steps 1, 2, 3, 4, 6 and 9 in the real sheet: what each posts or sends to
// the sheet on activation, on its check box and on Next.

#include "PageHarness.h"
#include "pages/First.h"
#include "pages/Mode.h"
#include "pages/ModeSuccess.h"
#include "pages/PageCommon.h"
#include "pages/Scan.h"
#include "pages/ScanWait.h"
#include "pages/Search.h"
#include "pages/Success.h"
#include "pages/TransparentStatic.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace norva::test {
namespace {

using Msgs = std::vector<RecordedMessage>;

TEST(InstructionPages, CaptionsAndTemplates) {
    SheetHarness h;
    CSerialSheet& s = h.Sheet();
    const std::pair<CPropertyPage*, std::pair<int, const char*>> pages[] = {
        {s.FirstPage(), {133, "Norva-BX Wizard - Step 1 of 9"}},
        {s.ScanPage(), {129, "Norva-BX Wizard - Step 2 of 9"}},
        {s.ScanWaitPage(), {131, "Norva-BX Wizard - Step 3 of 9"}},
        {s.SearchPage(), {132, "Norva-BX Wizard - Step 4 of 9"}},
        {s.SuccessPage(), {135, "Norva-BX Wizard - Step 6 of 9"}},
        {s.ModeSuccessPage(), {138, "Norva-BX Wizard - Step 9 of 9"}},
    };
    for (const auto& [page, expected] : pages) {
        EXPECT_EQ(page->TemplateId(), expected.first);
        EXPECT_EQ(page->Caption(), QString::fromLatin1(expected.second));
        h.Activate(page);
        EXPECT_EQ(s.windowTitle(), QString::fromLatin1(expected.second));
    }
}

TEST(InstructionPages, FirstStepOffersOnlyNextAfterInitialisation) {
    SheetHarness h;
    EXPECT_EQ(h.Sheet().GetActivePage(), h.Sheet().FirstPage());
    EXPECT_EQ(h.Sheet().WizardButtons(), PSWIZB_NEXT);
}

TEST(InstructionPages, FirstPostsPageNextEveryTimeAndStays) {
    SheetHarness h;
    CFirst* page = h.Sheet().FirstPage();
    h.Activate(page);
    EXPECT_EQ(h.Recorder().Buttons(), std::vector<int>{PSWIZB_NEXT});

    h.Recorder().Clear();
    EXPECT_EQ(page->OnWizardNext(), -1);
    EXPECT_TRUE(h.Recorder().messages.empty()) << "posted, not sent";
    h.Deliver();
    EXPECT_EQ(h.Recorder().messages, (Msgs{{WM_PAGE_NEXT, 0, Address(page)}}));

    // A second press while the sheet works hands over again; buttons stay as they are.
    h.Recorder().Clear();
    h.Sheet().PressNext();
    h.Deliver();
    EXPECT_EQ(h.Recorder().messages, (Msgs{{WM_PAGE_NEXT, 0, Address(page)}}));
    EXPECT_EQ(h.Sheet().GetActivePage(), page);
    EXPECT_EQ(h.Sheet().WizardButtons(), PSWIZB_NEXT);
}

TEST(InstructionPages, ScanEnablesNextOnAnyClickAndHandsOverSynchronously) {
    SheetHarness h;
    CScan* page = h.Sheet().ScanPage();
    h.Activate(page);
    EXPECT_EQ(h.Recorder().Buttons(), std::vector<int>{PSWIZB_BACK});
    EXPECT_EQ(h.Sheet().WizardButtons(), PSWIZB_BACK);

    h.Recorder().Clear();
    page->m_checkConfirm->click();
    h.Deliver();
    EXPECT_EQ(h.Recorder().Buttons(), std::vector<int>{PSWIZB_NEXT});
    EXPECT_EQ(page->m_bConfirm, 1);

    // Clearing the tick again still leaves Next on and Back off.
    h.Recorder().Clear();
    page->m_checkConfirm->click();
    h.Deliver();
    EXPECT_EQ(h.Recorder().Buttons(), std::vector<int>{PSWIZB_NEXT});
    EXPECT_EQ(h.Sheet().WizardButtons(), PSWIZB_NEXT);
    EXPECT_EQ(page->m_bConfirm, 0);

    h.Recorder().Clear();
    EXPECT_EQ(page->OnWizardNext(), -1);
    // The sent hand-over is there already; the posted button change comes after.
    EXPECT_EQ(h.Recorder().messages, (Msgs{{WM_PAGE_NEXT, 0, Address(page)}}));
    h.Deliver();
    EXPECT_EQ(h.Recorder().messages,
              (Msgs{{WM_PAGE_NEXT, 0, Address(page)}, {PSM_SETWIZBUTTONS, 0, 0}}));
    EXPECT_EQ(h.Sheet().WizardButtons(), 0);
}

TEST(InstructionPages, ScanKeepsItsTickButAsksForAClickOnReturn) {
    SheetHarness h;
    CScan* page = h.Sheet().ScanPage();
    h.Activate(page);
    page->m_checkConfirm->click();
    h.Activate(h.Sheet().FirstPage());
    h.Activate(page);
    EXPECT_TRUE(page->m_checkConfirm->isChecked());
    EXPECT_EQ(page->m_bConfirm, 1);
    EXPECT_EQ(h.Sheet().WizardButtons(), PSWIZB_BACK);
}

TEST(InstructionPages, ScanWaitSendsPageNextAndLeavesTheButtons) {
    SheetHarness h;
    CScanWait* page = h.Sheet().ScanWaitPage();
    h.Activate(page);
    EXPECT_EQ(h.Recorder().Buttons(), std::vector<int>{PSWIZB_NEXT});
    h.Recorder().Clear();
    EXPECT_EQ(page->OnWizardNext(), -1);
    EXPECT_EQ(h.Recorder().messages, (Msgs{{WM_PAGE_NEXT, 0, Address(page)}}));
    h.Deliver();
    EXPECT_EQ(h.Recorder().messages.size(), 1u);
    EXPECT_EQ(h.Sheet().WizardButtons(), PSWIZB_NEXT);
}

TEST(InstructionPages, SearchClearsItsTickOnEveryArrival) {
    SheetHarness h;
    CSearch* page = h.Sheet().SearchPage();
    h.Activate(page);
    EXPECT_EQ(h.Recorder().Buttons(), std::vector<int>{PSWIZB_BACK});

    h.Recorder().Clear();
    page->m_checkConfirm->click();
    h.Deliver();
    EXPECT_EQ(h.Recorder().Buttons(), std::vector<int>{PSWIZB_NEXT});
    EXPECT_EQ(page->m_bConfirm, 1);
    h.Recorder().Clear();
    page->m_checkConfirm->click();
    h.Deliver();
    EXPECT_EQ(h.Recorder().Buttons(), std::vector<int>{PSWIZB_BACK});
    EXPECT_EQ(page->m_bConfirm, 0);

    page->m_checkConfirm->click();
    h.Activate(h.Sheet().ScanWaitPage());
    h.Activate(page);
    EXPECT_FALSE(page->m_checkConfirm->isChecked());
    EXPECT_EQ(page->m_bConfirm, 0);
    EXPECT_EQ(h.Sheet().WizardButtons(), PSWIZB_BACK);
}

TEST(InstructionPages, SearchDisablesButtonsThenSendsPageNext) {
    SheetHarness h;
    CSearch* page = h.Sheet().SearchPage();
    h.Activate(page);
    page->m_checkConfirm->click();
    h.Deliver();
    h.Recorder().Clear();
    EXPECT_EQ(page->OnWizardNext(), -1);
    EXPECT_EQ(h.Recorder().messages, (Msgs{{WM_PAGE_NEXT, 0, Address(page)}}));
    h.Deliver();
    EXPECT_EQ(h.Recorder().Buttons(), std::vector<int>{0});
    EXPECT_EQ(h.Sheet().GetActivePage(), page);
}

TEST(InstructionPages, SuccessGoesOnByItselfAndModeSuccessOffersFinishOnly) {
    SheetHarness h;
    h.Activate(h.Sheet().SuccessPage());
    EXPECT_EQ(h.Recorder().Buttons(), std::vector<int>{PSWIZB_NEXT});
    h.Recorder().Clear();
    h.Sheet().PressNext();
    h.Deliver();
    EXPECT_EQ(h.Sheet().GetActivePage(), h.Sheet().ModePage());
    EXPECT_TRUE(h.Recorder().PageNexts().empty());

    h.Activate(h.Sheet().ModeSuccessPage());
    EXPECT_EQ(h.Recorder().Buttons(), std::vector<int>{PSWIZB_FINISH});
    EXPECT_EQ(h.Sheet().WizardButtons(), PSWIZB_FINISH);
}

TEST(InstructionPages, BoldOnlyOnTheNamedControl) {
    SheetHarness h;
    CSerialSheet& s = h.Sheet();
    EXPECT_TRUE(s.ScanPage()->m_checkConfirm->font().bold());
    EXPECT_TRUE(s.SearchPage()->m_checkConfirm->font().bold());
    EXPECT_TRUE(s.ScanWaitPage()->m_textLeaveUnit1->font().bold());
    EXPECT_TRUE(s.SuccessPage()->m_textSuccess->font().bold());
    EXPECT_TRUE(s.ModeSuccessPage()->m_textConfigured->font().bold());
    for (CPropertyPage* page : std::initializer_list<CPropertyPage*>{
             s.FirstPage(), s.ScanPage(), s.ScanWaitPage(), s.SearchPage(), s.SuccessPage(),
             s.ModeSuccessPage()}) {
        int bold = 0;
        for (QWidget* w : page->findChildren<QWidget*>()) {
            bold += (w->testAttribute(Qt::WA_SetFont) && w->font().bold()) ? 1 : 0;
        }
        EXPECT_EQ(bold, page == s.FirstPage() ? 0 : 1) << page->objectName().toStdString();
    }
}

// Presses `button`, and from inside the modal loop it opens records which
// dialog is up and cancels it.
QWidget* ModalOpenedBy(QPushButton* button) {
    QWidget* seen = nullptr;
    QTimer::singleShot(0, [&seen] {
        seen = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<QDialog*>(seen)) {
            dialog->reject();
        }
    });
    button->click();
    return seen;
}

TEST(InstructionPages, WizardSettingOpensTheUnitsOwnDialog) {
    SheetHarness h;
    CSerialSheet& s = h.Sheet();
    s.show();
    h.Deliver();
    s.m_unit1Setting.m_nBaudRate = 19200;
    EXPECT_EQ(ModalOpenedBy(s.FirstPage()->m_btnWizardSetting), &s.m_unit1Setting);
    EXPECT_EQ(ModalOpenedBy(s.ScanWaitPage()->m_btnWizardSetting), &s.m_unit2Setting);
    // Closed without its own OK: the unit's settings stay as they were.
    EXPECT_EQ(s.m_unit1Setting.m_nBaudRate, 19200);
    EXPECT_EQ(ControlId(s.FirstPage()->m_btnWizardSetting), 1015);
    EXPECT_EQ(ControlId(s.ScanWaitPage()->m_btnWizardSetting), 1015);
    s.hide();
}

TEST(InstructionPages, PicturesShowWhichUnitIsAttached) {
    SheetHarness h;
    CSerialSheet& s = h.Sheet();
    EXPECT_EQ(ControlId(s.FirstPage()->m_picture), 1036);
    EXPECT_EQ(ControlId(s.ScanWaitPage()->m_picture), 1037);
    // The pale picture is the unit that is not attached on that step.
    EXPECT_EQ(s.FirstPage()->m_picture->accessibleName(), QStringLiteral("Norva-BX02"));
    EXPECT_EQ(s.ScanWaitPage()->m_picture->accessibleName(), QStringLiteral("Norva-BX01"));
    EXPECT_EQ(s.FirstPage()->m_picture->pixmap().size(), QSize(32, 32));
    for (CPropertyPage* page :
         std::initializer_list<CPropertyPage*>{s.FirstPage(), s.ScanWaitPage()}) {
        int pictures = 0;
        for (QLabel* label : page->findChildren<QLabel*>()) {
            pictures += label->pixmap().isNull() ? 0 : 1;
        }
        EXPECT_EQ(pictures, 3) << "module in colour, connector, pale module";
    }
}

} // namespace
} // namespace norva::test
