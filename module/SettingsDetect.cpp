#include "module/SettingsDetect.h"

#include "module/Catalogue.h"
#include "module/ModuleControl.h"
#include "module/Protocol.h"
#include "module/StopRelay.h"

#include <array>

namespace norva {
namespace {

namespace cat = catalogue;

// Changing parity or stop bits is rarer than changing the rate, so every
// rate is tried at 8N1 before any rate at another framing.
constexpr std::pair<uint8_t, uint8_t> kFramingOrder[] = {
    {kNoParity, kOneStopBit},
    {kEvenParity, kOneStopBit},
    {kNoParity, kTwoStopBits},
    {kEvenParity, kTwoStopBits},
};

std::array<LineSettings, kDetectSettingCount> MakeOrder() {
    std::array<LineSettings, kDetectSettingCount> order{};
    size_t i = 0;
    for (const auto& framing : kFramingOrder) {
        for (int baud : cat::kDetectBaudOrder) {
            LineSettings s;
            s.BaudRate = static_cast<uint32_t>(baud);
            s.Parity = framing.first;
            s.StopBits = framing.second;
            order[i++] = s;
        }
    }
    return order;
}

const std::array<LineSettings, kDetectSettingCount> kOrder = MakeOrder();

// The search shows nothing of its own: no banners, no boxes, no rows.
class QuietHost : public IModuleHost {
public:
    void PostJobResult(int /*code*/, int /*jobId*/) override {}
    void AddDeviceRow(const std::string& /*address*/, const std::string& /*name*/,
                      const std::string& /*classOfDevice*/) override {}
    void ShowMessageBox(const std::string& /*text*/, const Event* /*stop*/) override {}
    void ShowBanner(Banner /*which*/) override {}
    void HideBanner(Banner /*which*/) override {}
};

} // namespace

std::span<const LineSettings> DetectOrder() {
    return kOrder;
}

int DetectProbeMs(const LineSettings& s) {
    const int bitsPerChar =
        1 + s.ByteSize + (s.Parity != kNoParity ? 1 : 0) + (s.StopBits == kTwoStopBits ? 2 : 1);
    const auto chars =
        static_cast<long long>(std::string_view(cat::kProbe.text).size() + cat::kReplyOk.size());
    const long long baud = s.BaudRate > 0 ? s.BaudRate : 1;
    return static_cast<int>((chars * bitsPerChar * 1000 + baud - 1) / baud) + kDetectMarginMs;
}

DetectResult DetectSettings(const std::string& path, Event* stop, const DetectProgress& progress) {
    Event never(Event::Mode::Manual);
    Event* const cancel = stop != nullptr ? stop : &never;
    DetectResult result;
    QuietHost host;
    CModuleControl module(&host);
    const LineSettings& first = kOrder.front();
    if (module.OpenPortPath(path, first.BaudRate, first.StopBits, first.Parity) == 0) {
        const OsError error = module.LastOpenError();
        result.outcome = DetectResult::Outcome::OpenFailed;
        result.reason =
            error.reason.empty() ? path + ": " + SystemErrorText(error.code) : error.reason;
        return result;
    }
    // The probes run on this thread, one setting after another.
    module.TalkDirectly();
    const auto finish = [&module, &result](DetectResult::Outcome outcome) {
        // Nothing of a stopped probe may hold up the close.
        module.DiscardOutput();
        module.ClosePort();
        result.outcome = outcome;
        return result;
    };
    // The caller's stop ends the probe under way, not only the search; with
    // no stop given there is nothing to relay.
    StopRelay relay(stop, {&module});
    for (const LineSettings& s : kOrder) {
        if (cancel->IsSet()) {
            return finish(DetectResult::Outcome::Cancelled);
        }
        ++result.tried;
        if (progress) {
            progress(result.tried, kDetectSettingCount, s);
        }
        OsError error;
        if (!module.SetLine(s, &error)) {
            if (!IsDeviceGoneError(error.code)) {
                continue; // the port cannot take this setting: nothing can be heard at it
            }
            result.reason = error.reason;
            return finish(DetectResult::Outcome::DeviceGone);
        }
        int heard = module.Probe(DetectProbeMs(s));
        if (heard == RC_ERROR) {
            // ERROR at a legible rate: the module heard a line that began with
            // noise of the earlier tries. A clean "AT" must answer OK.
            heard = module.Probe(DetectProbeMs(s));
        }
        switch (heard) {
        case RC_OK:
            result.setting = s;
            return finish(DetectResult::Outcome::Found);
        case RC_STOPPED:
        case RC_ABORTED:
            return finish(DetectResult::Outcome::Cancelled);
        case RC_DEVICE_GONE:
            result.reason = module.GoneReason();
            return finish(DetectResult::Outcome::DeviceGone);
        default:
            // No answer, ERROR twice, or noise at a wrong rate.
            break;
        }
    }
    return finish(DetectResult::Outcome::NoAnswer);
}

namespace {

const char* ParityWord(const LineSettings& s) {
    return s.Parity == kEvenParity ? "even" : (s.Parity == kOddParity ? "odd" : "none");
}

const char* StopWord(const LineSettings& s) {
    return s.StopBits == kTwoStopBits ? "2" : "1";
}

} // namespace

std::string DetectOptionText(const LineSettings& s) {
    return "--baud " + std::to_string(s.BaudRate) + " --parity " + ParityWord(s) + " --stop " +
           StopWord(s);
}

std::string DetectLineText(const LineSettings& s) {
    return std::to_string(s.BaudRate) + "," + ParityWord(s) + "," + StopWord(s);
}

} // namespace norva
