// The splitter and the line skeleton's accumulation on arbitrary replies cut
// into arbitrary chunks. Checks: every token is a lone CR/LF, a framed line
// or an unframed line; the bounded accumulation never overruns; and the
// tokens found chunk by chunk are exactly those found with all bytes held.

#include "FuzzCheck.h"
#include "module/ReplyParser.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

using norva::LineAccumulator;

void CheckToken(std::string_view t) {
    FUZZ_CHECK(!t.empty());
    if (t.size() == 1) {
        FUZZ_CHECK(t[0] == '\r' || t[0] == '\n');
        return;
    }
    FUZZ_CHECK(t.back() == '\r' || t.back() == '\n');
    if (t[0] == '\r') {
        // Framed: CR LF, text without CR, CR LF.
        FUZZ_CHECK(t.size() >= 4 && t[1] == '\n' && t[t.size() - 2] == '\r' && t.back() == '\n');
        FUZZ_CHECK(t.substr(2, t.size() - 4).find('\r') == std::string_view::npos);
    } else {
        FUZZ_CHECK(t[0] != '\n' && t.back() == '\r');
        FUZZ_CHECK(t.substr(0, t.size() - 1).find('\r') == std::string_view::npos);
    }
}

// All tokens (1-byte ones included) with everything held at once.
std::vector<std::string> WholeTokens(const uint8_t* data, size_t size) {
    std::vector<std::string> tokens;
    size_t pos = 0;
    while (pos < size) {
        const uint8_t* end = norva::NextToken(data + pos, data + size - 1);
        if (end == nullptr) {
            break;
        }
        FUZZ_CHECK(end > data + pos && end <= data + size);
        const size_t len = static_cast<size_t>(end - (data + pos));
        tokens.emplace_back(reinterpret_cast<const char*>(data + pos), len);
        CheckToken(tokens.back());
        pos += len;
    }
    return tokens;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    // First byte: the accumulation's shape; second: the chunking seed.
    const uint8_t shape = data[0];
    uint32_t seed = data[1];
    data += 2;
    size -= 2;

    struct Shape {
        int capacity, limit, perWait;
    };
    constexpr Shape shapes[] = {{63, 32, 31}, {64, -1, 30}, {128, -1, 127}, {256, -1, 127}};
    const Shape s = shapes[shape % 4];

    std::vector<std::string> whole;
    for (std::string& t : WholeTokens(data, size)) {
        if (t.size() > 1) {
            whole.push_back(std::move(t));
        }
    }

    LineAccumulator acc(s.capacity, s.limit);
    std::vector<std::string> chunked;
    size_t pos = 0;
    bool ended = false;
    while (pos < size && !ended) {
        seed = seed * 1103515245u + 12345u;
        const int room = acc.Room(s.perWait);
        if (room <= 0) {
            ended = true; // the transaction overflows here
            break;
        }
        FUZZ_CHECK(room <= s.perWait && acc.Held() + room <= s.capacity);
        int n = 1 + static_cast<int>((seed >> 16) % static_cast<uint32_t>(room));
        if (static_cast<size_t>(n) > size - pos) {
            n = static_cast<int>(size - pos);
        }
        std::memcpy(acc.Tail(), data + pos, static_cast<size_t>(n));
        pos += static_cast<size_t>(n);
        if (!acc.Commit(n)) {
            FUZZ_CHECK(s.limit >= 0 && acc.Held() > s.limit);
            ended = true;
            break;
        }
        acc.Scan([&](std::string_view t) {
            CheckToken(t);
            chunked.emplace_back(t);
            return true;
        });
        FUZZ_CHECK(acc.Held() >= 0 && acc.Held() <= s.capacity);
    }
    // Chunk boundaries never change the tokens: what was found so far is a
    // prefix of the whole split, and all of it when nothing overflowed.
    FUZZ_CHECK(chunked.size() <= whole.size());
    for (size_t i = 0; i < chunked.size(); ++i) {
        FUZZ_CHECK(chunked[i] == whole[i]);
    }
    if (!ended) {
        FUZZ_CHECK(chunked.size() == whole.size());
    }
    return 0;
}
