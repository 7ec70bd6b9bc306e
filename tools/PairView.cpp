#include "tools/PairView.h"

#include "tools/ToolHost.h"

namespace norva::tools {

void ProgressOutput::Line(const std::string& prefix, const std::string& text) {
    std::lock_guard<std::mutex> lock(m_lock);
    std::fprintf(m_out, "norvactl: %s%s\n", prefix.c_str(), text.c_str());
    std::fflush(m_out);
}

bool PairView::Say(const std::string& text) {
    m_lastMessage = OneLine(text);
    Print(m_lastMessage);
    return true;
}

bool PairView::Inform(const std::string& text) {
    Print(OneLine(text));
    return true;
}

void PairView::Note(const std::string& text) {
    m_note = OneLine(text);
}

void PairView::ReportOpenFailure(const std::string& reason) {
    m_handedBack = true;
    m_lastMessage = "Serial port open failed." + (reason.empty() ? "" : " " + reason);
    Print(m_lastMessage);
}

void PairView::SetButtons(int /*flags*/) {
    m_handedBack = true;
}

void PairView::OfferLineSettings(int unit) {
    Print("check unit " + std::to_string(unit) + "'s port and --unit" + std::to_string(unit) +
          "-line");
}

flow::UartChoice PairView::UartOf(int step) const {
    return m_setup.uart[step == flow::STEP_MODE1 ? 0 : 1];
}

void PairView::ClearFailure() {
    m_handedBack = false;
    m_lastMessage.clear();
}

} // namespace norva::tools
