#include "res/strings/StringTable.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <iterator>

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
    {IDS_DEVICE_GONE,
     "The connection to Norva-BX was lost: %s.\r\nCheck the cable, then try again.",
     "Norva-BX와의 연결이 끊어졌습니다: %s.\r\n케이블을 확인한 후 다시 시도해 주십시오."},
    {IDS_UNIT1_AGAIN,
     "This is Norva-BX01 (%s) again. Attach Norva-BX02 to the cable, then press Next.",
     "이 장치는 다시 Norva-BX01(%s)입니다. Norva-BX02를 케이블에 연결한 후 다음을 눌러 주십시오."},
    {IDS_NOT_UNIT1,
     "The module on the cable (%s) is not Norva-BX01 (%s). Attach Norva-BX01, then press Next.",
     "케이블에 연결된 모듈(%s)은 Norva-BX01(%s)이 아닙니다. Norva-BX01을 연결한 후 다음을 눌러 "
     "주십시오."},
    {IDS_CONNECT_SELF, "%s is Norva-BX02 itself. Select Norva-BX01's address in the list.",
     "%s은(는) Norva-BX02 자신의 주소입니다. 목록에서 Norva-BX01의 주소를 선택해 주십시오."},
    {IDS_ODD_PARITY, "Norva-BX cannot store Odd parity. Choose None or Even.",
     "Norva-BX는 Odd 패리티를 저장할 수 없습니다. None 또는 Even을 선택해 주십시오."},
    {IDS_NO_PORTS,
     "No serial port was found. Plug the USB-serial cable in: USB adapters appear as COM33 and "
     "up (COM65 and up for USB modems), and 'dmesg' names the device the system gave it.",
     "시리얼 포트를 찾지 못했습니다. USB-시리얼 케이블을 연결해 주십시오: USB 어댑터는 COM33 "
     "이상(USB 모뎀은 COM65 이상)으로 나타나며, 'dmesg'가 시스템이 붙인 장치 이름을 알려 줍니다."},
    {IDS_NO_PORTS_SYSTEM,
     "No serial port was found. Plug the USB-serial cable in; Device Manager lists it under "
     "Ports (COM & LPT) with its COM number.",
     "시리얼 포트를 찾지 못했습니다. USB-시리얼 케이블을 연결해 주십시오. 장치 관리자의 포트(COM & "
     "LPT) 아래에 COM 번호와 함께 나타납니다."},
    {IDS_COM_OVERRIDE_MISSING, "NORVAWIZARD_COM%s names %s, which does not exist.",
     "NORVAWIZARD_COM%s가 가리키는 %s이(가) 없습니다."},
    {IDS_COM_OVERRIDE_NOT_SERIAL, "NORVAWIZARD_COM%s names %s, which is not a serial device.",
     "NORVAWIZARD_COM%s가 가리키는 %s은(는) 시리얼 장치가 아닙니다."},
    {IDS_PORT_REQUIRED, "Choose the serial port Norva-BX is attached to, then press OK.",
     "Norva-BX가 연결된 시리얼 포트를 선택한 후 OK를 눌러 주십시오."},
    {IDS_PORT_PLUGGED_LAST, "plugged in last", "마지막으로 연결됨"},
    {IDS_DEMO_SIMULATED, " (demo: simulated modules, the simulator moves the cable)",
     " (데모: 모의 모듈, 케이블은 시뮬레이터가 옮김)"},
    {IDS_QUIT_HALF_PAIRED,
     "Norva-BX02 is already set up for auto-connection, Norva-BX01 is not: the pair will not "
     "connect until step 8 is done. Quit anyway?",
     "Norva-BX02는 자동 연결 설정이 끝났지만 Norva-BX01은 아직입니다: 8단계를 마칠 때까지 두 "
     "장치는 연결되지 않습니다. 그래도 끝내시겠습니까?"},
    {IDS_PICK_UNIT1,
     "Select Norva-BX01 in the list, then press Connect. The BD address box must hold its 12 "
     "hexadecimal digits.",
     "목록에서 Norva-BX01을 선택한 후 Connect를 눌러 주십시오. BD 주소 칸에는 16진수 12자리가 "
     "있어야 합니다."},
    {IDS_FLOW_NOT_STORED,
     "This Norva-BX firmware cannot turn hardware flow control off: it keeps RTS/CTS. The other "
     "settings were stored. Choose again, or untick \"Don't use Hardware Flow control\" to go on.",
     "이 Norva-BX 펌웨어는 하드웨어 흐름 제어를 끌 수 없어 RTS/CTS를 계속 사용합니다. 다른 설정은 "
     "저장되었습니다. 다시 선택하거나 \"Don't use Hardware Flow control\"의 선택을 해제하고 "
     "진행해 주십시오."},
    {IDS_APPLY_NOT_CONFIRMED,
     "Norva-BX did not confirm the settings. Check the module, then press Next to try again.",
     "Norva-BX가 설정을 확인하지 않았습니다. 모듈을 확인한 후 다음을 눌러 다시 시도해 주십시오."},
    {IDS_DETECT_BUTTON, "Detect", "자동 찾기"},
    {IDS_DETECT_STOP, "Stop", "중지"},
    {IDS_DETECT_PROGRESS, "Detecting... %s (%s/%s)", "찾는 중... %s (%s/%s)"},
    {IDS_DETECT_FOUND, "Norva-BX answered at %s. Press OK to use this setting.",
     "Norva-BX가 %s에서 응답했습니다. 이 설정을 사용하려면 OK를 눌러 주십시오."},
    {IDS_DETECT_NONE,
     "No setting answered on %s. Check Norva-BX's power and cable, then press Detect again.",
     "%s에서 응답한 설정이 없습니다. Norva-BX의 전원과 케이블을 확인한 후 다시 자동 찾기를 눌러 "
     "주십시오."},
    {IDS_DETECT_FAILED, "Detection could not use the port: %s. Press Detect to try again.",
     "포트를 사용할 수 없어 찾지 못했습니다: %s. 다시 시도하려면 자동 찾기를 눌러 주십시오."},
    {IDS_DETECT_IN_USE,
     "%s is in use by the wizard's running task. Wait until it ends, then press Detect again.",
     "%s는 마법사의 작업이 사용 중입니다. 작업이 끝난 후 다시 자동 찾기를 눌러 주십시오."},
    {IDS_DETECT_STOPPED, "Detection stopped. Press Detect to start again.",
     "찾기를 중지했습니다. 다시 시작하려면 자동 찾기를 눌러 주십시오."},
    {IDS_DETECT_NO_PORT, "Choose a serial port first, then press Detect.",
     "먼저 시리얼 포트를 선택한 후 자동 찾기를 눌러 주십시오."},
    {IDS_APPLY_CONFIRMATION,
     "%s stored the settings. Confirmed by its status now: %s. Confirmed at the next restart "
     "(Verify): %s.",
     "%s에 설정을 저장했습니다. 지금 상태로 확인됨: %s. 다음 재시작 때 확인됨(연결 확인): %s."},
    {IDS_APPLY_STATUS_UNREAD,
     "nothing (no status could be read; the unit may use the new UART setting already)",
     "없음(상태를 읽을 수 없음. 장치가 이미 새 UART 설정을 사용 중일 수 있음)"},
    {IDS_APPLY_NOTHING_SHOWN, "nothing (this unit shows new settings after a restart)",
     "없음(이 장치는 재시작 후에 새 설정을 표시함)"},
    {IDS_HANGUP_FAILED,
     "Norva-BX stays connected and does not hang up. Switch the other unit off, then press Next "
     "to try again.",
     "Norva-BX가 연결을 끊지 않습니다. 다른 장치의 전원을 끈 후 다음을 눌러 다시 시도해 "
     "주십시오."},
    {IDS_SAVE_LOG, "Save log...", "로그 저장..."},
    {IDS_SAVE_LOG_TITLE, "Save the session log", "세션 로그 저장"},
    {IDS_SAVE_LOG_FAILED, "The log could not be written to %s: %s.",
     "로그를 %s에 쓸 수 없습니다: %s."},
    {IDS_LOG_SAVED, "The log was saved to %s.", "로그를 %s에 저장했습니다."},
    {IDS_VERIFY_PAIR_OK, "Verified: the pair connects after a restart.",
     "확인됨: 재시작 후 두 장치가 연결됩니다."},
    {IDS_VERIFY_PAIR_NOT, "Not verified: the pair did not prove that it connects.",
     "확인 안 됨: 두 장치의 연결을 확인하지 못했습니다."},
    {IDS_VERIFY_UNIT_OK, "%s (%s): verified, linked with %s.", "%s (%s): 확인됨, %s와 연결됨."},
    {IDS_VERIFY_OPEN_FAILED, "%s (%s): not verified: the port could not be opened (%s).",
     "%s (%s): 확인 안 됨: 포트를 열 수 없습니다 (%s)."},
    {IDS_VERIFY_NO_ANSWER,
     "%s (%s): not verified: no answer at the UART setting just stored. Check the module's power "
     "and the setting chosen for it.",
     "%s (%s): 확인 안 됨: 방금 저장한 UART 설정으로 응답이 없습니다. 모듈의 전원과 선택한 설정을 "
     "확인해 주십시오."},
    {IDS_VERIFY_LINK_NOT_UP,
     "%s (%s): not verified: the link did not come up within %s s (the unit reports mode %s). "
     "Check "
     "that the other unit is switched on and near, then verify again.",
     "%s (%s): 확인 안 됨: %s초 안에 연결되지 않았습니다 (장치의 모드: %s). 다른 장치의 전원과 "
     "거리를 확인한 후 다시 확인해 주십시오."},
    {IDS_VERIFY_WRONG_PARTNER, "%s (%s): not verified: linked with %s, not with its partner %s.",
     "%s (%s): 확인 안 됨: %s와 연결되었습니다 (상대 장치는 %s)."},
    {IDS_VERIFY_PARTNER_UNNAMED,
     "%s (%s): not verified: the unit reported a link without naming its partner, and data sent "
     "through it did not reach the partner.",
     "%s (%s): 확인 안 됨: 연결은 보고되었지만 상대 주소가 없고, 보낸 데이터가 상대 장치에 "
     "도착하지 않았습니다."},
    {IDS_VERIFY_DEVICE_GONE,
     "%s (%s): not verified: the connection was lost (%s). Check the cable.",
     "%s (%s): 확인 안 됨: 연결이 끊어졌습니다 (%s). 케이블을 확인해 주십시오."},
    {IDS_VERIFY_CANCELLED, "%s (%s): not verified: cancelled.", "%s (%s): 확인 안 됨: 취소됨."},
    {IDS_VERIFY_BUTTON, "&Verify", "연결 확인(&V)"},
    {IDS_VERIFY_PROGRESS, "Restarting the units and waiting for their link...",
     "장치를 재시작하고 연결을 기다리는 중..."},
    {IDS_VERIFY_UNIT_LINKED, "%s (%s): verified, linked (the unit does not name its partner).",
     "%s (%s): 확인됨, 연결됨(장치가 상대 주소를 알려 주지 않음)."},
    {IDS_VERIFY_POWER_CYCLE,
     "Norva-BX01 has restarted. Now switch Norva-BX02 off and on, and keep it near Norva-BX01: "
     "it starts its link when it starts up. Waiting for the link...",
     "Norva-BX01이 재시작되었습니다. 이제 Norva-BX02의 전원을 껐다가 다시 켜고 Norva-BX01 가까이에 "
     "두십시오. 켜질 때 연결을 시작합니다. 연결을 기다리는 중..."},
    {IDS_VERIFY_NOT_STORED,
     "%s (%s): not verified: after a restart its status shows %s, not %s as stored. Store the "
     "settings again.",
     "%s (%s): 확인 안 됨: 재시작 후 상태는 %s이며 저장한 %s이(가) 아닙니다. 설정을 다시 저장해 "
     "주십시오."},
    {IDS_PRINT_LABEL, "Print label\u2026", "라벨 인쇄\u2026"},
    {IDS_PRINT_LABEL_FAILED, "The label could not be made: %s.", "라벨을 만들 수 없습니다: %s."},
    {IDS_PAIR_REFUSED,
     "%s (%s) is in %s. Nothing was stored. Attach another unit, or start the wizard with "
     "--repair to pair it anew.",
     "%s (%s)은(는) 이미 다른 쌍에 있습니다: %s. 아무것도 저장되지 않았습니다. 다른 장치를 "
     "연결하거나 --repair로 마법사를 시작해 다시 연결하십시오."},
};

