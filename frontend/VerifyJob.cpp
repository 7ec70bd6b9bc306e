#include "frontend/VerifyJob.h"

#include "flow/PairingFlow.h"
#include "res/strings/StringTable.h"

namespace norva {
namespace {

flow::VerifyLine LineOf(int baud, int parity, int stopBits) {
    return {baud, parity, stopBits};
}

} // namespace

std::vector<flow::UnitToVerify> UnitsToVerify(const IWizardFacts& wizard) {
    const UnitSetting s1 = wizard.UnitSettingOf(1);
    const UnitSetting s2 = wizard.UnitSettingOf(2);
    const flow::UartChoice stored1 = wizard.StoredUart(1);
    const flow::UartChoice stored2 = wizard.StoredUart(2);
    const flow::CPairingFlow& pairing = wizard.Pairing();
    flow::UnitToVerify u1;
    u1.unit = 1;
    u1.comPort = s1.port;
    u1.now = LineOf(s1.baud, s1.parity, s1.stopBits);
    u1.stored = LineOf(stored1.baud, stored1.parity, stored1.stopBits);
    u1.partner = pairing.Unit2Address();
    u1.name = pairing.UnitName(1);
    u1.askedMode = 2;
    u1.askedFlow = stored1.flowControl;
    if (s1.port == s2.port) {
        return {u1};
    }
    flow::UnitToVerify u2;
    u2.unit = 2;
    u2.comPort = s2.port;
    u2.now = LineOf(s2.baud, s2.parity, s2.stopBits);
    u2.stored = LineOf(stored2.baud, stored2.parity, stored2.stopBits);
    u2.partner = pairing.Unit1Address();
    u2.name = pairing.UnitName(2);
    u2.askedMode = 1;
    u2.askedFlow = stored2.flowControl;
    return {u1, u2};
}

std::string VerifyProgressText(int unit, flow::VerifyStep step) {
    // The one step that needs the person: switching the unit that is not on the cable.
    if (step == flow::VerifyStep::WaitingForPartner) {
        return LoadString(IDS_VERIFY_POWER_CYCLE);
    }
    return LoadString(IDS_VERIFY_PROGRESS) + "\nNorva-BX0" + std::to_string(unit);
}

std::string VerifyHeadline(const flow::VerifyResult& result) {
    return LoadString(result.Verified() ? IDS_VERIFY_PAIR_OK : IDS_VERIFY_PAIR_NOT);
}

std::string VerifyDetails(const flow::VerifyResult& result) {
    std::string details;
    for (const flow::UnitVerifyResult& u : result.units) {
        details += (details.empty() ? "" : "\n") + flow::DescribeUnitResult(u);
    }
    return details;
}

bool VerifyJob::Start(std::vector<flow::UnitToVerify> units, ITranscript* transcript,
                      Progress progress, Done done) {
    if (m_running) {
        return false;
    }
    if (m_thread.joinable()) {
        m_thread.join(); // the last check's thread has posted its result: it is ending
    }
    m_stop.Reset();
    m_running = true;
    m_thread = std::thread([this, units = std::move(units), transcript,
                            progress = std::move(progress), done = std::move(done)] {
        auto onStep = [this, &progress](int unit, flow::VerifyStep step) {
            if (step != flow::VerifyStep::Finished && progress) {
                m_post([progress, unit, step] { progress(unit, step); });
            }
        };
        flow::VerifyOptions options;
        options.transcript = transcript;
        // The dialog asks for the power cycle and offers Cancel while the link is awaited.
        options.askPartnerPowerCycle = [] { return true; };
        flow::VerifyResult result = flow::VerifyPair(units, &m_stop, onStep, options);
        m_post([this, result, done] {
            m_running = false;
            m_last = result;
            if (done) {
                done(result);
            }
        });
    });
    return true;
}

void VerifyJob::Shutdown() {
    m_stop.Set();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

} // namespace norva
