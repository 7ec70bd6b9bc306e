#pragma once
// The reply splitter and the parsers of the status and inquiry lines. Pure
// functions over untrusted bytes: no port, no thread, no allocation limits
// beyond the caller's buffer.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace norva {

// The held bytes run from `start` to `last` inclusive. Returns the position
// just after the next token (framed line, unframed line ending with CR, lone
// CR or LF), or nullptr when the token is not complete yet.
const uint8_t* NextToken(const uint8_t* start, const uint8_t* last);

inline std::string_view AsText(const uint8_t* data, size_t length) {
    return {reinterpret_cast<const char*>(data), length};
}

// Takes tokens from the front of `data` while NextToken finds one, skipping
// 1-byte tokens and handing every longer one to `onToken`, which returns
// false to stop the scan. Returns the count of bytes consumed.
template <class OnToken> size_t ScanTokens(const uint8_t* data, size_t held, OnToken&& onToken) {
    size_t pos = 0;
    while (pos < held) {
        const uint8_t* end = NextToken(data + pos, data + held - 1);
        if (end == nullptr) {
            break;
        }
        const size_t start = pos;
        pos = static_cast<size_t>(end - data);
        if (pos - start > 1 && !onToken(AsText(data + start, pos - start))) {
            break;
        }
    }
    return pos;
}

// The line skeleton's accumulation: each wait appends at Tail(), the scan
// takes tokens off the front, and the unconsumed rest moves to the front.
// Never holds more than its capacity.
class LineAccumulator {
public:
    static constexpr int kMaxCapacity = 512;
    static constexpr int kNoLimit = -1;
    static constexpr int kDefaultMaxSkipped = 2048;

    // `limit`: more bytes held than this is an overflow. Without a limit a
    // line that fills the accumulation is skipped to its end (SkipLongLine);
    // one longer than `maxSkipped` bytes is an overflow.
    LineAccumulator(int capacity, int limit, int maxSkipped = kDefaultMaxSkipped)
        : m_capacity(capacity < kMaxCapacity ? capacity : kMaxCapacity), m_limit(limit),
          m_maxSkipped(maxSkipped) {}

    // Bytes the next wait may take: at most `perWait`, and only what fits.
    int Room(int perWait) const {
        const int room = m_capacity - m_held;
        return room < perWait ? room : perWait;
    }
    uint8_t* Tail() { return m_data + m_held; }
    // Counts `n` bytes written at Tail(); false when the reply outgrew the
    // limit, or a skipped line its bound.
    bool Commit(int n);
    // A module may echo the command before its reply: its text with its CR,
    // without it (running into the reply's own CR LF) or with CR LF. That
    // echo is dropped before any token is taken. `command` is what was sent,
    // its CR included.
    void ExpectEcho(std::string_view command);
    // The accumulation is full and holds no complete line: drops that line,
    // now and as the rest of it arrives, so that the lines after it are
    // still read. False for a reply with a limit (it has overflowed).
    bool SkipLongLine();
    // Hands each token of more than one byte to `onToken` (false stops the
    // scan), then keeps only the unconsumed bytes. Returns false when
    // stopped.
    template <class OnToken> bool Scan(OnToken&& onToken) {
        if (EchoPending()) {
            return true;
        }
        bool stopped = false;
        const size_t consumed =
            ScanTokens(m_data, static_cast<size_t>(m_held), [&](std::string_view token) {
                stopped = !onToken(token);
                return !stopped;
            });
        if (!stopped) {
            Drop(consumed);
        }
        return !stopped;
    }
    int Held() const { return m_held; }
    const uint8_t* Data() const { return m_data; }
    // An echo of the command was found in front of the reply and dropped.
    bool EchoDropped() const { return m_echoDropped; }

private:
    // Drops an echo at the front once enough bytes tell its form; true while
    // they do not yet.
    bool EchoPending();
    void Drop(size_t consumed);
    // Drops held bytes through the end of the skipped line, or all of them.
    void SkipHeld(size_t from);

    uint8_t m_data[kMaxCapacity];
    int m_capacity;
    int m_limit;
    int m_maxSkipped;
    int m_held = 0;
    bool m_skipping = false;
    bool m_skipFramed = false; // the line ends with CR LF, not a lone CR
    bool m_pendingCR = false;  // a skipped chunk ended with CR
    int m_skipped = 0;
    std::string m_echo; // the echo still looked for, without its CR
    bool m_echoDropped = false;
};

enum class StatusLineOutcome {
    Failed,      // a field matched none of its texts, or fewer than 6 fields
    SixFields,   // no flow-control field: the status is complete
    SevenFields, // flow control read: the OK line ends the query
};

// What one status line yields. Fields are stored in order; `fieldsStored`
// says how many of the seven were taken before the outcome.
struct StatusLine {
    StatusLineOutcome outcome = StatusLineOutcome::Failed;
    int fieldsStored = 0;
    std::string address; // at most 12 bytes
    std::string name;    // at most 255 bytes
    int opMode = 0;
    int linkState = 0;
    int flag5 = 0;
    int flag6 = 0;
    int flowControl = 1; // 1 also when the line has no flow-control field
};

StatusLine ParseStatusLine(std::string_view token);

struct InquiryRow {
    std::string address;
    std::string name;
    std::string classOfDevice;
};

// One inquiry result token; nothing when it has fewer than two commas or no
// CR LF after the second.
std::optional<InquiryRow> ParseInquiryLine(std::string_view token);

// A line a linked unit announces, without its line break: "CONNECT", or
// "CONNECT" and the partner's address after spaces; "DISCONNECT".
struct LinkLine {
    enum class Kind { Connect, Disconnect };
    Kind kind = Kind::Connect;
    std::string partner; // empty when the module names none
};
// Nothing for any other line (data, an echo, "CONNECTED").
std::optional<LinkLine> ParseLinkLine(std::string_view line);

} // namespace norva
