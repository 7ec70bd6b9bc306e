#include "tools/PairRecording.h"

#include "platform/ComMap.h"
#include "platform/PortDetails.h"
#include "platform/SystemDirs.h"
#include "station/Stamp.h"
#include "tools/PairSetup.h"

#ifndef NORVA_VERSION
#define NORVA_VERSION "unknown"
#endif

namespace norva::tools {

std::string StablePath(int comPort, const std::string& device) {
    const std::string path = device.empty() ? ComDevicePath(comPort) : device;
    const std::string link = FindByIdLink(path, ByIdDir());
    return link.empty() ? path : link;
}

std::unique_ptr<PairRecorder> PairRecorder::Open(const StationArgs& args,
                                                 const std::string& logPath, bool verify,
                                                 bool verbose, std::string& error) {
    station::RegisterTarget target;
    station::RegisterError failure;
    if (!station::ParseTarget(args.record, target, failure.reason)) {
        error = station::Describe(target, "cannot be used", failure, verbose);
        return nullptr;
    }
    std::unique_ptr<PairRecorder> recorder(new PairRecorder);
    recorder->m_register = station::Register::Open(target, failure);
    if (!recorder->m_register) {
        error = station::Describe(target, "cannot be used", failure, verbose);
        return nullptr;
    }
    recorder->m_args = args;
    recorder->m_logPath = logPath;
    recorder->m_verify = verify;
    recorder->m_verbose = verbose;
    return recorder;
}

void PairRecorder::Failed(const station::RegisterError& error) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_failure.empty()) {
        m_failure =
            station::Describe(m_register->Target(), "could not be written", error, m_verbose) +
            "; the pairing's result above is not recorded in full";
    }
}

std::string PairRecorder::Failure() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_failure;
}

PairRecording::PairRecording(PairRecorder& recorder, const PairSetup& setup)
    : m_recorder(recorder) {
    for (int i = 0; i < 2; ++i) {
        m_device[i] = StablePath(setup.line[i].port, setup.line[i].device);
    }
}

void PairRecording::Start(station::AttemptRecord& attempt) {
    attempt.station = station::HostName();
    attempt.tool = "norvactl";
    attempt.toolVersion = NORVA_VERSION;
    attempt.operatorName = m_recorder.Args().operatorName;
    attempt.transcript = m_recorder.LogPath();
    for (int i = 0; i < 2; ++i) {
        attempt.unit[i].device = m_device[i];
    }
    station::RegisterError error;
    m_started = m_recorder.Register().Begin(attempt, error);
    if (!m_started) {
        m_recorder.Failed(error);
    }
}

PairRecording::Verdict PairRecording::Triage(const std::string& address1,
                                             const std::string& address2, std::string& why) {
    const std::string address[2] = {station::NormalAddress(address1),
                                    station::NormalAddress(address2)};
    std::optional<station::PairHolding> held[2];
    for (int i = 0; i < 2; ++i) {
        if (address[i].empty()) {
            continue;
        }
        station::RegisterError error;
        held[i] = m_recorder.Register().HoldingOf(address[i], error);
        if (!error.Empty()) {
            m_recorder.Failed(error);
        }
    }
    if (!address[0].empty() && !address[1].empty() && held[0] && held[0]->partner == address[1] &&
        m_recorder.Args().skipDone && (!m_recorder.Verify() || held[0]->verified)) {
        why = "already paired (attempt " + std::to_string(held[0]->attemptId) + ", " +
              held[0]->pairedAt.substr(0, 10) + " on " + held[0]->station +
              (held[0]->verified ? ", verified)" : ")");
        return Verdict::Skip;
    }
    for (int i = 0; i < 2; ++i) {
        // Undecided until the other unit is known: it may be the partner.
        if (!held[i] || address[1 - i].empty() || held[i]->partner == address[1 - i]) {
            continue;
        }
        if (m_recorder.Args().repair) {
            // The module of the old pair still dials or waits for this unit:
            // only its operator can clear that, so they must be told.
            const station::PairHolding& h = *held[i];
            m_leftBehind[h.partner] =
                h.partner + (h.partnerName.empty() ? "" : " (" + h.partnerName + ")") +
                ", the old partner of unit " + std::to_string(i + 1) + " " + address[i] +
                ", still stores auto-connect to it: pair it anew, or clear it on its own cable "
                "with: norvactl set-mode 0 --port COMn";
            continue;
        }
        why = "unit " + std::to_string(i + 1) + " " + address[i] + " is in " +
              station::DescribeHolding(*held[i]) + "; pair it anew with --repair";
        return Verdict::Refuse;
    }
    return Verdict::Go;
}

void PairRecording::Update(const station::AttemptRecord& attempt) {
    if (!m_started) {
        return;
    }
    station::RegisterError error;
    if (!m_recorder.Register().Progress(attempt, error)) {
        m_recorder.Failed(error);
    }
}

std::string PairRecording::End(station::AttemptRecord& attempt) {
    if (!m_started) {
        return {};
    }
    station::RegisterError error;
    if (!m_recorder.Register().Complete(attempt, m_recorder.Args().repair, error)) {
        m_recorder.Failed(error);
        return {};
    }
    if (!attempt.Ok()) {
        return {};
    }
    // A pair the register could not take as it stands says why in its reason.
    std::string notes = attempt.reason;
    for (const auto& [address, note] : m_leftBehind) {
        notes += (notes.empty() ? "" : "\n") + ("note: " + note);
    }
    return notes;
}

} // namespace norva::tools
