#include "frontend/SheetStation.h"

#include "flow/PairingFlow.h"
#include "module/ModuleControl.h"
#include "platform/SerialDevice.h"
#include "res/strings/StringTable.h"
#include "station/Stamp.h"

#include "NorvaVersion.h"

#include <cstdio>

namespace norva {
namespace {

// Pages by index, as the wizard's steps.
constexpr int kScanPage = 1;   // unit 1 checked
constexpr int kSearchPage = 3; // unit 2 checked
constexpr int kSuccessPage = 5;
constexpr int kMode1Page = 7; // unit 2 stored
constexpr int kDonePage = 8;  // unit 1 stored

// The port is opened anew for each unit: an echo noted since is this unit's.
void NoteEcho(station::UnitRecord& unit, const CModuleControl& module) {
    unit.echo = unit.echo == "seen" || module.EchoSeen() ? "seen" : "none";
}

void ReadUnit(station::UnitRecord& unit, const std::string& address, const IWizardFacts& wizard) {
    unit.address = station::NormalAddress(address);
    if (const CModuleControl* module = wizard.ModuleRead()) {
        const ModuleInfoData status = module->LastStatus();
        unit.name = status.Name();
        unit.NoteStatusLine(status.m_bFlowReported);
        NoteEcho(unit, *module);
    }
}

void NoteApply(station::UnitRecord& unit, const IWizardFacts& wizard) {
    if (const CModuleControl* module = wizard.ModuleRead()) {
        NoteEcho(unit, *module);
        unit.uartArgs = module->LastApply().uartArgs;
    }
}

} // namespace

bool CSheetStation::Open(const StationOptions& options, std::string& error) {
    m_options = options;
    if (options.record.empty()) {
        return true;
    }
    station::RegisterTarget target;
    station::RegisterError failure;
    if (station::ParseTarget(options.record, target, failure.reason)) {
        m_register = station::Register::Open(target, failure);
    }
    if (!m_register) {
        error = station::Describe(target, "cannot be used", failure, false);
        return false;
    }
    return true;
}

void CSheetStation::Write() {
    if (!m_register || !m_begun) {
        return;
    }
    station::RegisterError error;
    const bool ok = m_ended ? m_register->Complete(m_record, m_options.repair, error)
                            : m_register->Progress(m_record, error);
    if (!ok && error.reason != m_lastError) {
        // The pairing goes on; the register's trouble is said once.
        m_lastError = error.reason;
        std::fprintf(
            stderr, "norvawizard: %s\n",
            station::Describe(m_register->Target(), "could not be written", error, false).c_str());
    }
}

void CSheetStation::Pressed(int index, const IWizardFacts& wizard) {
    if (index != 0 || m_begun) {
        return;
    }
    m_begun = true;
    m_record.station = station::HostName();
    m_record.tool = "norvawizard";
    m_record.toolVersion = NORVA_VERSION;
    m_record.operatorName = m_options.operatorName;
    m_record.step = 1;
    for (int i = 0; i < 2; ++i) {
        m_record.unit[i].port = "COM" + std::to_string(wizard.UnitSettingOf(i + 1).port);
    }
    m_record.pairName = m_record.unit[0].port == m_record.unit[1].port
                            ? m_record.unit[0].port
                            : m_record.unit[0].port + "+" + m_record.unit[1].port;
    if (m_register) {
        station::RegisterError error;
        if (!m_register->Begin(m_record, error)) {
            m_lastError = error.reason;
            std::fprintf(
                stderr, "norvawizard: %s\n",
                station::Describe(m_register->Target(), "could not be written", error, false)
                    .c_str());
            // The pairing goes on without the register.
            m_register.reset();
        }
    }
}

void CSheetStation::Arrived(int index, const IWizardFacts& wizard) {
    if (!m_begun || m_ended) {
        return;
    }
    m_record.step = std::max(m_record.step, index + 1);
    if (index == kScanPage) {
        ReadUnit(m_record.unit[0], wizard.Pairing().Unit1Address(), wizard);
    } else if (index == kSearchPage ||
               (index == kSuccessPage && m_record.unit[1].address.empty())) {
        ReadUnit(m_record.unit[1], wizard.Pairing().Unit2Address(), wizard);
    } else if (index == kMode1Page) {
        m_record.unit[1].uart = flow::UartText(wizard.StoredUart(2));
        m_record.unit[1].mode = 1;
        m_record.unit[1].configured = true;
        NoteApply(m_record.unit[1], wizard);
    } else if (index == kDonePage) {
        m_record.unit[0].uart = flow::UartText(wizard.StoredUart(1));
        m_record.unit[0].mode = 2;
        m_record.unit[0].configured = true;
        NoteApply(m_record.unit[0], wizard);
        m_record.outcome = station::SetUpOutcome(false); // until Verify proves it
        m_ended = true;
    }
    Write();
}

std::string CSheetStation::Refusal() {
    if (!m_register) {
        return {};
    }
    for (int i = 0; i < 2; ++i) {
        const std::string& unit = m_record.unit[i].address;
        const std::string& other = m_record.unit[1 - i].address;
        if (unit.empty() || other.empty() || m_options.repair) {
            continue;
        }
        station::RegisterError error;
        const std::optional<station::PairHolding> held = m_register->HoldingOf(unit, error);
        if (held && held->partner != other) {
            m_refused = true;
            return FormatString(IDS_PAIR_REFUSED, {"Norva-BX0" + std::to_string(i + 1), unit,
                                                   station::DescribeHolding(*held)});
        }
    }
    return {};
}

void CSheetStation::Verified(const flow::VerifyResult& result) {
    if (!m_begun) {
        return;
    }
    for (const flow::UnitVerifyResult& u : result.units) {
        if (u.unit == 1 || u.unit == 2) {
            m_record.unit[u.unit - 1].verified = u.Verified();
            m_record.unit[u.unit - 1].restartMs = u.restartMs;
        }
    }
    m_record.verifyDetail = flow::DescribeVerifyResult(result);
    if (station::SetUp(m_record.outcome)) {
        m_record.outcome = station::SetUpOutcome(result.Verified());
    }
    if (m_register) {
        station::RegisterError error;
        if (!m_register->Update(m_record, error)) {
            std::fprintf(
                stderr, "norvawizard: %s\n",
                station::Describe(m_register->Target(), "could not be written", error, false)
                    .c_str());
        }
    }
}

void CSheetStation::Closed() {
    if (!m_begun || m_ended) {
        return;
    }
    m_ended = true;
    m_record.outcome = m_refused ? station::Outcome::Refused : station::Outcome::Cancelled;
    m_record.reason = m_refused ? "a unit is in another pair"
                                : "the wizard was closed at step " + std::to_string(m_record.step);
    Write();
}

std::string CSheetStation::TraitsText() const {
    std::string text;
    for (int i = 0; i < 2; ++i) {
        const station::UnitRecord& u = m_record.unit[i];
        if (u.echo.empty()) {
            continue; // not read
        }
        text += "traits: unit " + std::to_string(i + 1) + " " + u.address + ": echo " + u.echo +
                ", status line of " + std::to_string(u.statusFields) + " fields";
        if (u.uartArgs > 0) {
            text += ", UART command of " + std::to_string(u.uartArgs) + " arguments";
        }
        if (u.restartMs >= 0) {
            text += ", answered " + std::to_string(u.restartMs) + " ms after a restart";
        }
        text += "\n";
    }
    return text;
}

station::LabelContent CSheetStation::Label() const {
    return station::LabelFromRecord(m_record);
}

} // namespace norva
