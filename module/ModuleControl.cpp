// Lifecycle, job events, the wait primitive and the banners of the module
// controller. The transactions are in Transactions.cpp.

#include "module/ModuleControl.h"

#include "module/Catalogue.h"
#include "module/ReplyParser.h"

#include <chrono>
#include <system_error>

namespace norva {

CModuleControl::CModuleControl(IModuleHost* host) : m_hWndNotify(host) {
    CreateJobEvents();
}

CModuleControl::~CModuleControl() {
    ClosePort();
    StopWorker();
    HideCheckingBanner();
    HideApplyingBanner();
}

bool CModuleControl::CreateJobEvents() {
    for (int slot = 0; slot < kJobEventCount; ++slot) {
        auto event =
            std::make_unique<Event>(slot == EV_STOP ? Event::Mode::Manual : Event::Mode::Auto);
        if (!event->Valid()) {
            m_hJobEvents[slot].reset();
            if (m_hWndNotify != nullptr) {
                m_hWndNotify->ShowNotice(Notice::EventsNotCreated, nullptr);
            }
            return false;
        }
        m_hJobEvents[slot] = std::move(event);
    }
    return true;
}

void CModuleControl::SignalJob(int slot) {
    if (slot >= 0 && slot < kJobEventCount && m_hJobEvents[slot]) {
        m_hJobEvents[slot]->Set();
    }
}

void CModuleControl::Start(const JobRequest& request) {
    switch (request.job) {
    case Job::Connect:
        m_strTargetAddr.Set(request.address);
        break;
    case Job::ReadRegister:
        m_nSRegNo.store(request.sRegister);
        break;
    case Job::SetMode:
        m_nModeToSet.store(request.mode);
        break;
    case Job::Scan:
        m_scan.Set(request.scan);
        break;
    case Job::Disconnect:
        m_bApplyAfterHangUp.store(request.thenApply);
        break;
    default:
        break;
    }
    if (request.apply) {
        m_apply.Set(*request.apply);
    }
    SignalJob(SlotOf(request.job));
}

void CModuleControl::Abort() {
    SignalJob(EV_ABORT);
}

void CModuleControl::ClearAbort() {
    if (m_hJobEvents[EV_ABORT]) {
        m_hJobEvents[EV_ABORT]->Reset();
    }
}

void CModuleControl::Stop() {
    SignalJob(EV_STOP);
}

void CModuleControl::PostOutcome(Job job, int code) {
    JobOutcome outcome;
    outcome.job = job;
    outcome.code = code;
    outcome.step = m_nCurOp.load();
    if (job == Job::Status && !StatusWasRead(code)) {
        outcome.statusFailure = m_nStatusFailure.load();
    }
    m_outcome.Set(outcome);
    if (m_hWndNotify != nullptr) {
        m_hWndNotify->PostJobResult(code, IdOf(job));
    }
}

bool CModuleControl::PortOpen() const {
    return m_port.m_bOpen.load() != 0;
}

int CModuleControl::PortNumber() const {
    return m_port.m_nPort;
}

std::string CModuleControl::DevicePath() const {
    return m_port.DevicePath();
}

OsError CModuleControl::LastOpenError() const {
    return m_port.LastOpenError();
}

bool CModuleControl::HungUp() const {
    return m_port.HungUp();
}

std::string CModuleControl::GoneReason() const {
    return m_port.GoneReason();
}

void CModuleControl::SleepUnlessGone(int ms) const {
    SleepUnlessSet(m_port.GoneEvent(), ms);
}

void CModuleControl::SetTranscript(ITranscript* transcript) {
    m_port.SetTranscript(transcript);
}

std::string CModuleControl::TakeReceived() {
    std::string text;
    char buf[CRxBuffer::kCapacity];
    CRxBuffer& rx = m_port.m_rxBuffer;
    for (int n = rx.GetCount(); n > 0; n = rx.GetCount()) {
        const int take = n < static_cast<int>(sizeof buf) ? n : static_cast<int>(sizeof buf);
        const int got = rx.Read(buf, take);
        if (got <= 0) {
            break;
        }
        text.append(buf, static_cast<size_t>(got));
    }
    return text;
}

bool CModuleControl::SendRaw(std::string_view bytes) {
    return m_port.Write(bytes.data(), static_cast<int>(bytes.size())) == bytes.size();
}

UnitLineEvent CModuleControl::WaitOnUnits(const std::vector<CModuleControl*>& units,
                                          const Event* stop, int timeoutMs) {
    // The stop comes first, then each unit's data before its hang-up, so
    // that bytes which made it through are still taken.
    std::vector<Event*> events;
    std::vector<UnitLineEvent> meaning;
    if (stop != nullptr) {
        events.push_back(const_cast<Event*>(stop));
        meaning.push_back({UnitLineEvent::Kind::Stopped});
    }
    for (size_t i = 0; i < units.size(); ++i) {
        Event* const data = units[i]->m_port.m_hDataEvent.get();
        Event* const gone = units[i]->m_port.GoneEvent();
        if (data != nullptr && gone != nullptr) {
            events.insert(events.end(), {data, gone});
            meaning.insert(meaning.end(),
                           {{UnitLineEvent::Kind::Data, i}, {UnitLineEvent::Kind::Gone, i}});
        }
    }
    const int r = WaitAny(events, timeoutMs);
    if (r == kWaitTimeout) {
        return {UnitLineEvent::Kind::Timeout};
    }
    if (r < 0 || static_cast<size_t>(r) >= meaning.size()) {
        return {UnitLineEvent::Kind::Failed};
    }
    return meaning[static_cast<size_t>(r)];
}

void CModuleControl::ApplyLineSettings(uint32_t baud, uint8_t stopBits, uint8_t parity) {
    LineSettings* dcb = m_port.GetDCB();
    dcb->BaudRate = baud;
    dcb->StopBits = stopBits;
    dcb->Parity = parity;
}

int CModuleControl::OpenPort(int nPort, uint32_t baud, uint8_t stopBits, uint8_t parity) {
    ApplyLineSettings(baud, stopBits, parity);
    if (!m_port.Open(nPort)) {
        return 0;
    }
    return AfterOpen();
}

int CModuleControl::OpenPortPath(const std::string& path, uint32_t baud, uint8_t stopBits,
                                 uint8_t parity) {
    ApplyLineSettings(baud, stopBits, parity);
    if (!m_port.OpenPath(path)) {
        return 0;
    }
    return AfterOpen();
}

int CModuleControl::AfterOpen() {
    // What an apply on an earlier open was acknowledged for, and an echo
    // seen then, are another unit's.
    m_applyReport.Set({});
    m_bEchoSeen.store(false);
    // A worker left over from a port closed behind our back must end before
    // the events are reset, or it would never see its stop.
    StopWorker();
    for (auto& event : m_hJobEvents) {
        if (event) {
            event->Reset();
        }
    }
    if (m_port.m_hDataEvent) {
        m_port.m_hDataEvent->Reset();
    }
    m_port.m_rxBuffer.Clear();
    // The old worker has been joined: nothing it posts can carry this number.
    m_nGeneration.fetch_add(1);
    return StartWorker();
}

void CModuleControl::TalkDirectly() {
    StopWorker();
    if (m_hJobEvents[EV_STOP]) {
        m_hJobEvents[EV_STOP]->Reset();
    }
}

int CModuleControl::StartWorker() {
    // A worker that stopped itself has ended or is ending: collect it first.
    if (m_pWorkerThread.joinable() && m_pWorkerThread.get_id() != std::this_thread::get_id()) {
        m_pWorkerThread.join();
    }
    // Running before the thread exists, so the worker never sees it unset.
    m_bWorkerRunning.store(1);
    try {
        m_pWorkerThread = std::thread(DeviceJobThread, this);
    } catch (const std::system_error&) {
        m_bWorkerRunning.store(0);
        return 0;
    }
    return 1;
}

void CModuleControl::StopWorker() {
    if (m_bWorkerRunning.exchange(0) != 0) {
        SignalJob(EV_STOP);
    }
    // Every wait of the worker watches EV_STOP and the host's message boxes
    // return on it, so the join is bounded; a thread cannot be killed safely.
    // Called on the worker itself (from a host callback) it only asks the
    // worker to end; the thread is joined by the next start or stop made
    // elsewhere, never detached.
    if (m_pWorkerThread.joinable() && m_pWorkerThread.get_id() != std::this_thread::get_id()) {
        m_pWorkerThread.join();
    }
}

void CModuleControl::ClosePort() {
    StopWorker();
    m_port.Close();
}

int CModuleControl::WaitForData(uint8_t* dest, int maxCount, int timeoutMs) {
    if (dest == nullptr || maxCount <= 0) {
        return 0;
    }
    std::lock_guard<std::mutex> lock(m_waitLock);
    Event* const stop = m_hJobEvents[EV_STOP].get();
    Event* const abort = m_hJobEvents[EV_ABORT].get();
    Event* const data = m_port.m_hDataEvent.get();
    Event* const gone = m_port.GoneEvent();
    if (stop == nullptr || abort == nullptr) {
        return 0;
    }
    // Data comes before the hang-up so that a reply that made it through is
    // still matched. A port never opened has neither.
    Event* const waitOn[] = {stop, abort, data, gone};
    const std::span<Event* const> events(waitOn, data != nullptr && gone != nullptr ? 4 : 2);

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        int waitMs = -1;
        if (timeoutMs >= 0) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            waitMs = left > 0 ? static_cast<int>(left) : 0;
        }
        const int r = WaitAny(events, waitMs);
        if (r == 0) {
            return -1;
        }
        if (r == 1) {
            return -2;
        }
        if (r == 3) {
            // The event is manual-reset: any later wait sees it too. Bytes
            // the reader stored before the hang-up still come first.
            if (m_port.m_rxBuffer.GetCount() == 0) {
                return -3;
            }
        } else if (r != 2) {
            return 0; // time-out or a failed wait
        }
        int got = 0;
        for (;;) {
            const int count = m_port.m_rxBuffer.GetCount();
            if (count == 0 || got >= maxCount) {
                break;
            }
            const int want = count < maxCount - got ? count : maxCount - got;
            const int taken = m_port.m_rxBuffer.Read(dest + got, want);
            if (taken <= 0) {
                break;
            }
            got += taken;
        }
        if (got > 0) {
            // Bytes left behind by a full wait must not wait for the next
            // chunk to be seen.
            if (data != nullptr && m_port.m_rxBuffer.GetCount() > 0) {
                data->Set();
            }
            m_nBytesTaken.fetch_add(static_cast<uint64_t>(got));
            return got;
        }
        // The event outran the bytes (a flush raced the reader): wait on for
        // the rest of the time-out instead of calling it one.
        if (timeoutMs >= 0 && Clock::now() >= deadline) {
            return 0;
        }
    }
}

