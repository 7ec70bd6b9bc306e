// The in-memory transcript: the lines of the file transcript, bounded, and
// safe with the reader and the writing thread recording at once.

#include "serial/TranscriptBuffer.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace norva {
namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST(TranscriptBuffer, KeepsTheFileTranscriptsLinesAndDropsTheOldestBeyondItsLimit) {
    CTranscriptBuffer log(300);
    log.OnOpen("/dev/pts/9", "9600 8N1");
    const uint8_t at[] = {'A', 'T', '\r'};
    log.OnSent(at, sizeof at);
    const std::vector<std::string> first = Lines(log.Text());
    ASSERT_EQ(first.size(), 2u);
    EXPECT_NE(first[0].find(" open /dev/pts/9 9600 8N1"), std::string::npos) << first[0];
    EXPECT_NE(first[1].find(" > \"AT\\r\""), std::string::npos) << first[1];

    const uint8_t ok[] = {'\r', '\n', 'O', 'K', '\r', '\n'};
    for (int i = 0; i < 40; ++i) {
        log.OnReceived(ok, sizeof ok);
    }
    EXPECT_LE(log.Bytes(), 300u);
    EXPECT_GT(log.DroppedLines(), 0u);
    const std::vector<std::string> kept = Lines(log.Text());
    EXPECT_EQ(kept.front(), "# " + std::to_string(log.DroppedLines()) + " older lines dropped");
    EXPECT_EQ(kept.size() - 1 + log.DroppedLines(), 42u);
    EXPECT_NE(kept.back().find(" < \"\\r\\nOK\\r\\n\""), std::string::npos) << kept.back();
}

// Run under ThreadSanitizer this is the race check; every build checks that
// no line is torn or lost.
TEST(TranscriptBuffer, TwoRecordingThreadsAndAReaderLoseNoLine) {
    constexpr int kPerThread = 2000;
    CTranscriptBuffer log;
    const uint8_t sent[] = {'A', 'T', '+', 'B', 'T', 'I', 'N', 'F', 'O', '?', '\r'};
    const uint8_t got[] = {'\r', '\n', 'O', 'K', '\r', '\n'};
    std::thread writer([&] {
        for (int i = 0; i < kPerThread; ++i) {
            log.OnSent(sent, sizeof sent);
        }
    });
    std::thread reader([&] {
        for (int i = 0; i < kPerThread; ++i) {
            log.OnReceived(got, sizeof got);
        }
    });
    size_t seen = 0;
    for (int i = 0; i < 50; ++i) {
        seen = std::max(seen, Lines(log.Text()).size());
    }
    writer.join();
    reader.join();
    const std::vector<std::string> lines = Lines(log.Text());
    EXPECT_EQ(lines.size(), 2u * kPerThread);
    EXPECT_LE(seen, lines.size());
    for (const std::string& line : lines) {
        const bool isSent = line.find(" > \"AT+BTINFO?\\r\"") != std::string::npos;
        const bool isGot = line.find(" < \"\\r\\nOK\\r\\n\"") != std::string::npos;
        ASSERT_TRUE(isSent != isGot) << line;
    }
    EXPECT_EQ(log.DroppedLines(), 0u);
}

} // namespace
} // namespace norva
