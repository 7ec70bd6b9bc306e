#pragma once
// The value tables in Win32 combo boxes: filled in table order with each
// entry's value as item data, read back by the selected text.

#include "winwizard/Win32.h"

namespace norva::win {

// Appends each text (a sorted box places it in order), gives the item the
// entry's value and selects it when the value equals `current`; nothing is
// selected when no value does.
void FillValueList(HWND box, const char* const texts[], const int values[], int count, int current);
// The value of the entry whose text equals the selected item's text; 0 when
// nothing is selected or no text is equal.
int ListValue(HWND box, const char* const texts[], const int values[], int count);
// Selects the item holding `value`; false when none does.
bool SelectValue(HWND box, int value);

} // namespace norva::win
