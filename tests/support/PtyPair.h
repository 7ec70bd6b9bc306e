#pragma once
// A real pseudo-terminal for serial tests: the port under test opens the
// slave by path, the test plays the module on the master.

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <unistd.h>

struct PtyPair {
    int master = -1;
    int slave = -1; // held open so the pty survives the port's closes
    std::string path;

    PtyPair() {
        char name[128] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) == 0) {
            path = name;
            fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        }
    }
    ~PtyPair() {
        CloseMaster();
        if (slave >= 0) {
            close(slave);
        }
    }
    void CloseMaster() {
        if (master >= 0) {
            close(master);
            master = -1;
        }
    }
    bool Send(const std::string& bytes) const {
        return write(master, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    // Everything the master receives within `ms`, returning early once
    // `expected` bytes are in.
    std::string Receive(size_t expected, int ms = 2000) const {
        std::string got;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (got.size() < expected) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now())
                                  .count();
            if (left <= 0) {
                break;
            }
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left)) <= 0) {
                break;
            }
            char buf[512];
            const ssize_t n = read(master, buf, sizeof buf);
            if (n <= 0) {
                break;
            }
            got.append(buf, static_cast<size_t>(n));
        }
        return got;
    }
};
