#include "module/ReplyParser.h"

#include "module/Catalogue.h"
#include "module/Protocol.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace norva {

namespace {
constexpr uint8_t kCR = '\r';
constexpr uint8_t kLF = '\n';

const uint8_t* FindCR(const uint8_t* from, const uint8_t* to) {
    for (const uint8_t* p = from; p <= to; ++p) {
        if (*p == kCR) {
            return p;
        }
    }
    return nullptr;
}
} // namespace

const uint8_t* NextToken(const uint8_t* start, const uint8_t* last) {
    if (start == nullptr || last == nullptr || last <= start) {
        return nullptr;
    }
    if (*start == kCR) {
        if (last - start < 4) {
            return nullptr;
        }
        if (start[1] != kLF) {
            return start + 1;
        }
        // The byte at `last` is never taken as the closing CR: its LF may
        // still be on the way.
        const uint8_t* q = FindCR(start + 2, last - 1);
        if (q == nullptr) {
            return nullptr;
        }
        return q[1] == kLF ? q + 2 : start + 1;
    }
    if (*start == kLF) {
        return start + 1;
    }
    const uint8_t* q = FindCR(start, last - 1);
    return q == nullptr ? nullptr : q + 1;
}

bool LineAccumulator::Commit(int n) {
    if (n > 0) {
        m_held += n < m_capacity - m_held ? n : m_capacity - m_held;
    }
    if (m_skipping) {
        SkipHeld(0);
        return m_skipped <= m_maxSkipped;
    }
    // An echo in front is not part of the reply: it does not count against
    // the reply's limit.
    if (EchoPending()) {
        return m_limit == kNoLimit || m_held <= m_limit + static_cast<int>(m_echo.size()) + 2;
    }
    return m_limit == kNoLimit || m_held <= m_limit;
}

bool LineAccumulator::SkipLongLine() {
    if (m_limit != kNoLimit || m_held < m_capacity) {
        return false;
    }
    m_skipFramed = m_data[0] == kCR && m_data[1] == kLF;
    m_skipping = true;
    m_pendingCR = false;
    m_skipped = 0;
    // A framed line's own opening CR LF is not its end.
    SkipHeld(m_skipFramed ? 2 : 0);
    return m_skipped <= m_maxSkipped;
}

void LineAccumulator::SkipHeld(size_t from) {
    const size_t held = static_cast<size_t>(m_held);
    size_t end = 0; // one past the line's last byte, 0 while not found
    if (m_pendingCR && held > 0) {
        m_pendingCR = false;
        if (m_data[0] == kLF) {
            end = 1;
        }
    }
    for (size_t i = from; end == 0 && i < held; ++i) {
        if (m_data[i] != kCR) {
            continue;
        }
        if (!m_skipFramed) {
            end = i + 1;
        } else if (i + 1 == held) {
            m_pendingCR = true;
        } else if (m_data[i + 1] == kLF) {
            end = i + 2;
        }
    }
    if (end == 0) {
        m_skipped += m_held;
        m_held = 0;
        return;
    }
    m_skipped += static_cast<int>(end);
    m_skipping = false;
    m_pendingCR = false;
    Drop(end);
}

void LineAccumulator::ExpectEcho(std::string_view command) {
    while (!command.empty() && (command.back() == kCR || command.back() == kLF)) {
        command.remove_suffix(1);
    }
    m_echo.assign(command);
}

bool LineAccumulator::EchoPending() {
    if (m_echo.empty()) {
        return false;
    }
    const size_t n = m_echo.size();
    const size_t held = static_cast<size_t>(m_held);
    if (std::memcmp(m_data, m_echo.data(), std::min(held, n)) != 0) {
        m_echo.clear(); // no echo: the reply itself
        return false;
    }
    // The bytes after the command's text tell the echo's form.
    if (held < n + 1 || (m_data[n] == kCR && held < n + 2) ||
        (m_data[n] == kCR && m_data[n + 1] == kLF && held < n + 3)) {
        return true;
    }
    size_t drop = n;
    if (m_data[n] == kCR && m_data[n + 1] == kLF) {
        // "AT\r\n" before a framed reply; otherwise "AT" ran into the reply's own CR LF.
        drop = m_data[n + 2] == kCR ? n + 2 : n;
    } else if (m_data[n] == kCR) {
        drop = n + 1;
    }
    m_echo.clear();
    m_echoDropped = true;
    Drop(drop);
    return false;
}

