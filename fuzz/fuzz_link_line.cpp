// The link-line parser on arbitrary lines and on every line a verifier would
// cut from arbitrary bytes.

#include "FuzzCheck.h"
#include "module/ReplyParser.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

void Check(std::string_view line) {
    const auto link = norva::ParseLinkLine(line);
    if (!link) {
        return;
    }
    if (link->kind == norva::LinkLine::Kind::Disconnect) {
        FUZZ_CHECK(line == "DISCONNECT");
        FUZZ_CHECK(link->partner.empty());
        return;
    }
    FUZZ_CHECK(line.starts_with("CONNECT"));
    FUZZ_CHECK(link->partner.size() + 7 <= line.size());
    FUZZ_CHECK(link->partner.empty() || link->partner[0] != ' ');
    FUZZ_CHECK(line.ends_with(link->partner));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text = norva::AsText(data, size);
    Check(text);
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = text.find_first_of("\r\n", start);
        Check(text.substr(start,
                          end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }
    return 0;
}
