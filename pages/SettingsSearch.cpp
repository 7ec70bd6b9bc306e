#include "pages/SettingsSearch.h"

#include "pages/ThreadHandoff.h"

#include <QCoreApplication>
#include <QEvent>

namespace norva {

void CSettingsSearch::Queue(std::function<void()> call) {
    PostUiCall(this, std::move(call));
}

bool CSettingsSearch::event(QEvent* event) {
    return RunUiCall(event) || QObject::event(event);
}

QString SettingText(const LineSettings& s) {
    return QStringLiteral("%1, %2, %3")
        .arg(s.BaudRate)
        .arg(s.Parity == kEvenParity ? QStringLiteral("Even") : QStringLiteral("None"))
        .arg(s.StopBits == kTwoStopBits ? 2 : 1);
}

CSettingsSearch::CSettingsSearch(QObject* parent) : QObject(parent) {}

CSettingsSearch::~CSettingsSearch() {
    Stop();
}

bool CSettingsSearch::Start(const std::string& path) {
    if (Running()) {
        return false;
    }
    // A finished search's thread has nothing left to do but end.
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_stop.Reset();
    m_finished = false;
    const int generation = ++m_generation;
    m_thread = std::thread([this, path, generation] {
        const DetectResult result = DetectSettings(
            path, &m_stop, [this, generation](int index, int count, const LineSettings& s) {
                const QString text = SettingText(s);
                Queue([this, generation, index, count, text] {
                    if (generation == m_generation) {
                        emit Progress(index, count, text);
                    }
                });
            });
        Queue([this, generation, result] { Deliver(generation, result); });
    });
    return true;
}

void CSettingsSearch::Deliver(int generation, const DetectResult& result) {
    if (generation != m_generation) {
        return;
    }
    m_finished = true;
    if (m_thread.joinable()) {
        m_thread.join();
    }
    emit Finished(result);
}

void CSettingsSearch::Stop() {
    ++m_generation;
    m_finished = true;
    m_stop.Set();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

} // namespace norva
