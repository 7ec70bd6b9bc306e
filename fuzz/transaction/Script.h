#pragma once
// One fuzz input decoded: the transactions to run and the module's side of
// the conversation.
//
// Layout: byte 0 picks 1-3 transactions; each takes 4 bytes (operation and
// three argument bytes); the rest is the reply script. In the script 0xFF
// starts a control pair: FF FF a literal 0xFF; FF 00-3F a chunk boundary
// with a gap code; FF 40-7F the end of a segment; FF 80-BF the hang-up
// point; FF C0-FE an abort. Segment n is played when the n-th command line
// has come in; after the last one the module hangs up.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace norva::fuzz {

enum class Op : uint8_t {
    Probe,
    CancelCommand,
    QueryStatus,
    Connect,
    Disconnect,
    Escape,
    Scan,
    Inquiry,
    ReadSRegister,
    WriteSRegister,
    SetOpMode,
    SetUartConfig,
    SetUartConfigNoFlow,
    Reset,
    ReturnOnline,
};
inline constexpr int kOpCount = 15;

struct Transaction {
    Op op = Op::Probe;
    uint8_t a = 0, b = 0, c = 0;
};

struct Step {
    enum class Kind { Bytes, Gap, HangUp, Abort };
    Kind kind = Kind::Bytes;
    std::string bytes;
    int gapMs = 0; // compressed milliseconds
};
using Segment = std::vector<Step>;

struct Script {
    std::vector<Transaction> transactions;
    std::vector<Segment> segments;
    bool hasAbort = false;
};

inline constexpr int kHeaderBytesPerTransaction = 4;

// Gap codes 0-31 are 5 ms steps, 32-63 100 ms steps up to 3.2 s: enough to
// outlast every fixed step of the status query.
int GapMs(uint8_t code);
Script DecodeScript(const uint8_t* data, size_t size);

} // namespace norva::fuzz
