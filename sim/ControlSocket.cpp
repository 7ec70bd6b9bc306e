#include "sim/ControlSocket.h"

#include "sim/ControlRequests.h"
#include "sim/Text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace norva::sim {

namespace {

bool SocketAddress(const std::string& path, sockaddr_un* addr, std::string* error) {
    *addr = {};
    addr->sun_family = AF_UNIX;
    if (path.size() >= sizeof addr->sun_path) {
        *error = "control socket path too long: " + path;
        return false;
    }
    std::memcpy(addr->sun_path, path.c_str(), path.size() + 1);
    return true;
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// A request is one short line; a client that sends nothing must not hold up the simulator.
std::string ReadRequest(int fd) {
    timeval tv{2, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    std::string line;
    char c = 0;
    while (line.size() < 256) {
        ssize_t n = read(fd, &c, 1);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0 || c == '\n') {
            break;
        }
        line += c;
    }
    return line;
}

} // namespace

void PrintAnswer(const std::string& answer) {
    size_t nl = answer.find('\n');
    std::string status = answer.substr(0, nl);
    std::string body = nl == std::string::npos ? "" : answer.substr(nl + 1);
    if (status.compare(0, 6, "error:") == 0) {
        std::fprintf(stderr, "norva-sim: %s\n", status.c_str() + 7);
    }
    std::fputs(body.c_str(), stdout);
    std::fflush(stdout);
}

int RunClient(const std::string& socketPath, const std::string& request) {
    sockaddr_un addr;
    std::string error;
    if (!SocketAddress(socketPath, &addr, &error)) {
        std::fprintf(stderr, "norva-sim: %s\n", error.c_str());
        return 2;
    }
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        std::fprintf(stderr, "norva-sim: cannot reach the simulator at %s: %s\n",
                     socketPath.c_str(), ErrnoText().c_str());
        if (fd >= 0) {
            close(fd);
        }
        return 2;
    }
    WriteAll(fd, request + "\n");
    shutdown(fd, SHUT_WR);
    std::string answer;
    char buf[4096];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        answer.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    if (answer.empty()) {
        std::fprintf(stderr, "norva-sim: no answer from %s\n", socketPath.c_str());
        return 2;
    }
    PrintAnswer(answer);
    return ExitStatusOfAnswer(answer);
}

int ListenOn(const std::string& path, std::string* error) {
    sockaddr_un addr;
    if (!SocketAddress(path, &addr, error)) {
        return -1;
    }
    struct stat st;
    if (lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            *error = path + " exists and is not a socket";
            return -1;
        }
        // A socket left by an earlier run that nobody answers on any more.
        int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        bool alive =
            probe >= 0 && connect(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        if (probe >= 0) {
            close(probe);
        }
        if (alive) {
            *error = "another simulator answers on " + path;
            return -1;
        }
        unlink(path.c_str());
    }
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(fd, 8) != 0) {
        *error = "cannot listen on " + path + ": " + ErrnoText();
        if (fd >= 0) {
            close(fd);
        }
        return -1;
    }
    return fd;
}

void AnswerClient(int listenFd, const std::vector<Simulator*>& pairs, bool* quit) {
    int client = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) {
        return;
    }
    bool stop = false;
    WriteAll(client, HandleControlRequest(pairs, ReadRequest(client), &stop));
    close(client);
    *quit = *quit || stop;
}

} // namespace norva::sim
