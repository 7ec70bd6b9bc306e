#pragma once
// The real sheet with its real pages, and a recorder of what the pages tell
// it. WM_PAGE_NEXT is recorded and kept from the sheet, so no port is opened;
// the wizard buttons reach the sheet as usual.

#include "pages/SheetMessages.h"
#include "wizard/SerialSheet.h"

#include <QObject>
#include <QString>
#include <memory>
#include <ostream>
#include <vector>

// Readable QStrings in test failures.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace norva::test {

struct RecordedMessage {
    int message;
    qintptr wParam;
    qintptr lParam;
    bool operator==(const RecordedMessage&) const = default;
};

class MessageRecorder : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override;
    std::vector<RecordedMessage> messages;
    // Only the PSM_SETWIZBUTTONS flags, in order.
    std::vector<int> Buttons() const;
    std::vector<RecordedMessage> PageNexts() const;
    void Clear() { messages.clear(); }
};

class SheetHarness {
public:
    // `beforeInit` may change the setting dialogs before the pages initialise.
    template <typename F> explicit SheetHarness(F beforeInit) { Build(beforeInit); }
    SheetHarness() {
        Build([](CSerialSheet&) {});
    }
    ~SheetHarness();

    CSerialSheet& Sheet() { return *m_sheet; }
    MessageRecorder& Recorder() { return m_recorder; }
    // Delivers what the pages posted.
    void Deliver();
    // Activates `page` through the sheet, then delivers; the recorder is cleared first.
    void Activate(CPropertyPage* page);

private:
    template <typename F> void Build(F beforeInit) {
        m_sheet = std::make_unique<CSerialSheet>(QStringLiteral("Configuration"));
        m_sheet->SetWizardMode();
        m_sheet->installEventFilter(&m_recorder);
        beforeInit(*m_sheet);
        m_sheet->OnInitDialog();
        Deliver();
    }

    MessageRecorder m_recorder;
    std::unique_ptr<CSerialSheet> m_sheet;
};

// The property-page hooks are public on the base; reach them through it.
inline CPropertyPage* AsPage(CPropertyPage* page) {
    return page;
}
inline qintptr Address(const CPropertyPage* page) {
    return reinterpret_cast<qintptr>(page);
}

} // namespace norva::test
