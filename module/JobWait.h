#pragma once
// Running a job and waiting for its result on the caller's own thread, for
// callers without an event loop (norvactl, the pairing run, tests): the
// results queue a host keeps, and one wait that limits and interrupts a job
// the same way everywhere.

#include "module/Catalogue.h"
#include "module/Job.h"
#include "platform/Event.h"

#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace norva {

class CModuleControl;

struct JobResult {
    int code = 0;
    int jobId = 0;
};

// Finished jobs' results, in order, from the worker to one waiting thread.
class JobResultQueue {
public:
    void Post(int code, int jobId);
    std::optional<JobResult> Take();
    void Clear();
    // Set while results wait in the queue.
    Event* Ready() { return &m_ready; }

private:
    std::mutex m_lock;
    std::deque<JobResult> m_results;
    Event m_ready{Event::Mode::Manual};
};

// How a wait ends a job that takes too long or is interrupted: the job is
// aborted, the abort repeated (an idle worker uses up one that comes just
// before the job begins), and after the grace the worker is stopped.
struct JobWaitRules {
    static constexpr int kAbortGraceMs = catalogue::kAbortGraceMs;
    static constexpr int kAbortRepeatMs = catalogue::kAbortRepeatMs;

    // From the start of the wait; -1 for none.
    int limitMs = -1;
    // Wakes the wait when an interruption may have come (may be null).
    Event* wake = nullptr;
    // Whether the user interrupted (null: never).
    std::function<bool()> interrupted;
    // Whether to stop the worker at once, without the grace (null: never).
    std::function<bool()> giveUp;
    int abortGraceMs = kAbortGraceMs;
};

struct JobWaitEnd {
    // The result that ended the wait; none when the worker was stopped.
    std::optional<JobResult> result;
    // The limit, not the user, ended the job.
    bool limitReached = false;
};

// Waits for a result with one of `jobIds` (results of other jobs are
// dropped). The job was started elsewhere (the pairing flow).
JobWaitEnd AwaitJob(CModuleControl& module, JobResultQueue& results, const std::vector<int>& jobIds,
                    const JobWaitRules& rules);

// Starts `request` and waits for its result under `rules`. A job is not
// begun once the user interrupted (no result) or the device is gone
// (RC_DEVICE_GONE at once).
JobWaitEnd RunJob(CModuleControl& module, JobResultQueue& results, const JobRequest& request,
                  const JobWaitRules& rules);

} // namespace norva
