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
    const flow::CPairingFlow& pairing = wizard.Pairing();
    auto unitOf = [&](int unit) {
        const UnitSetting line = wizard.UnitSettingOf(unit);
        const flow::UartChoice stored = wizard.StoredUart(unit);
        flow::UnitToVerify u;
        u.unit = unit;
        u.comPort = line.port;
        u.now = LineOf(line.baud, line.parity, line.stopBits);
        u.stored = LineOf(stored.baud, stored.parity, stored.stopBits);
        u.partner = unit == 1 ? pairing.Unit2Address() : pairing.Unit1Address();
        u.name = pairing.UnitName(unit);
        // Unit 1 waits for its partner (mode 2), unit 2 dials it (mode 1).
        u.askedMode = unit == 1 ? 2 : 1;
        u.askedFlow = stored.flowControl;
        return u;
    };
    if (wizard.UnitSettingOf(1).port == wizard.UnitSettingOf(2).port) {
        return {unitOf(1)};
    }
    return {unitOf(1), unitOf(2)};
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
