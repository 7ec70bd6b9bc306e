#include "PageHarness.h"

#include <QCoreApplication>

namespace norva::test {

bool MessageRecorder::eventFilter(QObject* watched, QEvent* event) {
    const int type = static_cast<int>(event->type());
    if (type == PSM_SETWIZBUTTONS || type == WM_PAGE_NEXT) {
        const auto* message = static_cast<SheetEvent*>(event);
        messages.push_back({type, message->WParam(), message->LParam()});
        return type == WM_PAGE_NEXT;
    }
    return QObject::eventFilter(watched, event);
}

std::vector<int> MessageRecorder::Buttons() const {
    std::vector<int> flags;
    for (const auto& m : messages) {
        if (m.message == PSM_SETWIZBUTTONS) {
            flags.push_back(static_cast<int>(m.lParam));
        }
    }
    return flags;
}

std::vector<RecordedMessage> MessageRecorder::PageNexts() const {
    std::vector<RecordedMessage> nexts;
    for (const auto& m : messages) {
        if (m.message == WM_PAGE_NEXT) {
            nexts.push_back(m);
        }
    }
    return nexts;
}

SheetHarness::~SheetHarness() {
    if (m_sheet) {
        m_sheet->removeEventFilter(&m_recorder);
        m_sheet->OnDestroy();
    }
}

void SheetHarness::Deliver() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

void SheetHarness::Activate(CPropertyPage* page) {
    m_recorder.Clear();
    m_sheet->SetActivePage(page);
    Deliver();
}

} // namespace norva::test
