#include "pages/SettingsSearch.h"

#include "pages/ThreadHandoff.h"

#include <QEvent>

namespace norva {

bool CSettingsSearch::event(QEvent* event) {
    return RunUiCall(event) || QObject::event(event);
}

QString SettingText(const LineSettings& s) {
    return QString::fromStdString(DetectSettingText(s));
}

CSettingsSearch::CSettingsSearch(QObject* parent)
    : QObject(parent),
      m_job([this](std::function<void()> call) { PostUiCall(this, std::move(call)); }) {}

CSettingsSearch::~CSettingsSearch() {
    m_job.Stop();
}

bool CSettingsSearch::Start(const std::string& path) {
    return m_job.Start(
        path,
        [this](int index, int count, const std::string& setting) {
            emit Progress(index, count, QString::fromStdString(setting));
        },
        [this](const DetectResult& result) { emit Finished(result); });
}

} // namespace norva
