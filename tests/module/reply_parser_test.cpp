// The splitter and the two line parsers on bytes alone.

#include "module/Protocol.h"
#include "module/ReplyParser.h"

#include <gtest/gtest.h>

#include <cstring>

#include <string>
#include <vector>

namespace norva {
namespace {

using namespace std::string_literals;

// Every token the scan takes (1-byte ones too), and what it leaves.
struct Split {
    std::vector<std::string> tokens;
    std::string rest;
};

Split SplitAll(const std::string& bytes) {
    Split out;
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    size_t pos = 0;
    while (pos < bytes.size()) {
        const uint8_t* end = NextToken(data + pos, data + bytes.size() - 1);
        if (end == nullptr) {
            break;
        }
        const size_t len = static_cast<size_t>(end - (data + pos));
        out.tokens.push_back(bytes.substr(pos, len));
        pos += len;
    }
    out.rest = bytes.substr(pos);
    return out;
}

using Tokens = std::vector<std::string>;

TEST(ReplySplitter, FramedLineIsOneTokenOnlyOnceItsClosingLfIsHeld) {
    const std::string ok = "\r\nOK\r\n";
    for (size_t held = 1; held < ok.size(); ++held) {
        const Split s = SplitAll(ok.substr(0, held));
        EXPECT_TRUE(s.tokens.empty()) << held << " bytes held";
        EXPECT_EQ(ok.substr(0, held), s.rest);
    }
    EXPECT_EQ(Tokens{ok}, SplitAll(ok).tokens);
}

TEST(ReplySplitter, FramedLinesFollowEachOther) {
    const Split s = SplitAll("\r\nOK\r\n\r\nCONNECT 001122334455\r\n\r\nCO");
    EXPECT_EQ((Tokens{"\r\nOK\r\n", "\r\nCONNECT 001122334455\r\n"}), s.tokens);
    EXPECT_EQ("\r\nCO", s.rest);
}

TEST(ReplySplitter, LoneCrAndLfAreOneByteTokens) {
    EXPECT_EQ((Tokens{"\n", "\r\nOK\r\n"}), SplitAll("\n\r\nOK\r\n").tokens);
    // CR not followed by LF, with enough bytes behind it to decide.
    EXPECT_EQ((Tokens{"\r", "\r\nOK\r\n"}), SplitAll("\r\r\nOK\r\n").tokens);
    // A framed start whose text holds a CR without LF falls apart.
    EXPECT_EQ((Tokens{"\r", "\n", "AB\r", "CD\r"}), SplitAll("\r\nAB\rCD\r\n").tokens);
}

TEST(ReplySplitter, EmptyFramePlusOneByteIsAFourByteToken) {
    EXPECT_TRUE(SplitAll("\r\n\r\n").tokens.empty());
    const Split s = SplitAll("\r\n\r\nX");
    EXPECT_EQ(Tokens{"\r\n\r\n"}, s.tokens);
    EXPECT_EQ("X", s.rest);
}

TEST(ReplySplitter, UnframedLineEndsAtItsCrOnceAByteFollows) {
    EXPECT_TRUE(SplitAll("OK\r").tokens.empty());
    const Split s = SplitAll("OK\r\n");
    EXPECT_EQ(Tokens{"OK\r"}, s.tokens);
    EXPECT_EQ("\n", s.rest); // a single byte held is never a token
    EXPECT_EQ((Tokens{"AT\r", "\r\nOK\r\n"}), SplitAll("AT\r\r\nOK\r\n").tokens);
}

TEST(ReplySplitter, NulAndEightBitBytesAreOrdinaryText) {
    const std::string line = "\r\n\0\xff\x80,\x01\r\n"s;
    EXPECT_EQ(Tokens{line}, SplitAll(line).tokens);
}

TEST(ReplySplitter, ScanSkipsOneByteTokensAndStopsWhenAsked) {
    const std::string bytes = "\r\n\r\nOK\r\n\r\nERROR\r\n\r\nX";
    std::vector<std::string> seen;
    const size_t consumed = ScanTokens(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                                       [&](std::string_view t) {
                                           seen.emplace_back(t);
                                           return seen.size() < 2;
                                       });
    // "\r\n\r\n" is held with a byte behind it: the 4-byte token comes first.
    EXPECT_EQ((Tokens{
                  "\r\n\r\n",
                  "OK\r",
              }),
              seen);
    EXPECT_EQ(7u, consumed);
}

TEST(ReplySplitter, NothingHeldOrOneByteHeldGivesNoToken) {
    const uint8_t cr = '\r';
    EXPECT_EQ(nullptr, NextToken(&cr, &cr));
    EXPECT_EQ(0u, ScanTokens(&cr, 0, [](std::string_view) { return true; }));
}

TEST(LineAccumulator, KeepsTheUnconsumedTailAndNeverTakesMoreThanFits) {
    LineAccumulator acc(8, LineAccumulator::kNoLimit);
    auto put = [&](const std::string& bytes) {
        if (bytes.size() > static_cast<size_t>(acc.Room(127))) {
            ADD_FAILURE() << "no room for " << bytes.size() << " bytes";
            return false;
        }
        std::memcpy(acc.Tail(), bytes.data(), bytes.size());
        return acc.Commit(static_cast<int>(bytes.size()));
    };
    std::vector<std::string> seen;
    auto record = [&](std::string_view t) {
        seen.emplace_back(t);
        return true;
    };
    EXPECT_TRUE(put("AB\r\r\nO"));
    EXPECT_TRUE(acc.Scan(record));
    EXPECT_EQ(Tokens{"AB\r"}, seen);
    EXPECT_EQ("\r\nO", std::string(AsText(acc.Data(), static_cast<size_t>(acc.Held()))));
    EXPECT_EQ(5, acc.Room(127));
    EXPECT_TRUE(put("KKKKK"));
    EXPECT_TRUE(acc.Scan(record));
    EXPECT_EQ(0, acc.Room(127)); // full without a token: the caller overflows

    LineAccumulator limited(63, 32);
    EXPECT_EQ(31, limited.Room(31));
    EXPECT_TRUE(limited.Commit(31));
    EXPECT_TRUE(limited.Commit(1));
    EXPECT_FALSE(limited.Commit(1));
}

// A module may echo the command before its reply, in several forms; the
// tokens after the echo are the reply's own, however the bytes are split.
TEST(LineAccumulator, AnEchoOfTheCommandIsDroppedInEveryFormAndAtEverySplit) {
    const std::string reply = "\r\n00A0961B2C01,Norva-BX01,MODE0,STANDBY,0,0,HWFC\r\n\r\nOK\r\n";
    const Tokens expected = {"\r\n00A0961B2C01,Norva-BX01,MODE0,STANDBY,0,0,HWFC\r\n",
                             "\r\nOK\r\n"};
    const std::string no_cr = "AT+BTINFO?" + reply; // the reply's CR LF ends the echo's line
    for (const std::string& bytes :
         {reply, "AT+BTINFO?\r" + reply, "AT+BTINFO?\r\n" + reply, no_cr}) {
        for (size_t chunk = 1; chunk <= bytes.size(); ++chunk) {
            LineAccumulator acc(384, LineAccumulator::kNoLimit);
            acc.ExpectEcho("AT+BTINFO?\r");
            Tokens seen;
            for (size_t at = 0; at < bytes.size(); at += chunk) {
                const std::string piece = bytes.substr(at, chunk);
                std::memcpy(acc.Tail(), piece.data(), piece.size());
                ASSERT_TRUE(acc.Commit(static_cast<int>(piece.size())));
                acc.Scan([&](std::string_view t) {
                    seen.emplace_back(t);
                    return true;
                });
            }
            EXPECT_EQ(expected, seen) << testing::PrintToString(bytes) << " in pieces of " << chunk;
        }
    }
    // The echo does not count against a limited reply's bound, even when it
    // arrives on its own before the reply.
    LineAccumulator limited(63, 32);
    limited.ExpectEcho("AT+UARTCONFIG,230400,E,2,1\r");
    for (const std::string piece : {"AT+UARTCONFIG,230400,E,2,1\r", "\r\nOK\r\n"}) {
        std::memcpy(limited.Tail(), piece.data(), piece.size());
        EXPECT_TRUE(limited.Commit(static_cast<int>(piece.size()))) << piece;
    }
    Tokens limitedSeen;
    limited.Scan([&](std::string_view t) {
        limitedSeen.emplace_back(t);
        return true;
    });
    EXPECT_EQ(Tokens{"\r\nOK\r\n"}, limitedSeen);
    // Another command's text is no echo: the reply is read as it comes.
    LineAccumulator acc(64, 32);
    acc.ExpectEcho("ATH\r");
    const std::string other = "AT\r\r\nOK\r\n";
    std::memcpy(acc.Tail(), other.data(), other.size());
    ASSERT_TRUE(acc.Commit(static_cast<int>(other.size())));
    Tokens seen;
    acc.Scan([&](std::string_view t) {
        seen.emplace_back(t);
        return true;
    });
    EXPECT_EQ((Tokens{"AT\r", "\r\nOK\r\n"}), seen);
}

// Status line ----------------------------------------------------------

TEST(StatusLineParser, SevenFieldsAreStoredInOrder) {
    const StatusLine s = ParseStatusLine("\r\n00A0C4123456,Norva-BX01,MODE2,CONNECT,1,0,NoFC\r\n");
    EXPECT_EQ(StatusLineOutcome::SevenFields, s.outcome);
    EXPECT_EQ(7, s.fieldsStored);
    EXPECT_EQ("00A0C4123456", s.address);
    EXPECT_EQ("Norva-BX01", s.name);
    EXPECT_EQ(2, s.opMode);
    EXPECT_EQ(LINK_CONNECTED, s.linkState);
    EXPECT_EQ(1, s.flag5);
    EXPECT_EQ(0, s.flag6);
    EXPECT_EQ(0, s.flowControl);
}

TEST(StatusLineParser, SixFieldsMeanHardwareFlowControl) {
    const StatusLine s = ParseStatusLine("\r\n00A0C4123456,Unit,MODE0,PENDING,0,1\r\n");
    EXPECT_EQ(StatusLineOutcome::SixFields, s.outcome);
    EXPECT_EQ(6, s.fieldsStored);
    EXPECT_EQ(LINK_PENDING, s.linkState);
    EXPECT_EQ(1, s.flag6);
    EXPECT_EQ(1, s.flowControl);
}

TEST(StatusLineParser, IdleIsStandby) {
    EXPECT_EQ(LINK_STANDBY,
              ParseStatusLine("\r\n001122334455,N,MODE1,IDLE,0,0,HWFC\r\n").linkState);
    EXPECT_EQ(LINK_STANDBY,
              ParseStatusLine("\r\n001122334455,N,MODE1,STANDBY,0,0,HWFC\r\n").linkState);
}

TEST(StatusLineParser, FieldPrefixesThatAreAccepted) {
    // Field 6 and field 7 are judged by their first 1 and 4 characters.
    const StatusLine s = ParseStatusLine("\r\n001122334455,N,MODE3,STANDBY,0,1xyz,HWFC-v2\r\n");
    EXPECT_EQ(StatusLineOutcome::SevenFields, s.outcome);
    EXPECT_EQ(1, s.flag6);
    EXPECT_EQ(1, s.flowControl);
    EXPECT_EQ(3, s.opMode);
}

TEST(StatusLineParser, BadFieldsFailAfterStoringTheOnesBefore) {
    struct Case {
        const char* line;
        int stored;
    };
    const Case cases[] = {
        {"\r\n001122334455,N,MODE4,STANDBY,0,0,HWFC\r\n", 2},
        {"\r\n001122334455,N,mode1,STANDBY,0,0,HWFC\r\n", 2},
        {"\r\n001122334455,N,MODE1,ONLINE,0,0,HWFC\r\n", 3},
        {"\r\n001122334455,N,MODE1,STANDBY,10,0,HWFC\r\n", 4}, // two digits
        {"\r\n001122334455,N,MODE1,STANDBY,0,2,HWFC\r\n", 5},
        {"\r\n001122334455,N,MODE1,STANDBY,0,0,SWFC\r\n", 6},
        {"\r\n001122334455,N,MODE1,STANDBY,0,0,HW\r\n", 6},
        {"\r\n001122334455,N,MODE1,STANDBY,0\r\n", 4}, // "0\r\n" is not "0"
        {"\r\n001122334455,N,MODE1,STANDBY\r\n", 3},
    };
    for (const Case& c : cases) {
        const StatusLine s = ParseStatusLine(c.line);
        EXPECT_EQ(StatusLineOutcome::Failed, s.outcome) << c.line;
        EXPECT_EQ(c.stored, s.fieldsStored) << c.line;
    }
}

TEST(StatusLineParser, RunsOfCommasAreOneSeparator) {
    const StatusLine s = ParseStatusLine("\r\n001122334455,,Unit,,,MODE1,STANDBY,0,,0,HWFC\r\n");
    EXPECT_EQ(StatusLineOutcome::SevenFields, s.outcome);
    EXPECT_EQ("Unit", s.name);
    // An empty name vanishes and the mode moves up into its place.
    EXPECT_EQ(StatusLineOutcome::Failed,
              ParseStatusLine("\r\n001122334455,,MODE1,STANDBY,0,0,HWFC\r\n").outcome);
}

TEST(StatusLineParser, OkLineTakenAsStatusYieldsItsLettersAsAddressThenFails) {
    const StatusLine s = ParseStatusLine("\r\nOK\r\n");
    EXPECT_EQ(StatusLineOutcome::Failed, s.outcome);
    EXPECT_EQ(1, s.fieldsStored);
    EXPECT_EQ("OK\r\n", s.address);
}

TEST(StatusLineParser, AddressAndNameAreBounded) {
    const std::string name(300, 'n');
    const StatusLine s =
        ParseStatusLine("\r\n0011223344556677," + name + ",MODE0,IDLE,0,0,HWFC\r\n");
    EXPECT_EQ("001122334455", s.address);
    EXPECT_EQ(std::string(255, 'n'), s.name);
    // A field 1 shorter than its CR LF gives an empty address, not a read
    // past the field.
    EXPECT_EQ("", ParseStatusLine("A,N,MODE0,IDLE,0,0,HWFC\r\n").address);
    EXPECT_EQ(StatusLineOutcome::Failed, ParseStatusLine("").outcome);
    EXPECT_EQ(StatusLineOutcome::Failed, ParseStatusLine(",,,,").outcome);
}

// Inquiry line ---------------------------------------------------------

TEST(InquiryLineParser, ThreeFieldsUpToTheLinesCrLf) {
    const auto row = ParseInquiryLine("\r\n001122334455,Norva-BX01,001F00\r\n");
    ASSERT_TRUE(row);
    EXPECT_EQ("001122334455", row->address);
    EXPECT_EQ("Norva-BX01", row->name);
    EXPECT_EQ("001F00", row->classOfDevice);
}

TEST(InquiryLineParser, CommaInTheNameShiftsTheRestIntoTheClassColumn) {
    const auto row = ParseInquiryLine("\r\n001122334455,Lab, bench 2,001F00\r\n");
    ASSERT_TRUE(row);
    EXPECT_EQ("Lab", row->name);
    EXPECT_EQ(" bench 2,001F00", row->classOfDevice);
}

TEST(InquiryLineParser, LinesWithoutTwoCommasOrCrLfAddNothing) {
    EXPECT_FALSE(ParseInquiryLine("\r\nERROR\r\n"));
    EXPECT_FALSE(ParseInquiryLine("\r\n001122334455,Name\r\n"));
    EXPECT_FALSE(ParseInquiryLine("001122334455,Name,001F00\r"));
    EXPECT_FALSE(ParseInquiryLine("\r\n\r\n"));
    EXPECT_FALSE(ParseInquiryLine(""));
}

TEST(InquiryLineParser, EveryLeadingCrAndLfIsDropped) {
    const auto row = ParseInquiryLine("\n\r\r\n001122334455,N,C\r\n");
    ASSERT_TRUE(row);
    EXPECT_EQ("001122334455", row->address);
}

// Both forms a module may announce a link with, and the lines that only
// look like one.
TEST(LinkLineParser, ConnectWithOrWithoutAddressAndDisconnect) {
    const auto named = ParseLinkLine("CONNECT 00A0961B2C02");
    ASSERT_TRUE(named);
    EXPECT_EQ(named->kind, LinkLine::Kind::Connect);
    EXPECT_EQ(named->partner, "00A0961B2C02");
    const auto spaced = ParseLinkLine("CONNECT   00A0961B2C02");
    ASSERT_TRUE(spaced);
    EXPECT_EQ(spaced->partner, "00A0961B2C02");
    const auto bare = ParseLinkLine("CONNECT");
    ASSERT_TRUE(bare);
    EXPECT_TRUE(bare->partner.empty());
    const auto gone = ParseLinkLine("DISCONNECT");
    ASSERT_TRUE(gone);
    EXPECT_EQ(gone->kind, LinkLine::Kind::Disconnect);
    for (const char* other : {"CONNECTED", "connect 00A0961B2C02", " CONNECT", "DISCONNECT 1",
                              "norva-verify 00A0961B2C01", ""}) {
        EXPECT_FALSE(ParseLinkLine(other)) << other;
    }
}

} // namespace
} // namespace norva
