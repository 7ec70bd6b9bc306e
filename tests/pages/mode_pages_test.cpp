// Steps 7 and 8 in the real sheet: lists, gating box, and what Next hands over.

#include "PageHarness.h"
#include "pages/ComboValues.h"
#include "pages/Mode.h"
#include "pages/PageCommon.h"
#include "pages/Success.h"

#include <QCheckBox>
#include <QComboBox>
#include <QStringList>
#include <gtest/gtest.h>

namespace norva::test {
namespace {

using Msgs = std::vector<RecordedMessage>;

QStringList Items(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i) {
        items << box->itemText(i);
    }
    return items;
}

void Choose(QComboBox* box, const char* text) {
    const int index = box->findText(QString::fromLatin1(text));
    ASSERT_GE(index, 0) << text;
    box->setCurrentIndex(index);
}

class ModePages : public ::testing::TestWithParam<bool> {
protected:
    // Param true: CMode1 (step 8), false: CMode (step 7).
    static CModePageBase* PageOf(CSerialSheet& s, bool mode1) {
        return mode1 ? static_cast<CModePageBase*>(s.Mode1Page()) : s.ModePage();
    }
};

TEST_P(ModePages, ListsHoldTheTablesInOrderWithTheDefaultsChosen) {
    SheetHarness h;
    CModePageBase* page = PageOf(h.Sheet(), GetParam());
    EXPECT_EQ(Items(page->m_cbBaudRate), (QStringList{"1200", "2400", "4800", "9600", "19200",
                                                      "38400", "57600", "115200", "230400"}));
    EXPECT_EQ(Items(page->m_cbParity), (QStringList{"None", "Even", "Odd"}));
    EXPECT_EQ(Items(page->m_cbStopBits), (QStringList{"1", "2"}));
    EXPECT_EQ(page->m_cbBaudRate->currentText(), QStringLiteral("9600"));
    EXPECT_EQ(page->m_cbParity->currentText(), QStringLiteral("None"));
    EXPECT_EQ(page->m_cbStopBits->currentText(), QStringLiteral("1"));
    EXPECT_FALSE(page->m_checkConfirm->isChecked());
    EXPECT_FALSE(page->m_checkNoFlowControl->isChecked());
}

TEST_P(ModePages, GatingBoxOffersNextOrBackNeverBoth) {
    SheetHarness h;
    CModePageBase* page = PageOf(h.Sheet(), GetParam());
    h.Activate(page);
    EXPECT_EQ(h.Recorder().Buttons(), std::vector<int>{PSWIZB_BACK});

    h.Recorder().Clear();
    page->m_checkConfirm->click();
    h.Deliver();
    EXPECT_EQ(h.Recorder().Buttons(), std::vector<int>{PSWIZB_NEXT});
    h.Recorder().Clear();
    page->m_checkConfirm->click();
    h.Deliver();
    EXPECT_EQ(h.Recorder().Buttons(), std::vector<int>{PSWIZB_BACK});

    // Coming back finds the page as it was left.
    page->m_checkConfirm->click();
    Choose(page->m_cbBaudRate, "57600");
    h.Activate(h.Sheet().SuccessPage());
    h.Activate(page);
    EXPECT_EQ(h.Recorder().Buttons(), std::vector<int>{PSWIZB_NEXT});
    EXPECT_EQ(page->m_cbBaudRate->currentText(), QStringLiteral("57600"));
}

TEST_P(ModePages, NextHandsOverTheChosenValues) {
    SheetHarness h;
    CModePageBase* page = PageOf(h.Sheet(), GetParam());
    h.Activate(page);
    page->m_checkConfirm->click();
    Choose(page->m_cbBaudRate, "38400");
    Choose(page->m_cbParity, "Even");
    Choose(page->m_cbStopBits, "2");
    page->m_checkNoFlowControl->click();
    h.Deliver();
    h.Recorder().Clear();

    EXPECT_EQ(page->OnWizardNext(), -1);
    EXPECT_TRUE(h.Recorder().messages.empty()) << "both messages are posted";
    h.Deliver();
    EXPECT_EQ(h.Recorder().messages,
              (Msgs{{PSM_SETWIZBUTTONS, 0, 0}, {WM_PAGE_NEXT, 0, Address(page)}}));
    EXPECT_EQ(page->m_nBaudRate, 38400);
    EXPECT_EQ(page->m_nParity, 2);
    EXPECT_EQ(page->m_nStopBits, 2);
    EXPECT_EQ(page->m_bNoFlowControl, 1);
    EXPECT_EQ(page->m_bFlowControl, 0);
    EXPECT_EQ(page->m_bConfirm, 1);
    EXPECT_EQ(h.Sheet().GetActivePage(), page);
    EXPECT_EQ(h.Sheet().WizardButtons(), 0);

    Choose(page->m_cbParity, "Odd");
    Choose(page->m_cbStopBits, "1");
    Choose(page->m_cbBaudRate, "115200");
    page->m_checkNoFlowControl->click();
    EXPECT_EQ(page->OnWizardNext(), -1);
    EXPECT_EQ(page->m_nBaudRate, 115200);
    EXPECT_EQ(page->m_nParity, 1);
    EXPECT_EQ(page->m_nStopBits, 0);
    EXPECT_EQ(page->m_bFlowControl, 1);
}

TEST_P(ModePages, HandedOverValuesChangeOnlyOnNext) {
    SheetHarness h;
    CModePageBase* page = PageOf(h.Sheet(), GetParam());
    Choose(page->m_cbBaudRate, "1200");
    page->m_checkNoFlowControl->click();
    EXPECT_EQ(page->m_nBaudRate, 0);
    EXPECT_EQ(page->m_bFlowControl, 0);
    page->m_cbParity->setCurrentIndex(-1);
    page->OnWizardNext();
    EXPECT_EQ(page->m_nBaudRate, 1200);
    EXPECT_EQ(page->m_nParity, 0) << "a list without a selection hands over 0";
}

INSTANTIATE_TEST_SUITE_P(Both, ModePages, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Mode1" : "Mode"; });

TEST(ModePagesSource, EachTakesItsFirstValuesFromItsOwnUnit) {
    SheetHarness h([](CSerialSheet& s) {
        s.m_unit1Setting.m_nBaudRate = 115200;
        s.m_unit1Setting.m_nParity = 2;
        s.m_unit1Setting.m_nStopBits = 2;
        s.m_unit2Setting.m_nBaudRate = 38400;
        s.m_unit2Setting.m_nParity = 1;
        s.m_unit2Setting.m_nStopBits = 0;
    });
    CSerialSheet& s = h.Sheet();
    EXPECT_EQ(s.ModePage()->m_cbBaudRate->currentText(), QStringLiteral("38400"));
    EXPECT_EQ(s.ModePage()->m_cbParity->currentText(), QStringLiteral("Odd"));
    EXPECT_EQ(s.ModePage()->m_cbStopBits->currentText(), QStringLiteral("1"));
    EXPECT_EQ(s.Mode1Page()->m_cbBaudRate->currentText(), QStringLiteral("115200"));
    EXPECT_EQ(s.Mode1Page()->m_cbParity->currentText(), QStringLiteral("Even"));
    EXPECT_EQ(s.Mode1Page()->m_cbStopBits->currentText(), QStringLiteral("2"));

    // Later changes of the settings leave the preselection alone.
    s.m_unit2Setting.m_nBaudRate = 1200;
    h.Activate(s.ModePage());
    EXPECT_EQ(s.ModePage()->m_cbBaudRate->currentText(), QStringLiteral("38400"));
}

TEST(ModePagesSource, CaptionsTemplatesAndControlIds) {
    SheetHarness h;
    CMode* mode = h.Sheet().ModePage();
    CMode1* mode1 = h.Sheet().Mode1Page();
    EXPECT_EQ(mode->TemplateId(), 136);
    EXPECT_EQ(mode->Caption(), QStringLiteral("Norva-BX Wizard - Step 7 of 9"));
    EXPECT_EQ(mode1->TemplateId(), 137);
    EXPECT_EQ(mode1->Caption(), QStringLiteral("Norva-BX Wizard - Step 8 of 9"));
    EXPECT_EQ(ControlId(mode->m_cbBaudRate), 1028);
    EXPECT_EQ(ControlId(mode->m_cbParity), 1029);
    EXPECT_EQ(ControlId(mode->m_cbStopBits), 1030);
    EXPECT_EQ(ControlId(mode->m_checkNoFlowControl), 1032);
    EXPECT_EQ(ControlId(mode->m_checkConfirm), 1033);
    EXPECT_EQ(ControlId(mode1->m_cbBaudRate), 1025);
    EXPECT_EQ(ControlId(mode1->m_cbParity), 1026);
    EXPECT_EQ(ControlId(mode1->m_cbStopBits), 1027);
    EXPECT_EQ(ControlId(mode1->m_checkNoFlowControl), 1031);
    EXPECT_EQ(ControlId(mode1->m_checkConfirm), 1003);
    EXPECT_TRUE(mode->m_textHeading->font().bold());
    EXPECT_TRUE(mode1->m_textHeading->font().bold());
    EXPECT_FALSE(mode1->m_btnSerialSetting->isVisibleTo(mode1));
}

} // namespace
} // namespace norva::test
