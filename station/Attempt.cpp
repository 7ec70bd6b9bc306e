#include "station/Attempt.h"

#include <cctype>

namespace norva::station {
namespace {

struct OutcomeText {
    Outcome outcome;
    const char* name;
};
constexpr OutcomeText kOutcomes[] = {
    {Outcome::Interrupted, "interrupted"}, {Outcome::Paired, "paired"},
    {Outcome::Failed, "failed"},           {Outcome::Cancelled, "cancelled"},
    {Outcome::DeviceGone, "device-gone"},  {Outcome::Refused, "refused"},
    {Outcome::Configured, "configured"},
};

} // namespace

const char* OutcomeName(Outcome outcome) {
    for (const OutcomeText& o : kOutcomes) {
        if (o.outcome == outcome) {
            return o.name;
        }
    }
    return "interrupted";
}

bool ParseOutcome(const std::string& name, Outcome& outcome) {
    for (const OutcomeText& o : kOutcomes) {
        if (name == o.name) {
            outcome = o.outcome;
            return true;
        }
    }
    return false;
}

std::string NormalAddress(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == ':' || c == '-') {
            continue;
        }
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return {};
        }
        out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out.size() == 12 ? out : std::string();
}

std::string DescribeHolding(const PairHolding& h) {
    std::string text = "the pair with " + h.partner;
    if (!h.partnerName.empty()) {
        text += " (" + h.partnerName + ")";
    }
    text += ", paired " + h.pairedAt.substr(0, 10) + " on " + h.station + " (attempt " +
            std::to_string(h.attemptId) + ")";
    return text;
}

} // namespace norva::station
