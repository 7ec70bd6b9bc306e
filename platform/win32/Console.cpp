#include "platform/Console.h"

#include <deque>
#include <mutex>
#include <thread>
#include <windows.h>

namespace norva {
namespace {

// Standard input may be a console or a pipe, and Windows can wait on
// neither together with an event, so one thread reads it for the program's
// life and hands each byte over.
class StdinPump {
public:
    StdinPump() {
        std::thread([this] { Run(); }).detach();
    }

    int Take(const Event* stop, char* c) {
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(m_lock);
                if (!m_bytes.empty()) {
                    *c = m_bytes.front();
                    m_bytes.pop_front();
                    return 1;
                }
                if (m_ended) {
                    return -1;
                }
            }
            Event* const set[] = {const_cast<Event*>(stop), &m_arrived};
            const std::span<Event* const> events = stop != nullptr
                                                       ? std::span<Event* const>(set)
                                                       : std::span<Event* const>(set + 1, 1);
            const int r = WaitAny(events, -1);
            if (stop != nullptr && r == 0) {
                return 0;
            }
            if (r == kWaitFailed) {
                return -1;
            }
        }
    }

private:
    void Run() {
        const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
        char buf[64];
        for (;;) {
            DWORD n = 0;
            const bool ok = in != nullptr && in != INVALID_HANDLE_VALUE &&
                            ReadFile(in, buf, sizeof buf, &n, nullptr) && n > 0;
            std::lock_guard<std::mutex> lock(m_lock);
            if (!ok) {
                m_ended = true;
                m_arrived.Set();
                return;
            }
            m_bytes.insert(m_bytes.end(), buf, buf + n);
            m_arrived.Set();
        }
    }

    std::mutex m_lock;
    std::deque<char> m_bytes;
    bool m_ended = false;
    Event m_arrived{Event::Mode::Auto};
};

} // namespace

void PrepareConsole() {
    SetConsoleOutputCP(CP_UTF8);
}

bool StderrIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

int ReadStdinByte(const Event* stop, char* c) {
    // Started at the first question, never before: a run that asks nothing
    // leaves standard input alone.
    static StdinPump* pump = new StdinPump;
    return pump->Take(stop, c);
}

} // namespace norva
