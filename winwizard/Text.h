#pragma once
// UTF-8, as the rest of the program keeps its texts, to and from the UTF-16
// of the Windows API; and the few text calls the windows make.

#include "winwizard/Win32.h"

#include <string>

namespace norva::win {

std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

std::string WindowText(HWND window);
void SetWindowTextUtf8(HWND window, const std::string& text);
std::string ItemText(HWND dialog, int id);
void SetItemText(HWND dialog, int id, const std::string& text);

} // namespace norva::win