void LineAccumulator::Drop(size_t consumed) {
    if (consumed == 0) {
        return;
    }
    const size_t held = static_cast<size_t>(m_held);
    if (consumed > held) {
        consumed = held;
    }
    std::memmove(m_data, m_data + consumed, held - consumed);
    m_held = static_cast<int>(held - consumed);
}

StatusLine ParseStatusLine(std::string_view token) {
    // A run of commas is one separator: empty fields vanish.
    std::vector<std::string_view> fields;
    size_t pos = 0;
    while (pos < token.size() && fields.size() < 7) {
        const size_t comma = token.find(',', pos);
        const size_t end = comma == std::string_view::npos ? token.size() : comma;
        if (end > pos) {
            fields.push_back(token.substr(pos, end - pos));
        }
        pos = end + 1;
    }

    StatusLine line;
    auto fail = [&] {
        line.outcome = StatusLineOutcome::Failed;
        return line;
    };
    for (size_t i = 0; i < fields.size(); ++i) {
        const std::string_view f = fields[i];
        switch (i) {
        case 0:
            if (f.size() > catalogue::kAddressSkip) {
                line.address =
                    std::string(f.substr(catalogue::kAddressSkip, catalogue::kAddressChars));
            }
            break;
        case 1:
            line.name = std::string(f.substr(0, catalogue::kNameChars));
            break;
        case 2: {
            constexpr std::array<std::string_view, 4> modes = {"MODE0", "MODE1", "MODE2", "MODE3"};
            const auto it = std::find(modes.begin(), modes.end(), f);
            if (it == modes.end()) {
                return fail();
            }
            line.opMode = static_cast<int>(it - modes.begin());
            break;
        }
        case 3:
            if (f == "STANDBY" || f == "IDLE") {
                line.linkState = LINK_STANDBY;
            } else if (f == "PENDING") {
                line.linkState = LINK_PENDING;
            } else if (f == "CONNECT") {
                line.linkState = LINK_CONNECTED;
            } else {
                return fail();
            }
            break;
        case 4:
            if (f != "0" && f != "1") {
                return fail();
            }
            line.flag5 = f[0] - '0';
            break;
        case 5:
            // Without a flow-control field this one carries the line's CR LF.
            if (f[0] != '0' && f[0] != '1') {
                return fail();
            }
            line.flag6 = f[0] - '0';
            break;
        case 6:
            if (f.substr(0, 4) == "NoFC") {
                line.flowControl = 0;
            } else if (f.substr(0, 4) == "HWFC") {
                line.flowControl = 1;
            } else {
                return fail();
            }
            break;
        }
        line.fieldsStored = static_cast<int>(i) + 1;
    }
    if (fields.size() == 7) {
        line.outcome = StatusLineOutcome::SevenFields;
    } else if (fields.size() == 6) {
        line.flowControl = 1;
        line.outcome = StatusLineOutcome::SixFields;
    }
    return line;
}

std::optional<LinkLine> ParseLinkLine(std::string_view line) {
    constexpr std::string_view kConnect = "CONNECT";
    if (line == "DISCONNECT") {
        return LinkLine{LinkLine::Kind::Disconnect, {}};
    }
    if (!line.starts_with(kConnect) ||
        (line.size() > kConnect.size() && line[kConnect.size()] != ' ')) {
        return std::nullopt;
    }
    LinkLine link;
    const size_t at = line.find_first_not_of(' ', kConnect.size());
    if (at != std::string_view::npos) {
        link.partner = std::string(line.substr(at));
    }
    return link;
}

std::optional<InquiryRow> ParseInquiryLine(std::string_view token) {
    const size_t first = token.find_first_not_of("\r\n");
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view rest = token.substr(first);
    const size_t c1 = rest.find(',');
    if (c1 == std::string_view::npos) {
        return std::nullopt;
    }
    InquiryRow row;
    row.address = std::string(rest.substr(0, c1));
    rest.remove_prefix(c1 + 1);
    const size_t c2 = rest.find(',');
    if (c2 == std::string_view::npos) {
        return std::nullopt;
    }
    row.name = std::string(rest.substr(0, c2));
    rest.remove_prefix(c2 + 1);
    const size_t crlf = rest.find("\r\n");
    if (crlf == std::string_view::npos) {
        return std::nullopt;
    }
    row.classOfDevice = std::string(rest.substr(0, crlf));
    return row;
}

} // namespace norva
