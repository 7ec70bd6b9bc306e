#include "platform/SerialDevice.h"

#include "platform/DeviceTexts.h"

#include "platform/posix/DeviceNodes.h"
#include "platform/posix/FdWait.h"
#include "platform/posix/Termios.h"

#include "platform/PermissionAdvice.h"
#include "platform/SystemDirs.h"
#include "platform/UucpLock.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <iterator>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace norva {
namespace {

// termios's name for each of kPortRates, in its order.
constexpr speed_t kSpeeds[] = {B50,    B75,    B110,    B134,    B150,    B200,   B300,
                               B600,   B1200,  B1800,   B2400,   B4800,   B9600,  B19200,
                               B38400, B57600, B115200, B230400, B460800, B921600};
static_assert(std::size(kSpeeds) == std::size(kPortRates), "a port rate without its speed");

std::string BaseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int Fd(intptr_t native) {
    return static_cast<int>(native);
}

// The node behind a by-id link, or the path itself when it resolves to nothing.
std::string RealPath(const std::string& path) {
    char real[PATH_MAX];
    return realpath(path.c_str(), real) != nullptr ? std::string(real) : path;
}

// getpwuid_r and getgrgid_r: a port may fail to open on any thread, and the
// plain forms share one buffer. A group's entry lists its members, so the
// buffer grows until it fits.
template <typename Entry, typename Id, typename Lookup>
std::string EntryName(Id id, Lookup lookup, char* Entry::*name) {
    std::vector<char> buffer(4096);
    while (true) {
        Entry entry{};
        Entry* found = nullptr;
        const int rc = lookup(id, &entry, buffer.data(), buffer.size(), &found);
        if (rc == ERANGE && buffer.size() < (size_t{1} << 24)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        return rc == 0 && found != nullptr ? std::string(found->*name) : std::to_string(id);
    }
}

std::string UserName(uid_t uid) {
    return EntryName<passwd>(uid, getpwuid_r, &passwd::pw_name);
}

std::string GroupName(gid_t gid) {
    return EntryName<group>(gid, getgrgid_r, &group::gr_name);
}

std::string PermissionReason(const std::string& path, const std::string& os) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        const bool closedDir = errno == EACCES;
        return path + ": " + os +
               (closedDir ? " (a directory on the way to it is closed to you)" : "");
    }
    DeviceAccess d;
    d.path = path;
    d.kernel = BaseName(RealPath(path));
    d.owner = st.st_uid;
    d.group = st.st_gid;
    d.mode = st.st_mode;
    d.ownerName = UserName(st.st_uid);
    d.groupName = GroupName(st.st_gid);
    return PermissionAdvice(d);
}

OsError LockedBy(const std::string& path, const UucpLockResult& lock) {
    OsError e = DescribeOpenError(EBUSY, path);
    const std::string file = LockDir() + "/" + UucpLockName(path);
    e.reason += lock.holder > 0
                    ? " (process " + std::to_string(lock.holder) + " holds " + file + ")"
                    : " (" + file + " names no process: remove it if no program has the port)";
    return e;
}

OsError Fail(int err, const std::string& path) {
    OsError e = DescribeOpenError(err, path);
    return e;
}

} // namespace

// A port is handed back as it was found (a console or a terminal program's line must not stay
// raw at our speed); output still queued goes first, within a bound, at the speed it was meant for.
constexpr int kCloseDrainMs = 500;

struct SerialDevice::State {
    termios found{};
    bool restore = false;
};

SerialDevice::SerialDevice() : m_state(std::make_unique<State>()) {}

SerialDevice::~SerialDevice() {
    Close();
}

bool SerialDevice::IsOpen() const {
    return m_native >= 0;
}

speed_t BaudToSpeed(uint32_t baud) {
    for (size_t i = 0; i < std::size(kPortRates); ++i) {
        if (kPortRates[i] == baud) {
            return kSpeeds[i];
        }
    }
    return 0;
}

uint32_t SpeedToBaud(speed_t speed) {
    for (size_t i = 0; i < std::size(kSpeeds); ++i) {
        if (kSpeeds[i] == speed) {
            return kPortRates[i];
        }
    }
    return 0;
}

