#pragma once
// The pairing flow shown with the Windows sheet's pages, boxes and dialogs.

#include "frontend/WizardView.h"

namespace norva::win {

class CWinSheet;

class CWinView : public CWizardView {
public:
    explicit CWinView(CWinSheet& sheet);

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
    CWinSheet& m_sheet;
};

} // namespace norva::win
