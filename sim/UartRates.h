// The UART rates a unit can store, with the terminal speed code of each: the one table behind the
// command check, the command line and the ptys' line settings.
#pragma once

#include <termios.h>

namespace norva::sim {

struct UartRate {
    int baud;
    speed_t code;
};

inline constexpr UartRate kUartRates[] = {
    {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},
    {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
    {230400, B230400}, {460800, B460800}, {921600, B921600},
};

inline bool IsUartRate(int baud) {
    for (const UartRate& r : kUartRates) {
        if (r.baud == baud) {
            return true;
        }
    }
    return false;
}

// The speed code of a rate; 9600's for one outside the table.
inline speed_t SpeedCodeOf(int baud) {
    for (const UartRate& r : kUartRates) {
        if (r.baud == baud) {
            return r.code;
        }
    }
    return B9600;
}

// The rate of a speed code; 0 for a code outside the table.
inline int BaudOfSpeedCode(speed_t code) {
    for (const UartRate& r : kUartRates) {
        if (r.code == code) {
            return r.baud;
        }
    }
    return 0;
}

} // namespace norva::sim
