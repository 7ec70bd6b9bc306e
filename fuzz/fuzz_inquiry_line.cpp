// The inquiry-line parser on arbitrary tokens and on every token the
// splitter cuts from arbitrary replies.

#include "FuzzCheck.h"
#include "module/ReplyParser.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

void Check(std::string_view token) {
    const auto row = norva::ParseInquiryLine(token);
    if (!row) {
        return;
    }
    FUZZ_CHECK(row->address.find(',') == std::string::npos);
    FUZZ_CHECK(row->name.find(',') == std::string::npos);
    FUZZ_CHECK(row->classOfDevice.find("\r\n") == std::string::npos);
    FUZZ_CHECK(row->address.empty() || (row->address[0] != '\r' && row->address[0] != '\n'));
    FUZZ_CHECK(row->address.size() + row->name.size() + row->classOfDevice.size() + 4 <=
               token.size());
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
