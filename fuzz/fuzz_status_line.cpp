// The status-line parser on arbitrary tokens, and on every token the
// splitter cuts from arbitrary replies (as the status query feeds it).

#include "FuzzCheck.h"
#include "module/ReplyParser.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

void Check(std::string_view token) {
    const norva::StatusLine s = norva::ParseStatusLine(token);
    FUZZ_CHECK(s.address.size() <= 12);
    FUZZ_CHECK(s.name.size() <= 255);
    FUZZ_CHECK(s.fieldsStored >= 0 && s.fieldsStored <= 7);
    FUZZ_CHECK(s.opMode >= 0 && s.opMode <= 3);
    FUZZ_CHECK(s.linkState >= 0 && s.linkState <= 2);
    FUZZ_CHECK(s.flag5 == 0 || s.flag5 == 1);
    FUZZ_CHECK(s.flag6 == 0 || s.flag6 == 1);
    FUZZ_CHECK(s.flowControl == 0 || s.flowControl == 1);
    switch (s.outcome) {
    case norva::StatusLineOutcome::SevenFields:
        FUZZ_CHECK(s.fieldsStored == 7);
        break;
    case norva::StatusLineOutcome::SixFields:
        FUZZ_CHECK(s.fieldsStored == 6 && s.flowControl == 1);
        break;
    case norva::StatusLineOutcome::Failed:
        FUZZ_CHECK(s.fieldsStored <= 6);
        break;
    }
    // Whatever was stored came from the token.
    FUZZ_CHECK(token.find(s.address) != std::string_view::npos);
    FUZZ_CHECK(token.find(s.name) != std::string_view::npos);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Check(norva::AsText(data, size));
    norva::ScanTokens(data, size, [](std::string_view token) {
        Check(token);
        return true;
    });
    return 0;
}
