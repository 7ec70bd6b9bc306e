#include "frontend/SessionLog.h"

#include "module/ModuleControl.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace norva {

void SessionLog::Attach(CModuleControl& module) {
    // Before the first open, so that the open is in the log.
    module.SetTranscript(&m_buffer);
}

bool SessionLog::SaveTo(const std::string& path, std::string* reason) const {
    const std::string text = m_buffer.Text() + (m_trailer ? m_trailer() : std::string());
    const std::filesystem::path target = std::filesystem::u8path(path);
    std::filesystem::path temporary = target;
    temporary += ".part";
    auto fail = [reason](const std::string& why) {
        if (reason != nullptr) {
            *reason = why;
        }
        return false;
    };
    std::FILE* file = nullptr;
#ifdef _WIN32
    file = _wfopen(temporary.c_str(), L"wb");
#else
    file = std::fopen(temporary.c_str(), "wb");
#endif
    if (file == nullptr) {
        return fail(std::generic_category().message(errno));
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const int writeError = errno;
    if (std::fclose(file) != 0 || !written) {
        const int error = written ? errno : writeError;
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return fail(std::generic_category().message(error));
    }
    std::error_code error;
    std::filesystem::rename(temporary, target, error);
    if (error) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return fail(error.message());
    }
    return true;
}

std::string SessionLog::SuggestedName() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char name[64];
    std::strftime(name, sizeof name, "norvawizard-%Y%m%d-%H%M%S.log", &local);
    return name;
}

} // namespace norva
