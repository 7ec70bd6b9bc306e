#include "tools/PairView.h"

#include "tools/ToolHost.h"

namespace norva::tools {

void ProgressOutput::Line(const std::string& prefix, const std::string& text) {
    std::lock_guard<std::mutex> lock(m_lock);
    std::fprintf(m_out, "norvactl: %s%s\n", prefix.c_str(), text.c_str());
    std::fflush(m_out);
}

namespace {

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
}

} // namespace

std::string PairView::ForTerminal(const std::string& text) const {
    std::string out = OneLine(text);
    if (m_asksEnter) {
        ReplaceAll(out, "press Next", "press Enter");
    } else {
        // Nobody presses anything: --retries tries again, or the user runs
        // the command again; a cable move is waited for on the port.
        ReplaceAll(out, ", then press Next to try again.", ", then run the pairing again.");
        ReplaceAll(out, ", then press Next.", ".");
    }
    return out;
}

bool PairView::Say(const std::string& text) {
    m_lastMessage = ForTerminal(text);
    m_said = false;
    // A person at the terminal reads it before the next prompt.
    if (m_asksEnter) {
        PrintUnsaid();
    }
    return true;
}

bool PairView::Inform(const std::string& text) {
    Print(ForTerminal(text));
    return true;
}

void PairView::Note(const std::string& text) {
    m_note = ForTerminal(text);
}

void PairView::ReportOpenFailure(const std::string& reason) {
    m_handedBack = true;
    m_lastMessage = "Serial port open failed." + (reason.empty() ? "" : " " + reason);
    m_said = false;
    if (m_asksEnter) {
        PrintUnsaid();
    }
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

void PairView::PrintUnsaid(const std::string& final) {
    if (!m_said && !m_lastMessage.empty() && m_lastMessage != final) {
        Print(m_lastMessage);
    }
    m_said = true;
}

void PairView::ClearFailure() {
    PrintUnsaid();
    m_handedBack = false;
    m_lastMessage.clear();
}

} // namespace norva::tools
