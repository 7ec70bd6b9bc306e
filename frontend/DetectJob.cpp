#include "frontend/DetectJob.h"

#include "res/strings/StringTable.h"

namespace norva {

std::string DetectSettingText(const LineSettings& s) {
    return std::to_string(s.BaudRate) + ", " + (s.Parity == kEvenParity ? "Even" : "None") + ", " +
           (s.StopBits == kTwoStopBits ? "2" : "1");
}

std::string DetectOutcomeText(const DetectResult& r, const std::string& port) {
    switch (r.outcome) {
    case DetectResult::Outcome::Found:
        return FormatString(IDS_DETECT_FOUND, {DetectSettingText(r.setting)});
    case DetectResult::Outcome::NoAnswer:
        return FormatString(IDS_DETECT_NONE, {port});
    case DetectResult::Outcome::Cancelled:
        return LoadString(IDS_DETECT_STOPPED);
    default:
        return FormatString(IDS_DETECT_FAILED, {r.reason});
    }
}

bool DetectJob::Start(const std::string& path, Progress progress, Done done) {
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
    m_thread = std::thread(
        [this, path, generation, progress = std::move(progress), done = std::move(done)] {
            const DetectResult result = DetectSettings(
                path, &m_stop,
                [this, generation, &progress](int index, int count, const LineSettings& s) {
                    m_post([this, generation, index, count, text = DetectSettingText(s), progress] {
                        if (generation == m_generation && progress) {
                            progress(index, count, text);
                        }
                    });
                });
            m_post([this, generation, result, done] {
                if (generation != m_generation) {
                    return;
                }
                m_finished = true;
                if (m_thread.joinable()) {
                    m_thread.join();
                }
                if (done) {
                    done(result);
                }
            });
        });
    return true;
}

void DetectJob::Stop() {
    ++m_generation;
    m_finished = true;
    m_stop.Set();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

} // namespace norva
