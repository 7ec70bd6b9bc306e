#pragma once
// The two list helpers shared by the setting dialog and the UART pages, over
// the value tables of frontend/UartTables.h.

#include "frontend/UartTables.h"

class QComboBox;
class QString;

namespace norva {

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