int CModuleControl::Pause(int ms) {
    Event* const stop = m_hJobEvents[EV_STOP].get();
    Event* const abort = m_hJobEvents[EV_ABORT].get();
    Event* const gone = m_port.GoneEvent();
    if (stop == nullptr || abort == nullptr) {
        SleepUnlessSet(nullptr, ms);
        return RC_OK;
    }
    Event* const waitOn[] = {stop, abort, gone};
    const int r = WaitAny(std::span<Event* const>(waitOn, gone != nullptr ? 3 : 2), ms);
    switch (r) {
    case 0:
        return RC_STOPPED;
    case 1:
        return RC_ABORTED;
    case 2:
        return RC_DEVICE_GONE;
    default:
        return m_port.HungUp() ? RC_DEVICE_GONE : RC_OK;
    }
}

void CModuleControl::ShowCheckingBanner() {
    if (m_bCheckingShown.exchange(true)) {
        return;
    }
    if (m_hWndNotify != nullptr) {
        m_hWndNotify->ShowBanner(Banner::Checking);
    }
    SleepUnlessSet(JobEvent(EV_STOP), catalogue::kBannerPauseMs);
}

void CModuleControl::HideCheckingBanner() {
    if (m_bCheckingShown.exchange(false) && m_hWndNotify != nullptr) {
        m_hWndNotify->HideBanner(Banner::Checking);
    }
}

void CModuleControl::ShowApplyingBanner() {
    if (m_bApplyingShown.exchange(true)) {
        return;
    }
    if (m_hWndNotify != nullptr) {
        m_hWndNotify->ShowBanner(Banner::Applying);
    }
    // Gives the banner time to paint before the first command goes out.
    SleepUnlessSet(JobEvent(EV_STOP), catalogue::kBannerPauseMs);
}

void CModuleControl::HideApplyingBanner() {
    if (m_bApplyingShown.exchange(false) && m_hWndNotify != nullptr) {
        m_hWndNotify->HideBanner(Banner::Applying);
    }
}

void CModuleControl::OnInquiryResult(const std::string& line) {
    const std::optional<InquiryRow> row = ParseInquiryLine(line);
    if (row && m_hWndNotify != nullptr) {
        m_hWndNotify->AddDeviceRow(row->address, row->name, row->classOfDevice);
    }
}

} // namespace norva
