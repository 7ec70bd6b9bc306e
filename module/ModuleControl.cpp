// Lifecycle, job events, the wait primitive and the banners of the module
// controller. The transactions are in Transactions.cpp.

#include "module/ModuleControl.h"

#include "module/Catalogue.h"
#include "module/ReplyParser.h"
#include "res/strings/StringTable.h"

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
                m_hWndNotify->ShowMessageBox(kCreateEventFailedText, nullptr);
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
    // What an apply on an earlier open was acknowledged for is another unit's.
    m_nApplyAcked.store(0);
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
            if (m_port.m_rxBuffer.GetCount() > 0) {
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
