#include "module/JobWait.h"

#include "module/ModuleControl.h"

#include <algorithm>
#include <array>
#include <chrono>

namespace norva {

void JobResultQueue::Post(int code, int jobId) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_results.push_back({code, jobId});
    m_ready.Set();
}

std::optional<JobResult> JobResultQueue::Take() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_results.empty()) {
        m_ready.Reset();
        return std::nullopt;
    }
    JobResult r = m_results.front();
    m_results.pop_front();
    if (m_results.empty()) {
        m_ready.Reset();
    }
    return r;
}

void JobResultQueue::Clear() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_results.clear();
    m_ready.Reset();
}

JobWaitEnd AwaitJob(CModuleControl& module, JobResultQueue& results, const std::vector<int>& jobIds,
                    const JobWaitRules& rules) {
    using Clock = std::chrono::steady_clock;
    using std::chrono::milliseconds;
    const Clock::time_point start = Clock::now();
    const auto asked = [](const std::function<bool()>& f) { return f && f(); };
    std::optional<Clock::time_point> abortedAt;
    Clock::time_point lastAbort;
    JobWaitEnd end;
    std::array<Event*, 2> events{results.Ready(), rules.wake};
    const size_t eventCount = rules.wake != nullptr ? 2 : 1;
    for (;;) {
        const Clock::time_point now = Clock::now();
        const bool interrupted = asked(rules.interrupted);
        if (!abortedAt &&
            (interrupted || (rules.limitMs >= 0 && now - start >= milliseconds(rules.limitMs)))) {
            end.limitReached = !interrupted;
            abortedAt = now;
            lastAbort = now;
            module.Abort();
        }
        if (abortedAt) {
            if (asked(rules.giveUp) || now - *abortedAt >= milliseconds(rules.abortGraceMs)) {
                module.StopWorker();
                return end;
            }
            if (now - lastAbort >= milliseconds(JobWaitRules::kAbortRepeatMs)) {
                lastAbort = now;
                module.Abort();
            }
        }
        int waitMs = -1;
        if (abortedAt) {
            waitMs = JobWaitRules::kAbortRepeatMs;
        } else if (rules.limitMs >= 0) {
            const auto left =
                milliseconds(rules.limitMs) - std::chrono::duration_cast<milliseconds>(now - start);
            waitMs = static_cast<int>(std::max<long long>(0, left.count()));
        }
        if (WaitAny(std::span<Event* const>(events.data(), eventCount), waitMs) != 0) {
            continue;
        }
        while (std::optional<JobResult> r = results.Take()) {
            if (std::find(jobIds.begin(), jobIds.end(), r->jobId) == jobIds.end()) {
                continue;
            }
            if (abortedAt) {
                // Nothing of this job is left to abort: a repeat still
                // pending must not end the next job.
                module.ClearAbort();
            }
            end.result = r;
            return end;
        }
    }
}

JobWaitEnd RunJob(CModuleControl& module, JobResultQueue& results, const JobRequest& request,
                  const JobWaitRules& rules) {
    if (rules.interrupted && rules.interrupted()) {
        return {};
    }
    const int id = IdOf(request.job);
    if (module.HungUp()) {
        // Nothing can reach the module: the next job of a chain is not begun.
        return {JobResult{RC_DEVICE_GONE, id}, false};
    }
    // Results of earlier jobs that nobody read are not this job's.
    results.Clear();
    module.Start(request);
    return AwaitJob(module, results, {id}, rules);
}

} // namespace norva
