#pragma once
// The Windows headers as the wizard uses them. Their LoadString macro would
// turn the string table's LoadString into the system's.

#include <windows.h>

#include <commctrl.h>

#undef LoadString