bool BuildTermios(const LineSettings& s, termios* out) {
    const speed_t speed = BaudToSpeed(s.BaudRate);
    if (speed == 0 || s.Parity > kEvenParity ||
        (s.StopBits != kOneStopBit && s.StopBits != kTwoStopBits)) {
        return false;
    }
    tcflag_t size = 0;
    switch (s.ByteSize) {
    case 5:
        size = CS5;
        break;
    case 6:
        size = CS6;
        break;
    case 7:
        size = CS7;
        break;
    case 8:
        size = CS8;
        break;
    default:
        return false;
    }
    termios t{};
    cfmakeraw(&t);
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL);
    t.c_cflag |= size | CLOCAL | CREAD;
    if (s.Parity != kNoParity) {
        t.c_cflag |= PARENB;
        if (s.Parity == kOddParity) {
            t.c_cflag |= PARODD;
        }
    }
    if (s.StopBits == kTwoStopBits) {
        t.c_cflag |= CSTOPB;
    }
    if (s.fOutxCtsFlow) {
        t.c_cflag |= CRTSCTS;
    }
    t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    if (s.fParity) {
        t.c_iflag |= INPCK;
    }
    if (s.fOutX) {
        t.c_iflag |= IXON;
    }
    if (s.fInX) {
        t.c_iflag |= IXOFF;
    }
    // A read with nothing queued returns EAGAIN (non-blocking descriptor) and
    // a read of 0 bytes means hang-up.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    *out = t;
    return true;
}

OsError DescribeOpenError(int err, const std::string& path) {
    OsError e;
    e.code = err;
    const std::string os = SystemErrorText(err);
    switch (err) {
    case EACCES:
    case EPERM:
        e.reason = PermissionReason(path, os);
        break;
    case EBUSY:
    case EWOULDBLOCK:
        e.reason = InUseText(path) + BusyDeviceHint(BaseName(RealPath(path)));
        break;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        e.reason = NotPresentText(path);
        break;
    default:
        e.reason = path + ": " + os;
        break;
    }
    return e;
}

bool SerialDevice::Open(const std::string& path, const LineSettings& settings, OsError* error) {
    Close();
    OsError dummy;
    OsError& err = error != nullptr ? *error : dummy;
    err = OsError{};
    termios wanted{};
    if (!BuildTermios(settings, &wanted)) {
        err.code = EINVAL;
        err.reason = UnsupportedSettingsText(settings);
        return false;
    }
    // Before opening: opening alone may raise DTR under another program.
    const UucpLockResult lock = AcquireUucpLock(LockDir(), path);
    if (lock.busy) {
        err = LockedBy(path, lock);
        return false;
    }
    m_lockFile = lock.lockFile;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        err = Fail(errno, path);
        ReleaseLockFile();
        return false;
    }
    // flock first: TIOCEXCL alone does not stop a privileged second opener,
    // and the lock also tells other well-behaved programs the port is taken.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        err = Fail(errno == EWOULDBLOCK ? EBUSY : errno, path);
        ::close(fd);
        ReleaseLockFile();
        return false;
    }
    if (ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY) {
        err = Fail(errno, path);
        flock(fd, LOCK_UN);
        ::close(fd);
        ReleaseLockFile();
        return false;
    }
    m_native = fd;
    m_path = path;
    m_state->restore = tcgetattr(fd, &m_state->found) == 0;
    err = Apply(settings);
    if (err) {
        Close();
        return false;
    }
    // DTR low, RTS high; pseudo-terminals have no modem lines and say so.
    int dtr = TIOCM_DTR;
    int rts = TIOCM_RTS;
    if ((ioctl(fd, TIOCMBIC, &dtr) != 0 && errno != ENOTTY && errno != EINVAL) ||
        (ioctl(fd, TIOCMBIS, &rts) != 0 && errno != ENOTTY && errno != EINVAL)) {
        err = Fail(errno, path);
        Close();
        return false;
    }
    // Stale input must not pass for a reply; output a close just before left
    // queued (an ATZ before a reopen at other settings) must still go out.
    tcflush(fd, TCIFLUSH);
    return true;
}

namespace {

// Which of the asked settings a device refused, tried one at a time from a
// state it is known to take; empty when none alone is to blame.
std::string RefusedSetting(int fd, const termios& wanted, const LineSettings& s) {
    termios t = wanted;
    if ((t.c_cflag & PARENB) != 0) {
        t.c_cflag &= ~(PARENB | PARODD);
        t.c_iflag &= ~INPCK;
        if (tcsetattr(fd, TCSANOW, &t) == 0) {
            return std::string(ParityName(s.Parity)) + " parity";
        }
    }
    if ((t.c_cflag & CSTOPB) != 0) {
        t.c_cflag &= ~CSTOPB;
        if (tcsetattr(fd, TCSANOW, &t) == 0) {
            return "2 stop bits";
        }
    }
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    if (s.BaudRate != 9600 && tcsetattr(fd, TCSANOW, &t) == 0) {
        return std::to_string(s.BaudRate) + " baud";
    }
    return {};
}

} // namespace

