// Interposes clock_gettime and poll for the whole process (the executable's
// definitions win over the C library's and the sanitizers' weak ones).
// steady_clock reads CLOCK_MONOTONIC through clock_gettime; the wall clock
// that libFuzzer times runs with stays untouched.

#include "CompressedClock.h"

#include <cerrno>
#include <ctime>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace norva::fuzz {
namespace {

constexpr int64_t kNsPerSec = 1000000000;

int64_t ToNs(const timespec& t) {
    return static_cast<int64_t>(t.tv_sec) * kNsPerSec + t.tv_nsec;
}

timespec FromNs(int64_t ns) {
    return {static_cast<time_t>(ns / kNsPerSec), static_cast<long>(ns % kNsPerSec)};
}

int RawClock(clockid_t id, timespec* ts) {
    return static_cast<int>(syscall(SYS_clock_gettime, id, ts));
}

// Scaled from the first reading on, so that the product cannot overflow on
// a machine that has been up for long.
int64_t Origin() {
    static const int64_t origin = [] {
        timespec t{};
        RawClock(CLOCK_MONOTONIC, &t);
        return ToNs(t);
    }();
    return origin;
}

} // namespace

int64_t RealNowNs() {
    timespec t{};
    RawClock(CLOCK_MONOTONIC, &t);
    return ToNs(t);
}

void SleepCompressedMs(int ms) {
    if (ms <= 0) {
        return;
    }
    timespec t = FromNs(static_cast<int64_t>(ms) * 1000000 / kTimeDivisor);
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}

} // namespace norva::fuzz

using norva::fuzz::kTimeDivisor;

extern "C" int clock_gettime(clockid_t id, timespec* ts) {
    const int r = norva::fuzz::RawClock(id, ts);
    if (r == 0 && id == CLOCK_MONOTONIC) {
        const int64_t origin = norva::fuzz::Origin();
        *ts = norva::fuzz::FromNs(origin + (norva::fuzz::ToNs(*ts) - origin) * kTimeDivisor);
    }
    return r;
}

extern "C" int poll(pollfd* fds, nfds_t count, int timeoutMs) {
    if (timeoutMs < 0) {
        return ppoll(fds, count, nullptr, nullptr);
    }
    const timespec t =
        norva::fuzz::FromNs(static_cast<int64_t>(timeoutMs) * 1000000 / kTimeDivisor);
    return ppoll(fds, count, &t, nullptr);
}
