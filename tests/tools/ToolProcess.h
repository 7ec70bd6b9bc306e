#pragma once
// Runs norvactl as a child process with its output captured, so that tests see
// exactly what a user or a script would: stdout, stderr and the exit status.

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace norva::test {

struct ToolRun {
    int exitCode = -1; // -1: killed after the time-out
    std::string out;
    std::string err;
};

class ToolProcess {
public:
    // `withInput`: standard input is a pipe the test writes with Input();
    // otherwise /dev/null.
    ToolProcess(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv = {},
                bool withInput = false) {
        int outPipe[2];
        int errPipe[2];
        int inPipe[2] = {-1, -1};
        if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0 ||
            (withInput && pipe2(inPipe, O_CLOEXEC) != 0)) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
        if (withInput) {
            posix_spawn_file_actions_adddup2(&actions, inPipe[0], STDIN_FILENO);
        } else {
            posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        }

        std::vector<std::string> argStore(args);
        std::vector<char*> argv;
        for (std::string& a : argStore) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        std::vector<std::string> envStore;
        for (char** e = environ; *e != nullptr; ++e) {
            envStore.emplace_back(*e);
        }
        envStore.insert(envStore.end(), extraEnv.begin(), extraEnv.end());
        std::vector<char*> envp;
        for (std::string& e : envStore) {
            envp.push_back(e.data());
        }
        envp.push_back(nullptr);

        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(outPipe[1]);
        close(errPipe[1]);
        m_out = outPipe[0];
        m_err = errPipe[0];
        if (withInput) {
            close(inPipe[0]);
            m_in = inPipe[1];
        }
    }
    ~ToolProcess() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            int status = 0;
            waitpid(m_pid, &status, 0);
        }
        for (int fd : {m_out, m_err, m_in}) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }
    ToolProcess(const ToolProcess&) = delete;
    ToolProcess& operator=(const ToolProcess&) = delete;

    bool Started() const { return m_pid > 0; }
    void Input(const std::string& text) {
        if (m_in >= 0 && write(m_in, text.data(), text.size()) < 0) {
            close(m_in);
            m_in = -1;
        }
    }
    // Reads what the child wrote to stderr until `part` appears or `timeoutMs`
    // passes; what was read stays for Finish.
    bool WaitForError(const std::string& part, int timeoutMs) {
        return WaitForAnyError({part}, timeoutMs) == 0;
    }
    // The index of the first of `parts` that appeared on stderr, -1 when none
    // did within `timeoutMs` or stderr ended.
    int WaitForAnyError(const std::vector<std::string>& parts, int timeoutMs) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            for (size_t i = 0; i < parts.size(); ++i) {
                if (m_early.find(parts[i]) != std::string::npos) {
                    return static_cast<int>(i);
                }
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now())
                                  .count();
            pollfd fd{m_err, POLLIN, 0};
            if (m_err < 0 || left <= 0 || poll(&fd, 1, static_cast<int>(left)) <= 0) {
                return -1;
            }
            ReadInto(fd, m_err, m_early); // closes m_err at the end of stderr
        }
    }
    void Signal(int sig) const {
        if (m_pid > 0) {
            kill(m_pid, sig);
        }
    }

    // Collects the output until the child exits; kills it after `timeoutMs`.
    ToolRun Finish(int timeoutMs) {
        ToolRun run;
        run.err = m_early;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        bool killed = false;
        while (m_out >= 0 || m_err >= 0) {
            pollfd fds[2] = {{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now())
                                  .count();
            if (left <= 0) {
                kill(m_pid, SIGKILL);
                killed = true;
                break;
            }
            if (poll(fds, 2, static_cast<int>(left)) < 0) {
                continue;
            }
            ReadInto(fds[0], m_out, run.out);
            ReadInto(fds[1], m_err, run.err);
        }
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
        if (!killed && WIFEXITED(status)) {
            run.exitCode = WEXITSTATUS(status);
        }
        return run;
    }

private:
    static void ReadInto(const pollfd& p, int& fd, std::string& into) {
        if (fd < 0 || (p.revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
            return;
        }
        char buf[4096];
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n > 0) {
            into.append(buf, static_cast<size_t>(n));
        } else {
            close(fd);
            fd = -1;
        }
    }

    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
    int m_in = -1;
    std::string m_early;
};

} // namespace norva::test
