#pragma once
// Step 9: auto-connection mode is configured in both units.

#include "pages/PropertyPage.h"

#include <QFont>

class QLabel;
class QPushButton;

namespace norva {

class CModeSuccess : public CPropertyPage {
    Q_OBJECT
public:
    static constexpr int IDD = 138;
    explicit CModeSuccess(QWidget* parent = nullptr);

    bool OnInitDialog() override;
    bool OnSetActive() override;
    // What was stored in the two units, under the page's own text.
    void ShowStored(const QString& summary);

    QFont m_fontBold;
    QLabel* m_textConfigured = nullptr; // 1021, bold
    QLabel* m_textStored = nullptr;
    QPushButton* m_btnSaveLog = nullptr;
    // Restarts the units and proves that they link; the sheet runs the check.
    QPushButton* m_btnVerify = nullptr;
    // Prints the pair's label; the sheet knows what was stored.
    QPushButton* m_btnPrintLabel = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void KeepEveryLineInView();

signals:
    // The user asked to save the session's log.
    void SaveLogRequested();
    // The user asked to prove that the pair links.
    void VerifyRequested();
    // The user asked for the pair's label.
    void PrintLabelRequested();
};

} // namespace norva
