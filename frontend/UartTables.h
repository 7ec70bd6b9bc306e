#pragma once
// The serial setting value tables, in the order the lists show them, shared by
// the setting dialog and the UART pages of both front ends.

#include "module/Catalogue.h"

#include <iterator>
#include <string_view>

namespace norva {

inline constexpr const char* kBaudTexts[] = {"1200",  "2400",  "4800",   "9600",  "19200",
                                             "38400", "57600", "115200", "230400"};
inline constexpr const int* kBaudValues = catalogue::kModuleBauds;
inline constexpr const char* kParityTexts[] = {"None", "Even", "Odd"};
inline constexpr int kParityValues[] = {0, 2, 1};
inline constexpr const char* kStopBitTexts[] = {"1", "2"};
inline constexpr int kStopBitValues[] = {0, 2};
inline constexpr int kBaudCount = catalogue::kModuleBaudCount;
inline constexpr int kParityCount = 3;
inline constexpr int kStopBitCount = 2;

// The box shows each rate the module stores, as its digits.
constexpr bool TextIsNumber(const char* text, int value) {
    int read = 0;
    for (; *text != '\0'; ++text) {
        read = read * 10 + (*text - '0');
    }
    return read == value;
}
constexpr bool BaudTextsMatch() {
    if (static_cast<int>(std::size(kBaudTexts)) != kBaudCount) {
        return false;
    }
    for (int i = 0; i < kBaudCount; ++i) {
        if (!TextIsNumber(kBaudTexts[i], kBaudValues[i])) {
            return false;
        }
    }
    return true;
}
static_assert(BaudTextsMatch(), "the baud box's texts differ from the rates the module stores");

// The value of the first entry whose text equals `text` exactly (case and
// all); 0 when none does, as for a list without a selection.
int ValueOfText(const char* const texts[], const int values[], int count, std::string_view text);
// The index of the entry holding `value`; -1 when none does.
int IndexOfValue(const int values[], int count, int value);

} // namespace norva
