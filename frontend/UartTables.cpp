#include "frontend/UartTables.h"

namespace norva {

int ValueOfText(const char* const texts[], const int values[], int count, std::string_view text) {
    for (int i = 0; i < count; ++i) {
        if (text == texts[i]) {
            return values[i];
        }
    }
    return 0;
}

int IndexOfValue(const int values[], int count, int value) {
    for (int i = 0; i < count; ++i) {
        if (values[i] == value) {
            return i;
        }
    }
    return -1;
}

} // namespace norva
