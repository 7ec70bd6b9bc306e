// The wizard started with --record: its pairing in the register, a unit of
// another pair refused before anything is stored, and step 9's "Print
// label…" printed to a PDF file of the label's size whose QR code is read
// back.

#include "LabelImage.h"
#include "SimSheetFixture.h"
#include "TestTarget.h"
#include "pages/ModeSuccess.h"
#include "station/Register.h"
#include "wizard/VerifyRunner.h"

#include <QItemSelectionModel>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QPushButton>
#include <QTableWidget>

#include <cstdio>
#include <regex>
#include <sys/stat.h>

namespace norva::test {
namespace {

std::string Shell(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    char buf[4096];
    while (p != nullptr && fgets(buf, sizeof buf, p) != nullptr) {
        out += buf;
    }
    if (p != nullptr) {
        pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) {
        out.pop_back();
    }
    return out;
}

class StationSheetTest : public SimSheetTest {
protected:
    std::string Sql(const std::string& query) {
        return Shell("sqlite3 '" + reg.Text() + "' \"" + query + "\"");
    }
    void Record(bool repair = false) {
        std::string error;
        ASSERT_TRUE(S().Station().Open({reg.Text(), "Lee", repair}, error)) << error;
    }
    TestTarget reg{station::Engine::SQLite};
};

TEST_F(StationSheetTest, AGuiPairingIsRecordedAndItsLabelPrintsToPdf) {
    Record();
    StartSim();
    ThroughStepSix();
    // The row exists while the pairing is under way.
    EXPECT_EQ(Sql("SELECT outcome, tool, operator, unit1_address, unit2_address FROM attempts"),
              "interrupted|norvawizard|Lee|00A0961B2C01|00A0961B2C02");
    FromStepSixToNine();
    EXPECT_EQ(Sql("SELECT outcome, step, unit1_uart, unit1_mode, unit2_uart, unit2_mode,"
                  " unit1_name, unit2_firmware, unit1_port FROM attempts"),
              "configured|9|9600,none,1,flow|2|9600,none,1,flow|1|Norva-BX01|flow-field|COM" +
                  std::to_string(kTestCom1));

    CModeSuccess* page = S().ModeSuccessPage();
    page->m_btnVerify->click();
    ASSERT_TRUE(WaitForMessages(1));
    ASSERT_TRUE(PumpUntil([&] { return !S().Verifier()->Running(); }, kJobMs * kSlowdown));
    // Proved by Verify: only now "paired".
    EXPECT_EQ(Sql("SELECT outcome, unit1_verified, unit2_verified FROM attempts"), "paired|1|1");

    // As the print dialog does for "Print to File (PDF)": the page of its
    // default printer, and the file it proposes, <document name>.pdf.
    std::string pdf;
    S().SetPrinterChooser([&](QPrinter& printer, QWidget*) {
        printer.setPageSize(QPageSize(QPageSize::Letter));
        printer.setPageOrientation(QPageLayout::Portrait);
        printer.setOutputFormat(QPrinter::PdfFormat);
        pdf = reg.Dir() + "/" + printer.docName().toStdString() + ".pdf";
        printer.setOutputFileName(QString::fromStdString(pdf));
        return true;
    });
    EXPECT_EQ(page->m_btnPrintLabel->text(), QStringLiteral("Print label\u2026"));
    ASSERT_TRUE(page->m_btnPrintLabel->isVisibleTo(page));
    page->m_btnPrintLabel->click();
    EXPECT_EQ(pdf, reg.Dir() + "/label-00A0961B2C01-00A0961B2C02.pdf");
    struct stat st {};
    ASSERT_EQ(stat(pdf.c_str(), &st), 0);
    if (const std::string missing = MissingTools({"pdfinfo", "pdftotext", "pdftoppm", "zbarimg"});
        !missing.empty()) {
        GTEST_SKIP() << missing;
    }
    // One 50 x 25 mm page, upright as the label reads: 141.7 x 70.9 points.
    const std::string info = Shell("pdfinfo '" + pdf + "'");
    EXPECT_TRUE(std::regex_search(info, std::regex("Pages: +1\n"))) << info;
    EXPECT_TRUE(std::regex_search(info, std::regex("Page size: +142 x 71 pts"))) << info;
    EXPECT_TRUE(std::regex_search(info, std::regex("Page rot: +0\n"))) << info;
    const std::string text = Shell("pdftotext '" + pdf + "' -");
    EXPECT_NE(text.find("Norva-BX01"), std::string::npos) << text;
    EXPECT_NE(text.find("00A0961B2C02"), std::string::npos) << text;
    EXPECT_NE(text.find("UART 9600,none,1,flow"), std::string::npos) << text;
    // At 20 pixels per mm, the QR code at its true size: 29 modules of
    // 0.5 mm, as wide as high.
    Shell("pdftoppm -gray -r 508 -singlefile '" + pdf + "' '" + reg.Dir() + "/label'");
    GreyMap map;
    ASSERT_TRUE(ReadPgm(reg.Dir() + "/label.pgm", map));
    EXPECT_NEAR(map.width, 1000, 2);
    EXPECT_NEAR(map.height, 500, 2);
    const InkBox qr = Ink(map, 0, 20 * 20);
    EXPECT_NEAR(qr.right - qr.left, 290, 3);
    EXPECT_NEAR(qr.bottom - qr.top, 290, 3);
    EXPECT_EQ(Shell("zbarimg --raw -q '" + reg.Dir() + "/label.pgm' 2>/dev/null"),
              "NORVA-PAIR:00A0961B2C01,00A0961B2C02");
}

TEST_F(StationSheetTest, AUnitOfAnotherPairIsRefusedAndClosingRecordsIt) {
    {
        // Unit 1 was paired with another unit before.
        station::RegisterError error;
        auto r = station::Register::Open(reg.Target(), error);
        ASSERT_NE(r, nullptr) << error.Text(true);
        station::AttemptRecord old;
        old.station = "bench-2";
        old.tool = "norvactl";
        old.toolVersion = "1.0.0";
        old.pairName = "COM1+COM2";
        old.unit[0].address = "00A0961B2C01";
        old.unit[1].address = "00A0961B2C09";
        ASSERT_TRUE(r->Begin(old, error)) << error.Text(true);
        old.outcome = station::Outcome::Paired;
        ASSERT_TRUE(r->Complete(old, false, error)) << error.Text(true);
    }
    Record();
    StartSim();
    S().NextButton()->click();
    ASSERT_TRUE(WaitForPage(S().ScanPage()));
    S().PressNext();
    ASSERT_TRUE(WaitForPage(S().ScanWaitPage()));
    S().PressNext();
    ASSERT_TRUE(WaitForPage(S().SearchPage()));
    messages.Clear();
    S().PressNext();
    ASSERT_EQ(messages.Count(), 1u);
    const std::string said = messages.At(0).text.toStdString();
    EXPECT_NE(said.find("Norva-BX01 (00A0961B2C01) is in the pair with 00A0961B2C09, paired "),
              std::string::npos)
        << said;
    EXPECT_NE(said.find(" on bench-2 (attempt 1)"), std::string::npos) << said;
    EXPECT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().SearchPage()));
    // Unit 2 did not search.
    EXPECT_EQ(simulator->Snapshot(2).link, sim::LinkState::Standby);
    EXPECT_EQ(simulator->Snapshot(2).mode, 0);
    S().reject();
    EXPECT_EQ(Sql("SELECT outcome, step FROM attempts WHERE id = 2"), "refused|4");
}

