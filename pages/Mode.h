#pragma once
// Steps 7 and 8: the UART settings each unit is to keep for the user's own
// equipment, and the go-ahead for auto-connection mode. CMode is for
// Norva-BX02, CMode1 for Norva-BX01; the two differ only in their template.

#include "frontend/UnitSetting.h"
#include "pages/PropertyPage.h"

#include <QFont>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace norva {

// What tells the twin pages apart: template, control ids and texts.
struct ModePageTemplate {
    int templateId;
    const char* caption;
    int baudId, parityId, stopBitsId, noFlowId, confirmId;
    const char* groupTitle;
    const char* confirmText;
    int step;
};

class CModePageBase : public CPropertyPage {
    Q_OBJECT
public:
    bool OnInitDialog() override;
    bool OnSetActive() override;
    int OnWizardNext() override;

    QFont m_fontBold;
    // Handed to the sheet with WM_PAGE_NEXT; written only by OnWizardNext.
    int m_nBaudRate = 0;
    int m_nParity = 0;
    int m_nStopBits = 0;
    int m_bFlowControl = 0;
    QComboBox* m_cbStopBits = nullptr;
    QComboBox* m_cbParity = nullptr;
    QComboBox* m_cbBaudRate = nullptr;
    int m_bConfirm = 0;
    int m_bNoFlowControl = 0;

    QCheckBox* m_checkConfirm = nullptr;       // the gating box, labelled by the text to its right
    QCheckBox* m_checkNoFlowControl = nullptr; // "Don't use Hardware Flow control"
    QLabel* m_textHeading = nullptr;           // 1021, bold

protected:
    CModePageBase(const ModePageTemplate& tmpl, QWidget* parent);

    // Where the lists take their first values from.
    virtual UnitSetting InitialSetting() const = 0;
    // The box and its label, built by the page so that the template's order holds.
    QWidget* BuildUartGroup(const ModePageTemplate& tmpl);
    QWidget* BuildConfirmRow(const ModePageTemplate& tmpl);

    // Reads the boxes into m_bConfirm and m_bNoFlowControl.
    void UpdateData();

private:
    void PostButtonsFromConfirm();

    int m_nStep;
};

class CMode : public CModePageBase {
    Q_OBJECT
public:
    static constexpr int IDD = 136;
    explicit CMode(QWidget* parent = nullptr);

protected:
    UnitSetting InitialSetting() const override;
};

class CMode1 : public CModePageBase {
    Q_OBJECT
public:
    static constexpr int IDD = 137;
    explicit CMode1(QWidget* parent = nullptr);

    QPushButton* m_btnSerialSetting = nullptr; // 1015, never shown

protected:
    UnitSetting InitialSetting() const override;
};

} // namespace norva