// Two texts under one id would show the first for both.
constexpr bool IdsAreUnique() {
    for (size_t i = 0; i < std::size(kTable); ++i) {
        for (size_t j = i + 1; j < std::size(kTable); ++j) {
            if (kTable[i].id == kTable[j].id) {
                return false;
            }
        }
    }
    return true;
}
static_assert(IdsAreUnique(), "two texts share one string id");

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

std::string FormatString(int id, std::initializer_list<std::string> args) {
    return FormatString(id, GetUiLanguage(), args);
}

std::string FormatString(int id, UiLanguage lang, std::initializer_list<std::string> args) {
    const std::string format = LoadString(id, lang);
    std::string out;
    auto next = args.begin();
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's') {
            if (next != args.end()) {
                out += *next++;
            }
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

std::string ApplyFailureText(int curOp) {
    // One language per run: the English text is put together from English
    // fragments the same way as the Korean one.
    const bool korean = GetUiLanguage() == UiLanguage::Korean;
    std::string text =
        korean ? "다음 설정 과정에서 실패하였습니다: " : "Failed in the following setting step: ";
    switch (curOp) {
    case 17:
        text += korean ? ": 동작 모드 설정" : ": Operation mode setting";
        break;
    case 18:
        text += korean ? ": 시리얼 통신 설정" : ": Serial communication setting";
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