OsError SerialDevice::Apply(const LineSettings& settings) {
    m_note.clear();
    termios wanted{};
    if (!BuildTermios(settings, &wanted)) {
        return {EINVAL, UnsupportedSettingsText(settings)};
    }
    if ((wanted.c_cflag & PARENB) != 0 && IsPseudoTerminal(Fd(m_native))) {
        // Newer kernels refuse PARENB on a pty, older ones drop it silently:
        // either way nothing would check it, so the line opens without.
        wanted.c_cflag &= ~(PARENB | PARODD);
        wanted.c_iflag &= ~INPCK;
        m_note = std::string(ParityName(settings.Parity)) +
                 " parity not applied: a pseudo-terminal carries no parity";
    }
    termios before{};
    const bool restorable = tcgetattr(Fd(m_native), &before) == 0;
    if (tcsetattr(Fd(m_native), TCSANOW, &wanted) != 0) {
        const int err = errno;
        OsError e = Fail(err, m_path);
        if (err == EINVAL) {
            const std::string refused = RefusedSetting(Fd(m_native), wanted, settings);
            if (!refused.empty()) {
                e.reason = RefusedSettingText(m_path, refused, SystemErrorText(err));
            }
        }
        if (restorable) {
            tcsetattr(Fd(m_native), TCSANOW, &before);
        }
        return e;
    }
    termios actual{};
    if (tcgetattr(Fd(m_native), &actual) != 0) {
        return Fail(errno, m_path);
    }
    // A driver may accept a setting and quietly keep another.
    std::string refused;
    if (cfgetospeed(&actual) != cfgetospeed(&wanted)) {
        refused = std::to_string(settings.BaudRate) + " baud";
    } else if ((actual.c_cflag & CSTOPB) != (wanted.c_cflag & CSTOPB)) {
        refused = "2 stop bits";
    } else if ((actual.c_cflag & (PARENB | PARODD)) != (wanted.c_cflag & (PARENB | PARODD))) {
        refused = std::string(ParityName(settings.Parity)) + " parity";
    }
    if (!refused.empty()) {
        if (restorable) {
            tcsetattr(Fd(m_native), TCSANOW, &before);
        }
        return {EINVAL, RefusedSettingText(m_path, refused, kKeptAnotherSetting)};
    }
    return {};
}

bool SerialDevice::SetLine(const LineSettings& settings, OsError* error) {
    OsError dummy;
    OsError& err = error != nullptr ? *error : dummy;
    if (Fd(m_native) < 0) {
        err = {EBADF, "the port is not open"};
        return false;
    }
    err = Apply(settings);
    return !err;
}

void SerialDevice::Close() {
    if (Fd(m_native) < 0) {
        return;
    }
    if (m_state->restore) {
        IoStop why;
        Drain(kCloseDrainMs, nullptr, &why);
        tcsetattr(Fd(m_native), TCSANOW, &m_state->found);
        m_state->restore = false;
    }
    // Exclusive mode can outlive the descriptor on some drivers and lock out
    // the next opener, so drop it explicitly before closing.
    ioctl(Fd(m_native), TIOCNXCL);
    flock(Fd(m_native), LOCK_UN);
    ::close(Fd(m_native));
    m_native = -1;
    ReleaseLockFile();
}

void SerialDevice::ReleaseLockFile() {
    ReleaseUucpLock(m_lockFile);
    m_lockFile.clear();
}

int SerialDevice::WaitRead(std::span<Event* const> events, int timeoutMs, void* dest, int max,
                           int* got, IoStop* why) {
    *got = 0;
    for (;;) {
        WaitFd device{Fd(m_native), POLLIN, 0};
        const int r = WaitAnyOrFd(events, timeoutMs, &device);
        if (r != static_cast<int>(events.size())) {
            return r;
        }
        const ssize_t n = ::read(Fd(m_native), dest, static_cast<size_t>(max));
        if (n > 0) {
            *got = static_cast<int>(n);
            return r;
        }
        // End of file on a tty, or nothing to read beside a hang-up: the line
        // was hung up.
        int err = EIO;
        if (n < 0) {
            if (errno == EINTR ||
                (errno == EAGAIN && (device.revents & (POLLHUP | POLLERR | POLLNVAL)) == 0)) {
                continue;
            }
            if (errno != EAGAIN) {
                err = errno;
            }
        }
        *got = -1;
        *why = {IsDeviceGoneError(err) ? IoStop::Kind::Gone : IoStop::Kind::Failed, err};
        return r;
    }
}

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

