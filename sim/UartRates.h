// The UART rates a unit can store, and the terminal speed code of every rate a pty of the
// simulator may be set to.
#pragma once

#include "module/Catalogue.h"

#include <algorithm>
#include <iterator>
#include <termios.h>

namespace norva::sim {

// Rates beyond the catalogue's that a later module may store (--later-rates); 14400 is left out,
// as a pty has no speed code for it.
inline constexpr int kLaterModuleRates[] = {460800, 921600};

struct UartRate {
    int baud;
    speed_t code;
};

inline constexpr UartRate kUartRates[] = {
    {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},
    {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
    {230400, B230400}, {460800, B460800}, {921600, B921600},
};

// What the modules this program talks to store, and, with `later`, what a later one may.
inline bool IsStorableRate(int baud, bool later) {
    if (catalogue::IsModuleBaud(baud)) {
        return true;
    }
    return later && std::find(std::begin(kLaterModuleRates), std::end(kLaterModuleRates), baud) !=
                        std::end(kLaterModuleRates);
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
