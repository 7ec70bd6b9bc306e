#pragma once
// What the simulator's loop waits on besides the ptys: a wake-up from other
// threads, and who opens and closes a pty's slave. sim/linux/ implements both
// (eventfd, inotify); without the second the loop polls for hang-ups.

#include <string>
#include <vector>

namespace norva::sim {

class WakeFd {
public:
    WakeFd() = default;
    ~WakeFd();
    WakeFd(const WakeFd&) = delete;
    WakeFd& operator=(const WakeFd&) = delete;

    // False with errno set.
    bool Open();
    int Fd() const { return m_fd; }
    // Any thread: the next poll of Fd() returns.
    void Signal() const;
    // The loop, after the poll saw it.
    void Clear() const;
    void Close();

private:
    int m_fd = -1;
};

class SlaveWatch {
public:
    enum class Kind { Opened, Closed, CountsLost };
    struct Change {
        Kind kind;
        int watch;
    };

    SlaveWatch() = default;
    ~SlaveWatch();
    SlaveWatch(const SlaveWatch&) = delete;
    SlaveWatch& operator=(const SlaveWatch&) = delete;

    // False when the system cannot tell: then Add gives -1 for every path.
    bool Open();
    int Fd() const { return m_fd; }
    // A watch id, or -1.
    int Add(const std::string& slavePath);
    // Changes still queued for a removed watch carry an id no port owns.
    void Remove(int watch);
    // What is queued, oldest first; empty when nothing is.
    std::vector<Change> Read();
    void Close();

private:
    int m_fd = -1;
};

} // namespace norva::sim
