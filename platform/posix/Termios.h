#pragma once
// Linux only: the line settings as termios.

#include "platform/SerialDevice.h"

#include <termios.h>

namespace norva {

// Pure: fills a raw-mode termios from the settings. False for a baud rate,
// parity, stop-bit or byte-size code the device cannot take.
bool BuildTermios(const LineSettings& settings, termios* out);
// termios speed constant for a rate, 0 when unsupported.
speed_t BaudToSpeed(uint32_t baud);
uint32_t SpeedToBaud(speed_t speed);

} // namespace norva
