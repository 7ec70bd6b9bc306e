#include "res/strings/StringTable.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace norva {
namespace {

struct Entry {
    int id;
    const char* english;
    const char* korean;
};

constexpr Entry kTable[] = {
    {IDS_RESPONSE_DISABLED,
     "Response message disabled. For configuration purpose, this option will be enabled.",
     "응답 메시지가 꺼져 있습니다. 설정을 위해 이 옵션을 켭니다."},
    {IDS_COMM_FAILED,
     "Communication with Norva-BX was failed. Please check Norva-BX's power or Wizard setting.",
     "Norva-BX와의 통신이 실패했습니다. Norva-BX의 전원과 Wizard 셋팅을 확인해 주십시오."},
    {IDS_CONNECT_TIMEOUT, "Connect attempt timeout.", "연결 시도 시간 초과."},
    {IDS_CONNECT_FAILED, "Connect failed.", "연결 실패."},
    {IDS_DISCONNECTED, "Disconnected.", "연결 해제."},
    {IDS_SCAN_ERROR, "Scan command error.\r\n", "검색 명령 실패.\r\n"},
    {IDS_RESET_FAILED, "Reset failed.", "재부팅 실패."},
    {IDS_SETTING_FINISHED, "Device setting finished.\r\nNow rebooting.",
     "장치 설정 관료.\r\n이제 재부팅 합니다."},
    {IDS_PORT_OPEN_FAILED, "Serial port open failed.", "시리얼 포트 열기 실패."},
};

// -1 until set: then the environment decides at first use.
std::atomic<int> g_language{-1};

} // namespace

UiLanguage LanguageFromEnvironment() {
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(var);
        if (value != nullptr && *value != '\0') {
            return std::strncmp(value, "ko", 2) == 0 ? UiLanguage::Korean : UiLanguage::English;
        }
    }
    return UiLanguage::English;
}

void SetUiLanguage(UiLanguage lang) {
    g_language.store(static_cast<int>(lang));
}

UiLanguage GetUiLanguage() {
    int lang = g_language.load();
    if (lang < 0) {
        return LanguageFromEnvironment();
    }
    return static_cast<UiLanguage>(lang);
}

std::string LoadString(int id, UiLanguage lang) {
    for (const Entry& e : kTable) {
        if (e.id == id) {
            return lang == UiLanguage::Korean ? e.korean : e.english;
        }
    }
    return {};
}

std::string LoadString(int id) {
    return LoadString(id, GetUiLanguage());
}

std::string ApplyFailureText(int curOp) {
    std::string text = "다음 설정 과정에서 실패하였습니다: ";
    switch (curOp) {
    case 17:
        text += ": 동작 모드 설정";
        break;
    case 18:
        text += ": 시리얼 통신 설정";
        break;
    case 19:
        text += "Response message setting";
        break;
    default:
        break;
    }
    return text;
}

} // namespace norva
