#include "platform/ComMap.h"

// In this order: initguid.h makes devguid.h define the GUIDs it declares.
#include <windows.h>

#include <initguid.h>

#include <devguid.h>
#include <setupapi.h>

#include <cwchar>
#include <string>

namespace norva {
namespace {

std::string Utf8(const wchar_t* text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) {
        return {};
    }
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    out.pop_back();
    return out;
}

// "COM12" -> 12; 0 for anything else.
int ComNumber(const wchar_t* name) {
    if (_wcsnicmp(name, L"COM", 3) != 0) {
        return 0;
    }
    int n = 0;
    for (const wchar_t* p = name + 3; *p != L'\0'; ++p) {
        if (*p < L'0' || *p > L'9' || n > kMaxComPort) {
            return 0;
        }
        n = n * 10 + (*p - L'0');
    }
    return n;
}

std::string DeviceProperty(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD property) {
    wchar_t value[256] = {};
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(set, device, property, &type,
                                           reinterpret_cast<BYTE*>(value), sizeof value - 2,
                                           nullptr) ||
        type != REG_SZ) {
        return {};
    }
    return Utf8(value);
}

} // namespace

std::string NativeComPath(int n) {
    return "COM" + std::to_string(n);
}

// Every serial port driver, USB adapters' included, enters its ports under
// SERIALCOMM while they exist, whether or not a program holds them; nothing
// is opened to find them.
bool ComPresent(int n) {
    if (n < 1 || n > kMaxComPort) {
        return false;
    }
    if (ComOverridden(n)) {
        return true;
    }
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    bool found = false;
    for (DWORD i = 0; !found; ++i) {
        wchar_t name[256];
        wchar_t data[64];
        DWORD nameLength = 256;
        DWORD dataBytes = sizeof data - sizeof(wchar_t);
        DWORD type = 0;
        const LONG r = RegEnumValueW(key, i, name, &nameLength, nullptr, &type,
                                     reinterpret_cast<BYTE*>(data), &dataBytes);
        if (r == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (r != ERROR_SUCCESS || type != REG_SZ) {
            continue;
        }
        data[dataBytes / sizeof(wchar_t)] = L'\0';
        found = ComNumber(data) == n;
    }
    RegCloseKey(key);
    return found;
}

// The Ports class's device whose PortName is COM<n>: its friendly name
// ("USB Serial Port (COM5)") and maker, as Device Manager shows them.
PortDetails ComPortDetails(int n) {
    PortDetails details;
    const HDEVINFO set =
        SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) {
        return details;
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        const HKEY key =
            SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE) {
            continue;
        }
        wchar_t portName[64] = {};
        DWORD bytes = sizeof portName - sizeof(wchar_t);
        DWORD type = 0;
        const bool named =
            RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(portName),
                             &bytes) == ERROR_SUCCESS &&
            type == REG_SZ;
        RegCloseKey(key);
        if (named && ComNumber(portName) == n) {
            details.model = DeviceProperty(set, &device, SPDRP_FRIENDLYNAME);
            details.vendor = DeviceProperty(set, &device, SPDRP_MFG);
            break;
        }
    }
    SetupDiDestroyDeviceInfoList(set);
    return details;
}

} // namespace norva

namespace norva {

long long ComAppearedAt(int /*n*/) {
    return 0;
}

// Windows gives the console no COM number.
std::string ComRefusal(int) {
    return {};
}

bool ComNumbersFromDeviceTable() {
    return false;
}

} // namespace norva