TEST_F(StationSheetTest, ClosingDuringThePairingRecordsItAsCancelled) {
    Record();
    StartSim();
    S().NextButton()->click();
    ASSERT_TRUE(WaitForPage(S().ScanPage()));
    S().PressNext();
    ASSERT_TRUE(WaitForPage(S().ScanWaitPage()));
    S().reject();
    EXPECT_EQ(Sql("SELECT outcome, step, unit1_address, unit2_address IS NULL FROM attempts"),
              "cancelled|3|00A0961B2C01|1");
}

using ConnectionPickTest = SimSheetTest;

QString Selected(CConnection* page) {
    const QModelIndexList rows = page->m_list->selectionModel()->selectedRows(0);
    return rows.isEmpty() ? QString() : page->m_list->item(rows.first().row(), 0)->text();
}

TEST_F(ConnectionPickTest, Step5ChoosesUnit1sRowAsItAppearsUnlessTheUserChoseFirst) {
    StartSim([](sim::SimOptions& o) {
        // Unit 1 comes second of four.
        o.unit[1].neighbours = 3;
        o.timing.inquiryMs = 4000;
    });
    ThroughStepFour();
    CConnection* page = S().ConnectionPage();
    const QString unit1 = QString::fromStdString(simulator->Snapshot(1).address);
    // The user picks the first device found before unit 1 shows up.
    ASSERT_TRUE(PumpUntil([&] { return page->m_list->rowCount() >= 1; }, kJobMs * kSlowdown));
    page->m_list->selectRow(0);
    const QString first = page->m_list->item(0, 0)->text();
    ASSERT_NE(first, unit1);
    ASSERT_TRUE(PumpUntil([&] { return page->m_bSearching == 0; }, kJobMs * kSlowdown));
    EXPECT_EQ(page->m_list->rowCount(), 4);
    EXPECT_EQ(Selected(page), first);
    EXPECT_EQ(page->m_editAddress->text(), first);

    // Searching again, nobody chooses: unit 1's row is chosen as it arrives.
    page->m_btnSearch->click();
    ASSERT_TRUE(PumpUntil([&] { return page->m_bSearching == 1; }, kJobMs * kSlowdown));
    ASSERT_TRUE(PumpUntil([&] { return !Selected(page).isEmpty(); }, kJobMs * kSlowdown));
    EXPECT_EQ(Selected(page), unit1);
    EXPECT_EQ(page->m_editAddress->text(), unit1);
    ASSERT_TRUE(PumpUntil([&] { return page->m_bSearching == 0; }, kJobMs * kSlowdown));
    EXPECT_EQ(Selected(page), unit1);
    // Connect stays the user's to press.
    EXPECT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(page));
    EXPECT_EQ(simulator->Snapshot(2).link, sim::LinkState::Standby);
}

} // namespace
} // namespace norva::test
