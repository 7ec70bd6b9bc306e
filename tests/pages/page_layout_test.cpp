// What users of screen readers, keyboards and bigger fonts meet on the eight
// step pages: names on every control, Tab to every control, no cut-off text.

#include "PageHarness.h"
#include "module/ReadBack.h"
#include "pages/First.h"
#include "pages/Mode.h"
#include "pages/ModeSuccess.h"
#include "pages/Scan.h"
#include "pages/ScanWait.h"
#include "pages/Search.h"
#include "pages/Success.h"
#include "pages/TransparentStatic.h"
#include "platform/SerialDevice.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QStringList>
#include <QTest>
#include <gtest/gtest.h>

namespace norva::test {
namespace {

std::vector<CPropertyPage*> StepPages(CSerialSheet& s) {
    return {s.FirstPage(),   s.ScanPage(), s.ScanWaitPage(), s.SearchPage(),
            s.SuccessPage(), s.ModePage(), s.Mode1Page(),    s.ModeSuccessPage()};
}

std::string Describe(const QWidget* w) {
    return (w->metaObject()->className() + QStringLiteral(" ") + w->objectName()).toStdString();
}

bool IsControl(const QWidget* w) {
    return qobject_cast<const QAbstractButton*>(w) != nullptr ||
           qobject_cast<const QComboBox*>(w) != nullptr ||
           qobject_cast<const QLabel*>(w) != nullptr ||
           qobject_cast<const QGroupBox*>(w) != nullptr;
}

bool IsOperable(const QWidget* w) {
    return qobject_cast<const QAbstractButton*>(w) != nullptr ||
           qobject_cast<const QComboBox*>(w) != nullptr;
}

// Every line of a label's text, as its font lays it out (wrapped at the
// label's width where it wraps), lies inside the label.
void ExpectTextFits(const QLabel* label) {
    if (label->text().isEmpty() || !label->pixmap().isNull() ||
        (label->textFormat() != Qt::PlainText && Qt::mightBeRichText(label->text()))) {
        return;
    }
    const int m = label->margin();
    const QRect room = label->contentsRect().adjusted(m, m, -m, -m);
    int flags = static_cast<int>(label->alignment());
    if (label->wordWrap()) {
        flags |= Qt::TextWordWrap;
    }
    if (label->buddy() != nullptr) {
        flags |= Qt::TextShowMnemonic;
    }
    const QRect needed = label->fontMetrics().boundingRect(room, flags, label->text());
    EXPECT_TRUE(room.contains(needed))
        << "text of " << needed.width() << "x" << needed.height() << " in " << room.width() << "x"
        << room.height() << ": " << label->text().toStdString();
}

void ExpectNothingClipped(CPropertyPage* page) {
    SCOPED_TRACE(page->objectName().toStdString());
    for (QWidget* w : page->findChildren<QWidget*>()) {
        if (!w->isVisible()) {
            continue;
        }
        SCOPED_TRACE(Describe(w));
        QWidget* parent = w->parentWidget();
        EXPECT_TRUE(parent->rect().contains(w->geometry()))
            << "outside its parent: " << w->geometry().x() << "," << w->geometry().y() << " "
            << w->width() << "x" << w->height() << " in " << parent->width() << "x"
            << parent->height();
        if (auto* label = qobject_cast<QLabel*>(w)) {
            if (!label->pixmap().isNull()) {
                EXPECT_GE(label->width(), label->pixmap().width());
                EXPECT_GE(label->height(), label->pixmap().height());
            } else if (label->wordWrap()) {
                EXPECT_LE(label->heightForWidth(label->width()), label->height());
            } else {
                EXPECT_LE(label->sizeHint().width(), label->width());
                EXPECT_LE(label->sizeHint().height(), label->height());
            }
            ExpectTextFits(label);
        } else if (qobject_cast<QAbstractButton*>(w) != nullptr ||
                   qobject_cast<QComboBox*>(w) != nullptr) {
            EXPECT_LE(w->sizeHint().width(), w->width());
            EXPECT_LE(w->sizeHint().height(), w->height());
        } else if (qobject_cast<QGroupBox*>(w) != nullptr) {
            EXPECT_LE(w->minimumSizeHint().width(), w->width());
            EXPECT_LE(w->minimumSizeHint().height(), w->height());
        }
    }
}

// Step 9 as a pairing leaves it: under the page's text what both units
// stored (the longest a unit can show), under the page the last apply's note.
void ShowStepNineAfterAPairing(SheetHarness& h) {
    CSerialSheet& s = h.Sheet();
    const UiLanguage lang = GetUiLanguage();
    StoredSettings stored;
    stored.mode = 2;
    stored.baud = 230400;
    stored.parity = kEvenParity;
    stored.stopBits = kTwoStopBits;
    stored.flow = 0;
    std::string summary;
    for (const char* unit : {"Norva-BX01 (00A0961B2C01)", "Norva-BX02 (00A0961B2C02)"}) {
        summary += (summary.empty() ? "" : "\n") + std::string(unit) + ": UART " +
                   UartSettingText(stored) + ", " + FlowText(stored.flow, lang) + ", " +
                   ModeText(stored.mode, lang);
    }
    s.ModeSuccessPage()->ShowStored(QString::fromStdString(summary));
    h.Activate(s.ModeSuccessPage());
    s.ShowNote(QString::fromStdString(ConfirmationText("Norva-BX01", stored, {}, lang)));
    h.Deliver();
}

void ShowEveryPageAndCheck(SheetHarness& h) {
    CSerialSheet& s = h.Sheet();
    s.show();
    h.Deliver();
    for (CPropertyPage* page : StepPages(s)) {
        h.Activate(page);
        ExpectNothingClipped(page);
    }
    ShowStepNineAfterAPairing(h);
    ExpectNothingClipped(s.ModeSuccessPage());
    ExpectTextFits(s.findChild<QLabel*>(QStringLiteral("stepNote")));
    s.hide();
}

// The sheet's and the pages' buttons take their texts when they are made.
class InLanguage {
public:
    explicit InLanguage(UiLanguage lang) : m_original(GetUiLanguage()) { SetUiLanguage(lang); }
    ~InLanguage() { SetUiLanguage(m_original); }
    InLanguage(const InLanguage&) = delete;
    InLanguage& operator=(const InLanguage&) = delete;

private:
    UiLanguage m_original;
};

TEST(PageLayout, NoTextIsClippedWithTheDefaultFont) {
    for (const UiLanguage lang : {UiLanguage::English, UiLanguage::Korean}) {
        SCOPED_TRACE(lang == UiLanguage::Korean ? "Korean" : "English");
        const InLanguage in(lang);
        SheetHarness h;
        ShowEveryPageAndCheck(h);
    }
}

TEST(PageLayout, NoTextIsClippedWithAFontHalfAgainAsLarge) {
    const QFont original = QApplication::font();
    QFont larger = original;
    if (larger.pointSizeF() > 0) {
        larger.setPointSizeF(larger.pointSizeF() * 1.5);
    } else {
        larger.setPixelSize(larger.pixelSize() * 3 / 2);
    }
    QApplication::setFont(larger);
    {
        SheetHarness h;
        ShowEveryPageAndCheck(h);
    }
    QApplication::setFont(original);
}

TEST(PageLayout, StepNineKeepsItsThreeButtonsInOneRow) {
    for (const UiLanguage lang : {UiLanguage::English, UiLanguage::Korean}) {
        SCOPED_TRACE(lang == UiLanguage::Korean ? "Korean" : "English");
        const InLanguage in(lang);
        SheetHarness h;
        h.Sheet().show();
        ShowStepNineAfterAPairing(h);
        const CModeSuccess* page = h.Sheet().ModeSuccessPage();
        const QRect verify = page->m_btnVerify->geometry();
        const QRect print = page->m_btnPrintLabel->geometry();
        const QRect save = page->m_btnSaveLog->geometry();
        EXPECT_EQ(print.top(), verify.top());
        EXPECT_EQ(save.top(), verify.top());
        EXPECT_LT(verify.right(), print.left());
        EXPECT_LT(print.right(), save.left());
        h.Sheet().hide();
    }
}

TEST(PageLayout, EveryControlHasAnAccessibleName) {
    SheetHarness h;
    for (CPropertyPage* page : StepPages(h.Sheet())) {
        for (QWidget* w : page->findChildren<QWidget*>()) {
            if (!w->isVisibleTo(page) || !IsControl(w)) {
                continue;
            }
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
            ASSERT_NE(iface, nullptr) << Describe(w);
            EXPECT_FALSE(iface->text(QAccessible::Name).trimmed().isEmpty())
                << page->objectName().toStdString() << ": " << Describe(w);
        }
    }
}

TEST(PageLayout, ValueListsAndGatingBoxesAreNamedByTheirLabels) {
    SheetHarness h;
    for (CModePageBase* page : {static_cast<CModePageBase*>(h.Sheet().ModePage()),
                                static_cast<CModePageBase*>(h.Sheet().Mode1Page())}) {
        auto name = [](QWidget* w) {
            return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
        };
        // What AT-SPI reads as a control's labels: its own text and the group's title.
        auto labelledBy = [](QWidget* w) {
            QStringList labels;
            const auto relations =
                QAccessible::queryAccessibleInterface(w)->relations(QAccessible::Label);
            for (const auto& [iface, relation] : relations) {
                labels << iface->text(QAccessible::Name);
            }
            return labels;
        };
        EXPECT_TRUE(labelledBy(page->m_cbBaudRate).contains(QStringLiteral("Baud Rate")));
        EXPECT_TRUE(labelledBy(page->m_cbParity).contains(QStringLiteral("Parity")));
        EXPECT_TRUE(labelledBy(page->m_cbStopBits).contains(QStringLiteral("Stopbit")));
        EXPECT_EQ(page->m_cbBaudRate->accessibleName(), QStringLiteral("Baud Rate"));
        EXPECT_EQ(page->m_cbParity->accessibleName(), QStringLiteral("Parity"));
        EXPECT_EQ(page->m_cbStopBits->accessibleName(), QStringLiteral("Stopbit"));
        EXPECT_TRUE(name(page->m_checkConfirm).startsWith(QStringLiteral("Change UART as above")));
        EXPECT_TRUE(labelledBy(page->m_checkConfirm).contains(name(page->m_checkConfirm)));
        EXPECT_EQ(name(page->m_checkNoFlowControl),
                  QStringLiteral("Don't use Hardware Flow control"));
    }
    EXPECT_EQ(QAccessible::queryAccessibleInterface(h.Sheet().FirstPage()->m_picture)
                  ->text(QAccessible::Name),
              QStringLiteral("Norva-BX02"));
}

TEST(PageLayout, TabReachesEveryControlThatCanBeOperated) {
    SheetHarness h;
    CSerialSheet& s = h.Sheet();
    s.show();
    h.Deliver();
    for (CPropertyPage* page : StepPages(s)) {
        h.Activate(page);
        QSet<QWidget*> chain;
        QWidget* w = &s;
        do {
            w = w->nextInFocusChain();
            chain.insert(w);
        } while (w != &s && chain.size() < 1000);
        for (QWidget* control : page->findChildren<QWidget*>()) {
            if (!control->isVisible() || !IsOperable(control)) {
                continue;
            }
            EXPECT_TRUE(control->focusPolicy() & Qt::TabFocus)
                << page->objectName().toStdString() << ": " << Describe(control);
            EXPECT_TRUE(chain.contains(control))
                << page->objectName().toStdString() << ": " << Describe(control);
        }
    }
    s.hide();
}

TEST(PageLayout, GatingBoxWorksFromTheKeyboard) {
    SheetHarness h;
    CSerialSheet& s = h.Sheet();
    s.show();
    h.Activate(s.ModePage());
    s.activateWindow();
    QCheckBox* box = s.ModePage()->m_checkConfirm;
    box->setFocus(Qt::TabFocusReason);
    h.Recorder().Clear();
    QTest::keyClick(box, Qt::Key_Space);
    h.Deliver();
    EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(h.Recorder().Buttons(), std::vector<int>{PSWIZB_NEXT});
    s.hide();
}

} // namespace
} // namespace norva::test
