#pragma once
// The serial setting value tables and the two list helpers shared by the
// setting dialog and the UART pages.

#include "module/Catalogue.h"

#include <iterator>

class QComboBox;
class QString;

namespace norva {

inline constexpr const char* kBaudTexts[] = {"1200",  "2400",  "4800",   "9600",  "19200",
                                             "38400", "57600", "115200", "230400"};
inline constexpr const int* kBaudValues = catalogue::kModuleBauds;
inline constexpr const char* kParityTexts[] = {"None", "Even", "Odd"};
inline constexpr int kParityValues[] = {0, 2, 1};
inline constexpr const char* kStopBitTexts[] = {"1", "2"};
inline constexpr int kStopBitValues[] = {0, 2};
inline constexpr int kBaudCount = catalogue::kModuleBaudCount;

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
inline constexpr int kParityCount = 3;
inline constexpr int kStopBitCount = 2;

// Adds `text` and returns where it landed: at the end, or in sorted place when
// the box's insert policy is alphabetical (the port box).
int AddComboItem(QComboBox* box, const QString& text);

// Appends each text in table order, gives the item where it landed (a sorted
// box may place it anywhere) the entry's value as item data, and selects it
// when the value equals `current`. The count is taken as unsigned 16-bit.
void FillValueCombo(QComboBox* box, const char* const texts[], const int values[], int count,
                    int current);
// The value of the first table entry whose text equals the selected item's
// text exactly; 0 when nothing is selected or no text is equal.
int GetComboValue(const QComboBox* box, const char* const texts[], const int values[], int count);

} // namespace norva
