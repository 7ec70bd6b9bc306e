#pragma once
// What the command-line tools need of the console they run in.

#include "platform/Event.h"

namespace norva {

// Windows: the console shows UTF-8 output as such. Linux: nothing to do.
void PrepareConsole();

// True when standard error goes to a terminal (progress lines go there).
bool StderrIsTerminal();

// Blocks until a byte arrives on standard input or `stop` is set. Returns 1
// with the byte in `*c`, 0 when `stop` was set, -1 at the end of the input or
// on an error.
int ReadStdinByte(const Event* stop, char* c);

} // namespace norva
