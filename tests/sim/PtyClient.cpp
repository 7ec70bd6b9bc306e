#include "PtyClient.h"

#include <cerrno>
#include <chrono>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace norva::sim::test {

namespace {

speed_t Speed(int baud) {
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    default:
        return B9600;
    }
}

} // namespace

bool PtyClient::Open(const std::string& path, int baud, int stopBits) {
    Close();
    m_fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) {
        return false;
    }
    if (flock(m_fd, LOCK_EX | LOCK_NB) != 0 || ioctl(m_fd, TIOCEXCL) != 0 ||
        !SetLine(baud, stopBits)) {
        Close();
        return false;
    }
    tcflush(m_fd, TCIOFLUSH);
    return true;
}

bool PtyClient::SetLine(int baud, int stopBits) {
    termios tio{};
    if (tcgetattr(m_fd, &tio) != 0) {
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~CSTOPB;
    if (stopBits == 2) {
        tio.c_cflag |= CSTOPB;
    }
    cfsetispeed(&tio, Speed(baud));
    cfsetospeed(&tio, Speed(baud));
    return tcsetattr(m_fd, TCSANOW, &tio) == 0;
}

void PtyClient::Close() {
    if (m_fd < 0) {
        return;
    }
    ioctl(m_fd, TIOCNXCL);
    flock(m_fd, LOCK_UN);
    close(m_fd);
    m_fd = -1;
}

bool PtyClient::HungUp() const {
    pollfd p{m_fd, POLLIN, 0};
    return poll(&p, 1, 0) > 0 && (p.revents & POLLHUP) != 0;
}

bool PtyClient::Send(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{m_fd, POLLOUT, 0};
            poll(&p, 1, 100);
        } else {
            return false;
        }
    }
    return true;
}

std::string PtyClient::ReadUntil(const std::string& needle, int ms) {
    std::string got;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (needle.empty() || got.find(needle) == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        end - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0) {
            break;
        }
        pollfd p{m_fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0) {
            continue;
        }
        char buf[512];
        ssize_t n = read(m_fd, buf, sizeof buf);
        if (n > 0) {
            got.append(buf, static_cast<size_t>(n));
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            break;
        }
    }
    return got;
}

std::string PtyClient::ReadFor(int ms) {
    return ReadUntil("", ms);
}

std::string PtyClient::Command(const std::string& command, const std::string& until, int ms) {
    if (!Send(command + "\r")) {
        return "<write failed>";
    }
    return ReadUntil(until, ms);
}

} // namespace norva::sim::test
