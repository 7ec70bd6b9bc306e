#include "module/SettingsDetect.h"

#include "module/Catalogue.h"

#include <array>
#include <chrono>

namespace norva {
namespace {

namespace cat = catalogue;
using Clock = std::chrono::steady_clock;

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

int MsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

enum class Heard { Ok, Error, Nothing, Gone, Stopped };

// One "AT" at the line settings now in effect; `err` says why for Gone.
Heard ProbeOnce(SerialDevice& device, const LineSettings& s, Event* stop, int* err) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(DetectProbeMs(s));
    const std::string_view probe = cat::kProbe.text;
    const int length = static_cast<int>(probe.size());
    IoStop why;
    if (device.Write(probe.data(), length, MsLeft(deadline), stop, &why) != length) {
        *err = why.code;
        if (why.kind == IoStop::Kind::Stopped) {
            return Heard::Stopped;
        }
        return why.kind == IoStop::Kind::TimedOut ? Heard::Nothing : Heard::Gone;
    }
    std::string reply;
    Event* const events[] = {stop};
    for (;;) {
        char chunk[64];
        int n = 0;
        const int r = device.WaitRead(events, MsLeft(deadline), chunk, sizeof chunk, &n, &why);
        if (r == 0) {
            return Heard::Stopped;
        }
        if (r == kWaitTimeout) {
            return Heard::Nothing;
        }
        if (r != 1) {
            *err = LastSystemError();
            return Heard::Gone;
        }
        if (n < 0) {
            *err = why.code;
            return Heard::Gone;
        }
        reply.append(chunk, static_cast<size_t>(n));
        if (reply.find(cat::kReplyOk) != std::string::npos) {
            return Heard::Ok;
        }
        if (reply.find(cat::kReplyError) != std::string::npos) {
            return Heard::Error;
        }
        // Noise at a wrong rate can be endless: only the probe's own window
        // and a bounded reply are looked at.
        if (reply.size() > static_cast<size_t>(cat::kProbe.accumulation)) {
            reply.erase(0, reply.size() - cat::kReplyError.size());
        }
    }
}

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
    SerialDevice device;
    OsError error;
    if (!device.Open(path, kOrder.front(), &error)) {
        result.outcome = DetectResult::Outcome::OpenFailed;
        result.reason =
            error.reason.empty() ? path + ": " + SystemErrorText(error.code) : error.reason;
        return result;
    }
    const auto finish = [&device, &result](DetectResult::Outcome outcome) {
        // Nothing of a cancelled probe may hold up the close.
        device.DiscardOutput();
        device.Close();
        result.outcome = outcome;
        return result;
    };
    for (const LineSettings& s : kOrder) {
        if (cancel->IsSet()) {
            return finish(DetectResult::Outcome::Cancelled);
        }
        ++result.tried;
        if (progress) {
            progress(result.tried, kDetectSettingCount, s);
        }
        if (!device.SetLine(s, &error)) {
            if (!IsDeviceGoneError(error.code)) {
                continue; // the port cannot take this setting: nothing can be heard at it
            }
            result.reason = error.reason;
            return finish(DetectResult::Outcome::DeviceGone);
        }
        // A late reply to the previous try must not count for this one.
        device.FlushInput();
        int err = 0;
        Heard heard = ProbeOnce(device, s, cancel, &err);
        if (heard == Heard::Error) {
            // ERROR at a legible rate: the module heard a line that began with
            // noise of the earlier tries. A clean "AT" must answer OK.
            heard = ProbeOnce(device, s, cancel, &err);
        }
        switch (heard) {
        case Heard::Ok:
            result.setting = s;
            return finish(DetectResult::Outcome::Found);
        case Heard::Stopped:
            return finish(DetectResult::Outcome::Cancelled);
        case Heard::Gone:
            result.reason = path + " was disconnected (" + SystemErrorText(err) + ")";
            return finish(DetectResult::Outcome::DeviceGone);
        default:
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
