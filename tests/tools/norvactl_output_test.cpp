// What norvactl prints: the version, the JSON object every outcome shares,
// the messages for a status that was not read, and the line transcript.

#include "NorvactlRun.h"
#include "support/ScriptedPeer.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace norva {
namespace {

using test::Contains;
using test::Norvactl;
using test::ScriptedPeer;
using test::ToolRun;

const char* const kOk = "\r\nOK\r\n";
const char* const kStatusLine = "\r\n0012A1000001,Norva-BX01,MODE0,STANDBY,0,0,HWFC\r\n";

TEST(NorvactlCommandLine, VersionIsTheProjectVersion) {
    const ToolRun run = Norvactl({"--version"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, std::string("norvactl ") + NORVA_VERSION + "\n");
}

// Scripts read the same keys whatever happened; module texts that are not
// UTF-8 must not make the object unreadable.
TEST(NorvactlJson, EveryOutcomeIsOneValidObjectWithTheSameKeys) {
    const std::set<std::string> keys = {"command", "ok",     "exit",        "error",
                                        "job",     "result", "result_name", "status",
                                        "devices", "value",  "ports",       "time_limit_reached",
                                        "setting", "pairs",  "traits"};
    ScriptedPeer peer;
    ASSERT_TRUE(peer.Ok());
    const std::string badName = "\xff\xe4";
    peer.Answer("ATS24=10\r", {kOk});
    peer.Answer("AT+BTINQ?\r", {"\r\n0012A1000009," + badName + ",240404\r\n" + kOk});
    peer.Answer("AT\r", {kOk});
    peer.Answer("AT+BTINFO?\r",
                {"\r\n0012A1000001," + badName + ",MODE0,STANDBY,0,0,HWFC\r\n" + kOk});
    peer.Answer("ATS12?\r", {"\r\n7\r\n" + std::string(kOk)});

    const std::vector<std::vector<std::string>> runs = {
        {"inquiry", "--json", "--device", peer.Path()},
        {"status", "--json", "--device", peer.Path()},
        {"read-sreg", "--json", "--device", peer.Path(), "12"},
        {"probe", "--json", "--device", peer.Path(), "--baud", "115200"}, // no rule left: silent
        {"ports", "--json"},
        {"status", "--json", "--device", "/nonexistent/ttyNorva0"},
        {"--json", "status", "--no-such-option"},
        {"--json"},
    };
    std::vector<nlohmann::json> objects;
    for (const auto& args : runs) {
        const ToolRun run = Norvactl(args);
        ASSERT_EQ(run.out.find('\n'), run.out.size() - 1) << args[0] << "\n" << run.out;
        nlohmann::json j;
        ASSERT_NO_THROW(j = nlohmann::json::parse(run.out)) << args[0] << "\n" << run.out;
        std::set<std::string> seen;
        for (const auto& item : j.items()) {
            seen.insert(item.key());
        }
        EXPECT_EQ(seen, keys) << run.out;
        EXPECT_EQ(j["exit"], run.exitCode) << run.out;
        EXPECT_EQ(j["ok"], run.exitCode == 0) << run.out;
        EXPECT_EQ(j["error"].is_null(), run.exitCode == 0) << run.out;
        objects.push_back(j);
    }
    EXPECT_EQ(objects[0]["devices"][0]["address"], "0012A1000009");
    EXPECT_EQ(objects[1]["status"]["address"], "0012A1000001");
    EXPECT_FALSE(objects[1]["status"]["name"].get<std::string>().empty());
    EXPECT_EQ(objects[2]["value"], "7");
    EXPECT_EQ(objects[3]["result_name"], "RC_TIMEOUT");
    EXPECT_TRUE(objects[4]["ports"].is_array());
    EXPECT_EQ(objects[5]["exit"], 3);
    EXPECT_EQ(objects[6]["command"], "status");
    EXPECT_EQ(objects[6]["exit"], 2);
    EXPECT_TRUE(objects[7]["command"].is_null());
}

// The examples in the command's documentation are what it prints: every
// complete one has the same keys, and a pair's units say what they were left
// with.
TEST(NorvactlJson, TheDocumentedExamplesHaveTheKeysThatAreWritten) {
    const std::set<std::string> keys = {"command", "ok",     "exit",        "error",
                                        "job",     "result", "result_name", "status",
                                        "devices", "value",  "ports",       "time_limit_reached",
                                        "setting", "pairs",  "traits"};
    std::ifstream docs(std::string(NORVA_DOCS_DIR) + "/norvactl.md");
    ASSERT_TRUE(docs.good());
    std::string line;
    int complete = 0;
    int pairs = 0;
    while (std::getline(docs, line)) {
        if (line.rfind("{\"command\":", 0) != 0) {
            continue;
        }
        if (line.find("\"pairs\":[") != std::string::npos) {
            ++pairs;
            for (const char* unit : {"\"unit1\":{", "\"unit2\":{"}) {
                const size_t at = line.find(unit);
                ASSERT_NE(at, std::string::npos) << line;
                // Before the next unit (or the verdict) begins.
                const size_t state = line.find("\"state\":{\"discoverable\":", at);
                const size_t next = line.find("\"unit", at + 1) != std::string::npos
                                        ? line.find("\"unit", at + 1)
                                        : line.find("\"verified\":", at);
                EXPECT_LT(state, next) << line;
            }
        }
        const nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
        if (j.is_discarded()) {
            continue; // shortened with an ellipsis
        }
        ++complete;
        std::set<std::string> seen;
        for (const auto& item : j.items()) {
            seen.insert(item.key());
        }
        EXPECT_EQ(seen, keys) << line;
    }
    EXPECT_GE(complete, 3);
    EXPECT_GE(pairs, 1);
}

// A status not read is explained by what the module did: refused twice is
// not silence, and a half answer that timed out is not a status.
TEST(NorvactlModule, StatusNotReadSaysWhatHappened) {
    ScriptedPeer refusing;
    ASSERT_TRUE(refusing.Ok());
    refusing.Answer("AT\r", {"\r\nERROR\r\n"}, 2);
    const ToolRun refused = Norvactl({"status", "--device", refusing.Path()});
    EXPECT_EQ(refused.exitCode, 1) << refused.err;
    EXPECT_TRUE(Contains(refused.out, "result: STATUS_NOT_READ (0)")) << refused.out;
    EXPECT_TRUE(Contains(refused.err, "answered ERROR")) << refused.err;
    EXPECT_FALSE(Contains(refused.err, "did not answer")) << refused.err;

    ScriptedPeer halfway;
    ASSERT_TRUE(halfway.Ok());
    halfway.Answer("AT\r", {kOk});
    halfway.Answer("AT+BTINFO?\r", {kStatusLine}); // the closing OK never comes
    const ToolRun timedOut = Norvactl({"status", "--device", halfway.Path()});
    EXPECT_EQ(timedOut.exitCode, 4) << timedOut.err;
    EXPECT_TRUE(Contains(timedOut.out, "result: RC_TIMEOUT (4)")) << timedOut.out;
    EXPECT_FALSE(Contains(timedOut.out, "address:")) << timedOut.out;
}

// A support case is replayed from the transcript: both directions, escaped,
// between the open and the close.
TEST(NorvactlTranscript, LogFileAndVerboseRecordTheLine) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.Ok());
    peer.Answer("AT\r", {kOk});
    const std::string log =
        testing::TempDir() + "norvactl-transcript-" + std::to_string(getpid()) + ".log";
    std::remove(log.c_str());
    const ToolRun run = Norvactl({"probe", "--device", peer.Path(), "--log", log, "-v"});
    EXPECT_EQ(run.exitCode, 0) << run.err;

    std::ifstream in(log);
    std::stringstream text;
    text << in.rdbuf();
    std::remove(log.c_str());
    for (const std::string& transcript : {text.str(), run.err}) {
        EXPECT_TRUE(Contains(transcript, " open " + peer.Path() + " 9600 ")) << transcript;
        EXPECT_TRUE(Contains(transcript, " > \"AT\\r\"\n")) << transcript;
        EXPECT_TRUE(Contains(transcript, " < \"\\r\\nOK\\r\\n\"\n")) << transcript;
        EXPECT_TRUE(Contains(transcript, " close " + peer.Path())) << transcript;
    }
    EXPECT_FALSE(Contains(run.out, " > ")) << run.out;
}

} // namespace
} // namespace norva