bool Fatal(int err) {
    return err != EAGAIN && err != EINTR;
}

IoStop StopFromErrno(int err) {
    switch (err) {
    case ETIMEDOUT:
        return {IoStop::Kind::TimedOut, err};
    case ECANCELED:
        return {IoStop::Kind::Stopped, err};
    default:
        return {IsDeviceGoneError(err) ? IoStop::Kind::Gone : IoStop::Kind::Failed, err};
    }
}

} // namespace

int SerialDevice::Write(const void* data, int length, int timeoutMs, const Event* stop,
                        IoStop* why) {
    *why = {};
    if (Fd(m_native) < 0 || length <= 0) {
        *why = StopFromErrno(EBADF);
        return 0;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const auto* bytes = static_cast<const uint8_t*>(data);
    int done = 0;
    while (done < length) {
        const ssize_t n = ::write(Fd(m_native), bytes + done, static_cast<size_t>(length - done));
        if (n > 0) {
            done += static_cast<int>(n);
            continue;
        }
        if (n < 0 && Fatal(errno)) {
            break; // errno says why the device is gone
        }
        const int left = MsLeft(deadline);
        if (left <= 0) {
            errno = ETIMEDOUT;
            break;
        }
        pollfd p[2] = {{Fd(m_native), POLLOUT, 0},
                       {stop != nullptr ? EventFd(stop) : -1, POLLIN, 0}};
        const int r = poll(p, 2, left);
        if (r < 0 && errno != EINTR) {
            break;
        }
        if ((p[1].revents & POLLIN) != 0) {
            errno = ECANCELED;
            break;
        }
        if (r > 0 && (p[0].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0 &&
            (p[0].revents & POLLOUT) == 0) {
            errno = EIO;
            break;
        }
    }
    if (done < length) {
        *why = StopFromErrno(errno);
    }
    return done;
}

int SerialDevice::OutputQueued() const {
    int queued = 0;
    if (Fd(m_native) < 0 || ioctl(Fd(m_native), TIOCOUTQ, &queued) != 0) {
        return 0;
    }
    return queued;
}

bool SerialDevice::Drain(int timeoutMs, const Event* stop, IoStop* why) {
    *why = {};
    if (Fd(m_native) < 0) {
        *why = StopFromErrno(EBADF);
        return false;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    // tcdrain alone would block without limit on a line held by flow
    // control, so the queue is watched and tcdrain only finishes the last
    // character once the queue is empty.
    for (;;) {
        int queued = 0;
        if (ioctl(Fd(m_native), TIOCOUTQ, &queued) != 0) {
            if (errno == ENOTTY || errno == EINVAL) {
                return true; // no queue to watch
            }
            *why = StopFromErrno(errno);
            return false;
        }
        if (queued == 0) {
            if (tcdrain(Fd(m_native)) == 0 || errno == ENOTTY || errno == EINVAL) {
                return true;
            }
            *why = StopFromErrno(errno);
            return false;
        }
        const int left = MsLeft(deadline);
        if (left <= 0) {
            *why = StopFromErrno(ETIMEDOUT);
            return false;
        }
        // Poll the queue at roughly the time a few characters take; the
        // stop event and a hang-up cut it short.
        pollfd p[2] = {{Fd(m_native), 0, 0}, {stop != nullptr ? EventFd(stop) : -1, POLLIN, 0}};
        const int r = poll(p, 2, left < 2 ? left : 2);
        if ((p[1].revents & POLLIN) != 0) {
            *why = StopFromErrno(ECANCELED);
            return false;
        }
        if (r > 0 && (p[0].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            *why = StopFromErrno(EIO);
            return false;
        }
    }
}

void SerialDevice::FlushInput() {
    if (Fd(m_native) >= 0) {
        tcflush(Fd(m_native), TCIFLUSH);
    }
}

void SerialDevice::DiscardOutput() {
    if (Fd(m_native) >= 0) {
        tcflush(Fd(m_native), TCOFLUSH);
    }
}

} // namespace norva
