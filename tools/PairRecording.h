#pragma once
// `norvactl pair --record`: each pair's attempt in the register, from before
// its first command to its end, and the triage of units the register holds
// in other pairs. The pair command opens the register once; each pair's run
// holds a PairRecording and calls it at its start, as units are read, and at
// its end.

#include "station/Register.h"
#include "tools/StationArgs.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace norva::tools {

struct PairSetup;

class PairRecorder {
public:
    // Opens the register before anything is sent to a module; null with
    // `error` ("the register … cannot be used: …") when it cannot be written.
    // With `verbose` its messages add the database's own text.
    static std::unique_ptr<PairRecorder> Open(const StationArgs& args, const std::string& logPath,
                                              bool verify, bool verbose, std::string& error);

    station::Register& Register() { return *m_register; }
    const StationArgs& Args() const { return m_args; }
    const std::string& LogPath() const { return m_logPath; }
    bool Verify() const { return m_verify; }
    // A write that failed during the run; the first one is kept.
    void Failed(const station::RegisterError& error);
    std::string Failure() const;

private:
    PairRecorder() = default;
    std::unique_ptr<station::Register> m_register;
    StationArgs m_args;
    std::string m_logPath;
    bool m_verify = false;
    bool m_verbose = false;
    mutable std::mutex m_lock;
    std::string m_failure;
};

class PairRecording {
public:
    enum class Verdict { Go, Refuse, Skip };

    PairRecording(PairRecorder& recorder, const PairSetup& setup);

    // Stamps the run's attempt with the station, the tool and the stable
    // paths of its ports, and writes it as under way, before the pair's first
    // command (the register gives it its id and start).
    void Start(station::AttemptRecord& attempt);
    // The units known so far (an address may be empty): Refuse when one is
    // in a completed pair with another unit (and no --repair), Skip when
    // --skip-done finds both paired to each other. `why` says which pair.
    Verdict Triage(const std::string& address1, const std::string& address2, std::string& why);
    // What the run knows now.
    void Update(const station::AttemptRecord& attempt);
    // The end, with its outcome. Returns what the register adds (another
    // station paired a unit meanwhile; what an old partner replaced by
    // --repair still stores), or "".
    std::string End(station::AttemptRecord& attempt);

private:
    PairRecorder& m_recorder;
    std::string m_device[2];
    // --repair: the units' old partners outside this pair, by address.
    std::map<std::string, std::string> m_leftBehind;
    bool m_started = false;
};

// The stable path of a port: its /dev/serial/by-id link where there is one,
// else the device it maps to.
std::string StablePath(int comPort, const std::string& device);

} // namespace norva::tools
