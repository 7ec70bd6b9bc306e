#include "Script.h"

namespace norva::fuzz {

int GapMs(uint8_t code) {
    code &= 0x3F;
    return code < 32 ? code * 5 : (code - 31) * 100;
}

Script DecodeScript(const uint8_t* data, size_t size) {
    Script s;
    size_t pos = 0;
    auto next = [&]() -> uint8_t { return pos < size ? data[pos++] : 0; };
    const int count = 1 + next() % 3;
    for (int i = 0; i < count; ++i) {
        Transaction t;
        t.op = static_cast<Op>(next() % kOpCount);
        t.a = next();
        t.b = next();
        t.c = next();
        s.transactions.push_back(t);
    }

    s.segments.emplace_back();
    std::string bytes;
    auto flush = [&] {
        if (!bytes.empty()) {
            s.segments.back().push_back({Step::Kind::Bytes, std::move(bytes), 0});
            bytes.clear();
        }
    };
    while (pos < size) {
        const uint8_t byte = data[pos++];
        if (byte != 0xFF) {
            bytes.push_back(static_cast<char>(byte));
            continue;
        }
        if (pos >= size) {
            break;
        }
        const uint8_t control = data[pos++];
        if (control == 0xFF) {
            bytes.push_back(static_cast<char>(0xFF));
            continue;
        }
        flush();
        switch (control >> 6) {
        case 0:
            s.segments.back().push_back({Step::Kind::Gap, {}, GapMs(control)});
            break;
        case 1:
            s.segments.emplace_back();
            break;
        case 2:
            s.segments.back().push_back({Step::Kind::HangUp, {}, 0});
            break;
        default:
            s.segments.back().push_back({Step::Kind::Abort, {}, 0});
            s.hasAbort = true;
            break;
        }
    }
    flush();
    return s;
}

} // namespace norva::fuzz
