#include "tools/StationArgs.h"

#include "tools/Subcommand.h"

#include <cctype>
#include <chrono>
#include <string>
#include <utility>

namespace norva::tools {
namespace {

bool LabelPathOk(const std::string& path, const char* option, std::string& error) {
    const size_t dot = path.rfind('.');
    std::string ext = dot == std::string::npos ? std::string() : path.substr(dot);
    for (char& c : ext) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (ext != ".svg" && ext != ".zpl") {
        error = std::string(option) + " " + path +
                ": the label file must end in .svg (SVG) or .zpl (label printers)";
        return false;
    }
    return true;
}

int Number(const std::string& text, size_t at, size_t digits) {
    return std::stoi(text.substr(at, digits));
}

// YYYY-MM-DD, or a full UTC time as the register writes it; the date must be
// one the calendar has, or a typo would quietly list nothing.
bool DateOk(const std::string& text) {
    const std::string pattern = text.size() == 20 ? "dddd-dd-ddTdd:dd:ddZ" : "dddd-dd-dd";
    if (text.size() != pattern.size()) {
        return false;
    }
    for (size_t i = 0; i < pattern.size(); ++i) {
        const bool digit = std::isdigit(static_cast<unsigned char>(text[i])) != 0;
        if ((pattern[i] == 'd') != digit || (!digit && text[i] != pattern[i])) {
            return false;
        }
    }
    const std::chrono::year_month_day date{std::chrono::year(Number(text, 0, 4)),
                                           std::chrono::month(Number(text, 5, 2)),
                                           std::chrono::day(Number(text, 8, 2))};
    if (!date.ok()) {
        return false;
    }
    return text.size() == 10 ||
           (Number(text, 11, 2) < 24 && Number(text, 14, 2) < 60 && Number(text, 17, 2) < 60);
}

bool RegisterGiven(const StationArgs& a, std::string& error) {
    if (a.record.empty()) {
        error = "no register given: use --record FILE or --record postgresql://…";
        return false;
    }
    return true;
}

} // namespace

void AddRecordOption(Subcommand& sub, StationArgs& s) {
    sub.add_option("--record", s.record, "the register: a SQLite file or a postgresql:// database")
        .type_name("TARGET")
        .group(kStationGroup);
}

void AddRegisterVerbose(Subcommand& sub, CommonOptions& common) {
    sub.add_flag("-v,--verbose", common.verbose, "add the database's own message to an error")
        .group(kOutputGroup);
}

bool StationVerifies(const StationArgs& a) {
    return (!a.record.empty() || !a.labelPath.empty()) && !a.noVerify;
}

bool CheckStationPairArgs(const StationArgs& a, bool verify, std::string& error) {
    if (a.noVerify && verify) {
        error = "--no-verify and --verify exclude each other";
        return false;
    }
    if (a.noVerify && a.record.empty() && a.labelPath.empty()) {
        error = "--no-verify goes with --record or --label: without them nothing is verified "
                "unless --verify is given";
        return false;
    }
    if (a.record.empty()) {
        for (const auto& [given, name] :
             {std::pair{a.repair, "--repair"}, std::pair{a.skipDone, "--skip-done"},
              std::pair{!a.operatorName.empty(), "--operator"}}) {
            if (given) {
                error = std::string(name) + " needs --record: the register decides it";
                return false;
            }
        }
    }
    return a.labelPath.empty() || LabelPathOk(a.labelPath, "--label", error);
}

bool CheckRecordsArgs(const StationArgs& a, bool json, std::string& error) {
    if (!RegisterGiven(a, error)) {
        return false;
    }
    if (a.csv && json) {
        error = "give either --csv or --json, not both";
        return false;
    }
    if (!a.since.empty() && !DateOk(a.since)) {
        error = "--since " + a.since + ": give a date as YYYY-MM-DD (UTC)";
        return false;
    }
    return true;
}

bool CheckLabelArgs(const StationArgs& a, std::string& error) {
    if (!RegisterGiven(a, error)) {
        return false;
    }
    if (a.unit.empty() || a.out.empty()) {
        error = "give the unit (--unit ADDRESS) and the label file (--out FILE)";
        return false;
    }
    return LabelPathOk(a.out, "--out", error);
}

} // namespace norva::tools
