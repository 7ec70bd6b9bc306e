#pragma once
// The pairing flow shown with the sheet's pages, message boxes and dialogs.

#include "frontend/WizardView.h"

namespace norva {

class CSerialSheet;

class CSheetView : public CWizardView {
public:
    explicit CSheetView(CSerialSheet& sheet);

    int ActiveStep() const override;
    void ShowStep(int step) override;
    bool Say(const std::string& text) override;
    bool Inform(const std::string& text) override;
    void Note(const std::string& text) override;
    void ReportOpenFailure(const std::string& reason) override;
    void SetButtons(int flags) override;
    void BeginSearchDisplay() override;
    void EndSearchDisplay() override;
    bool Searching() const override;
    void EnableSearchButton(bool enable) override;
    void EnableConnectButtons() override;
    void EndConnecting(int code) override;
    void ShowConnected() override;

private:
    CSerialSheet& m_sheet;
};

} // namespace norva
