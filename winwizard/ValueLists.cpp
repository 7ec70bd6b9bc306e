#include "winwizard/ValueLists.h"

#include "frontend/UartTables.h"
#include "winwizard/Text.h"

#include <cstdint>
#include <string>

namespace norva::win {

void FillValueList(HWND box, const char* const texts[], const int values[], int count,
                   int current) {
    const auto n = static_cast<uint16_t>(count);
    SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    for (uint16_t i = 0; i < n; ++i) {
        const LRESULT pos =
            SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(texts[i]).c_str()));
        if (pos < 0) {
            continue;
        }
        SendMessageW(box, CB_SETITEMDATA, static_cast<WPARAM>(pos), values[i]);
        if (values[i] == current) {
            SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(pos), 0);
        }
    }
}

int ListValue(HWND box, const char* const texts[], const int values[], int count) {
    const LRESULT pos = SendMessageW(box, CB_GETCURSEL, 0, 0);
    if (pos < 0) {
        return 0;
    }
    const LRESULT length = SendMessageW(box, CB_GETLBTEXTLEN, static_cast<WPARAM>(pos), 0);
    std::wstring text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
    SendMessageW(box, CB_GETLBTEXT, static_cast<WPARAM>(pos),
                 reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length > 0 ? length : 0));
    return ValueOfText(texts, values, static_cast<uint16_t>(count), Utf8(text));
}

bool SelectValue(HWND box, int value) {
    const LRESULT count = SendMessageW(box, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        if (SendMessageW(box, CB_GETITEMDATA, static_cast<WPARAM>(i), 0) == value) {
            SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
            return true;
        }
    }
    return false;
}

} // namespace norva::win
