// The discovery search on the virtual cable: every fixture on the line found, nothing else, within
// its limits, and with one fixture (or none) nearly the requests of the single-fixture discovery.
#include "DiscoverySearch.h"
#include "SearchTestSupport.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

using namespace sessiontest;

namespace {

constexpr int CableIndex = 0;

// The example line with its fixtures; fast timing unless the case keeps the file's realistic one.
void LoadExample(const char* Name, bool RealisticTiming = false) {
    ASSERT_EQ(VC_LoadConfigFile(ExampleFile(Name).c_str()), 0);
    if (!RealisticTiming)
        VC_SetFastTiming();
}

void LineWith(const std::vector<VC_FixtureConfig>& Fixtures) {
    VC_Clear();
    VC_CableConfig cable{};
    VC_DefaultCable(&cable);
    const int index = VC_AddCable(&cable);
    for (const VC_FixtureConfig& fixture : Fixtures)
        ASSERT_GE(VC_AddFixture(index, &fixture), 0);
    VC_SetFastTiming();
}

// 32 UIDs over the whole range, none sharing even its manufacturer ID with another.
std::vector<std::string> SpreadUIDs() {
    std::vector<std::string> uids;
    for (std::uint64_t i = 0; i < 32; ++i) {
        const std::uint64_t value = i * 0x0800'0000'0000ull + (i * 0x9E37'79B1ull) % 0x00FF'FFFF'FFFFull + 1;
        uids.push_back(UIDToString(UIDFromValue(value)));
    }
    std::sort(uids.begin(), uids.end());
    return uids;
}

std::vector<std::string> ConsecutiveUIDs() {
    std::vector<std::string> uids;
    for (std::uint32_t device = 0x1000; device < 0x1020; ++device)
        uids.push_back(UIDToString(UIDFromValue(0x5A59'0000'0000ull | device)));
    return uids;
}

// Noise that looks like the start of a discovery answer but never decodes, so each question ends
// as soon as it is in, and noise without a separator, which keeps every reply window open.
const std::vector<std::uint8_t> QuickNoise{0xFE, 0xAA, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE,
                                           0xF0, 0x0F, 0x1E, 0x2D, 0x3C, 0x4B, 0x5A, 0x69, 0x78};
const std::vector<std::uint8_t> SlowNoise{0x00, 0x7F, 0x3C};
// A valid discovery answer of 0000:FFFFFFFF, "every fixture of manufacturer 0000": checksum 0x09F6.
const std::vector<std::uint8_t> ManufacturerBroadcastAnswer{
    0xFE, 0xFE, 0xFE, 0xFE, 0xFE, 0xFE, 0xFE, 0xAA,                         // preamble, separator
    0xAA, 0x55, 0xAA, 0x55, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, // 0000:FFFFFFFF
    0xAB, 0x5D, 0xFE, 0xF7};

// An acknowledged DISC_MUTE, control field 0, from `Source` to the controller.
std::vector<std::uint8_t> MuteAnswerFrom(const std::string& Source) {
    std::vector<std::uint8_t> reply{0xCC, 0x01, 26};
    reply.insert(reply.end(), std::begin(ControllerUID.Bytes), std::end(ControllerUID.Bytes));
    const TUID source = UID(Source);
    reply.insert(reply.end(), std::begin(source.Bytes), std::end(source.Bytes));
    reply.insert(reply.end(), {0x00, RESPONSE_TYPE_ACK, 0x00, 0x00, 0x00, CC_DISCOVERY_COMMAND_RESPONSE, 0x00,
                               0x02, 0x02, 0x00, 0x00});
    std::uint16_t sum = 0;
    for (const std::uint8_t b : reply)
        sum = static_cast<std::uint16_t>(sum + b);
    reply.push_back(static_cast<std::uint8_t>(sum >> 8));
    reply.push_back(static_cast<std::uint8_t>(sum & 0xFF));
    return reply;
}

struct TSearchCase {
    const char* Name;
    std::function<void()> SetUpLine;
    std::vector<std::string> Found;
    std::vector<std::string> NotMuted = {};
    bool OutOfTime = false;
    TDiscoverySearchLimits Limits = {};
    bool LeavesTheFixtureMuted = false; // one fixture: its first poll unmutes it
};

class DiscoverySearchTest : public VirtualCableTest, public ::testing::WithParamInterface<TSearchCase> {};

TEST_P(DiscoverySearchTest, FindsExactlyTheFixturesOnTheLine) {
    const TSearchCase& c = GetParam();
    c.SetUpLine();
    auto ftd = OpenCable();
    VC_CaptureClear();

    const TDiscoverySearchResult result = RunDiscoverySearch(*ftd, CableIndex, c.Limits);

    EXPECT_EQ(Texts(result.UIDs), c.Found);
    EXPECT_EQ(Texts(result.NotMuted), c.NotMuted);
    EXPECT_EQ(result.OutOfTime, c.OutOfTime);
    int muted = 0;
    VC_FixtureConfig fixture{};
    for (int id = 0; VC_GetFixture(id, &fixture) == 0; ++id)
        muted += fixture.muted;
    EXPECT_EQ(muted, c.LeavesTheFixtureMuted ? 1 : 0) << "a search over several ends with all unmuted";
}

INSTANTIATE_TEST_SUITE_P(
    Lines, DiscoverySearchTest,
    ::testing::Values(
        TSearchCase{"Nobody", [] { LineWith({}); }, {}},
        TSearchCase{"OneFixture",
                    [] { LineWith({FixtureWithUID("5A59:12345678")}); },
                    {"5A59:12345678"},
                    {},
                    false,
                    {},
                    true},
        TSearchCase{"TwoFixturesRealisticTiming",
                    [] { LoadExample("two-fixtures.json", true); },
                    {"5A59:00000042", "5A59:12345678"}},
        TSearchCase{"ThirtyTwoOfOneBatch", [] { LoadExample("32-consecutive.json"); }, ConsecutiveUIDs()},
        TSearchCase{"ThirtyTwoSpread",
                    [] {
                        std::vector<VC_FixtureConfig> fixtures;
                        for (const std::string& uid : SpreadUIDs())
                            fixtures.push_back(FixtureWithUID(uid));
                        LineWith(fixtures);
                    },
                    SpreadUIDs()},
        TSearchCase{
            "BothEndsOfTheRange", [] { LoadExample("range-ends.json"); }, {"0000:00000001", "7FFF:FFFFFFFE"}},
        // Their answers AND into the answer of 5A59:00001010 alone.
        TSearchCase{"CollisionFormingOneOfThemRealisticTiming",
                    [] { LoadExample("and-collision.json", true); },
                    {"5A59:00001010", "5A59:00001012"}},
        // Their answers AND into a valid answer of 5A59:00001004, which is not on the line.
        TSearchCase{"CollisionFormingAUIDNotOnTheLine",
                    [] { LoadExample("phantom-collision.json"); },
                    {"5A59:00001006", "5A59:0000100C"}},
        // The same collision forms the UID of a fixture found before, which stays muted.
        TSearchCase{"CollisionFormingAFixtureFoundBefore",
                    [] {
                        LineWith({FixtureWithUID("5A59:00001004"), FixtureWithUID("5A59:00001006"),
                                  FixtureWithUID("5A59:0000100C")});
                    },
                    {"5A59:00001004", "5A59:00001006", "5A59:0000100C"}},
        TSearchCase{"FixtureIgnoringDiscMute",
                    [] { LoadExample("ignores-disc-mute.json"); },
                    {"5A59:00000042", "5A59:12345678"},
                    {"5A59:12345678"}},
        TSearchCase{
            "FixtureAnsweringDiscMuteWithoutStayingMuted",
            [] {
                VC_FixtureConfig stubborn = FixtureWithUID("5A59:12345678");
                stubborn.disc_mute = VC_DISC_MUTE_ANSWERS_ONLY;
                LineWith({FixtureWithUID("5A59:00000042"), stubborn, FixtureWithUID("7000:00000001")});
            },
            {"5A59:00000042", "5A59:12345678", "7000:00000001"},
            {"5A59:12345678"}},
        // The fixture mutes itself, but its answer comes after the window has closed.
        TSearchCase{"MuteAnswerTooLateForItsWindow",
                    [] {
                        LineWith({FixtureWithUID("5A59:12345678"), FixtureWithUID("5A59:00000042")});
                        VC_InjectFault(1, VC_FAULT_SLOW_REPLY, CC_DISCOVERY_COMMAND, PID_DISC_MUTE, 1);
                    },
                    {"5A59:00000042", "5A59:12345678"}},
        // Both answers to its DISC_MUTE come from another UID: the fixture is not believed, and
        // having muted itself it does not answer again.
        TSearchCase{"MuteAnswersFromAnotherUIDConfirmNothing",
                    [] {
                        LineWith({FixtureWithUID("5A59:12345678"), FixtureWithUID("5A59:00000042")});
                        const std::vector<std::uint8_t> reply = MuteAnswerFrom("5A59:00000099");
                        VC_SetRawReply(1, reply.data(), static_cast<int>(reply.size()), CC_DISCOVERY_COMMAND,
                                       PID_DISC_MUTE, 2);
                    },
                    {"5A59:12345678"}},
        TSearchCase{"OnlyNoiseStopsAtTheRequestLimit",
                    [] {
                        LineWith({});
                        VC_SetLineNoise(0, QuickNoise.data(), static_cast<int>(QuickNoise.size()));
                    },
                    {},
                    {},
                    true,
                    TDiscoverySearchLimits{60000, 300, SearchTiming::ReplyWindowMs}},
        // Noise that decodes to "every fixture of manufacturer 0000": no fixture, and no DISC_MUTE
        // to it, which would silence every such fixture.
        TSearchCase{"NoiseFormingAManufacturerBroadcastIsNoFixture",
                    [] {
                        LineWith({FixtureWithUID("7000:00000001")});
                        VC_SetLineNoise(0, ManufacturerBroadcastAnswer.data(),
                                        static_cast<int>(ManufacturerBroadcastAnswer.size()));
                    },
                    {},
                    {},
                    true,
                    TDiscoverySearchLimits{60000, 300, SearchTiming::ReplyWindowMs}},
        TSearchCase{"FixturesUnderNoiseAreNotMadeUp",
                    [] {
                        LineWith({FixtureWithUID("5A59:12345678"), FixtureWithUID("5A59:00000042")});
                        VC_SetLineNoise(0, QuickNoise.data(), static_cast<int>(QuickNoise.size()));
                    },
                    {},
                    {},
                    true,
                    TDiscoverySearchLimits{60000, 300, SearchTiming::ReplyWindowMs}}),
    [](const ::testing::TestParamInfo<TSearchCase>& info) { return info.param.Name; });

class DiscoverySearchWire : public VirtualCableTest {
  protected:
    static TSentRequest Broadcast(std::uint16_t PID) {
        return {CC_DISCOVERY_COMMAND, PID, "FFFF:FFFFFFFF", {}};
    }
    static TSentRequest WholeRange() {
        return {CC_DISCOVERY_COMMAND,
                PID_DISC_UNIQUE_BRANCH,
                "FFFF:FFFFFFFF",
                {0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
    }
    static void ExpectSent(const std::vector<TSentRequest>& Expected) {
        const std::vector<TSentRequest> sent = SentRequests();
        ASSERT_EQ(sent.size(), Expected.size());
        for (std::size_t i = 0; i < sent.size(); ++i) {
            SCOPED_TRACE("request " + std::to_string(i));
            EXPECT_EQ(sent[i].CC, Expected[i].CC);
            EXPECT_EQ(sent[i].PID, Expected[i].PID);
            EXPECT_EQ(sent[i].Destination, Expected[i].Destination);
            EXPECT_EQ(sent[i].Data, Expected[i].Data);
        }
    }
};

// With one fixture the line carries the discovery of old plus one DISC_MUTE and one more question.
TEST_F(DiscoverySearchWire, OneFixtureCostsOneMuteAndOneMoreQuestion) {
    auto ftd = OpenCable();
    VC_CaptureClear();
    EXPECT_EQ(Texts(RunDiscoverySearch(*ftd, CableIndex).UIDs), std::vector<std::string>{"5A59:12345678"});
    ExpectSent({Broadcast(PID_DISC_UN_MUTE),
                WholeRange(),
                {CC_DISCOVERY_COMMAND, PID_DISC_MUTE, "5A59:12345678", {}},
                WholeRange()});
}

// The same two requests, with the same 40 ms pause and 100 ms reply window.
TEST_F(DiscoverySearchWire, NobodyAnsweringIsTheFailedAttemptOfOld) {
    VC_RemoveFixture(0);
    auto ftd = OpenCable();
    VC_CaptureClear();
    const std::uint32_t start = Platform::TimeGetTime();
    EXPECT_TRUE(RunDiscoverySearch(*ftd, CableIndex).UIDs.empty());
    EXPECT_GE(Platform::TimeGetTime() - start, 140u);
    ExpectSent({Broadcast(PID_DISC_UN_MUTE), WholeRange()});
}

// A colliding answer is followed by the lower half of the range; the search ends with one more
// question over the whole range and everybody unmuted.
TEST_F(DiscoverySearchWire, CollisionsAreHalvedLowerHalfFirstAndAllUnmutedAtTheEnd) {
    LoadExample("range-ends.json");
    auto ftd = OpenCable();
    VC_CaptureClear();
    RunDiscoverySearch(*ftd, CableIndex);
    const std::vector<TSentRequest> sent = SentRequests();
    ASSERT_GE(sent.size(), 4u);
    EXPECT_EQ(sent[1].Data, WholeRange().Data);
    EXPECT_EQ(sent[2].PID, PID_DISC_UNIQUE_BRANCH);
    EXPECT_EQ(sent[2].Data,
              (std::vector<std::uint8_t>{0, 0, 0, 0, 0, 0, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    // The whole range once more, for a fixture whose answer was lost, then everybody unmuted.
    EXPECT_EQ(sent[sent.size() - 2].PID, PID_DISC_UNIQUE_BRANCH);
    EXPECT_EQ(sent[sent.size() - 2].Data, WholeRange().Data);
    EXPECT_EQ(sent.back().PID, PID_DISC_UN_MUTE);
    EXPECT_EQ(sent.back().Destination, "FFFF:FFFFFFFF");
}

// A line that never stops answering with noise: the search ends at its deadline, with a number of
// questions its reply windows allow in that time.
TEST_F(DiscoverySearchWire, OnlyNoiseStopsAtTheDeadline) {
    LineWith({});
    VC_SetLineNoise(0, SlowNoise.data(), static_cast<int>(SlowNoise.size()));
    auto ftd = OpenCable();
    VC_CaptureClear();
    const TDiscoverySearchLimits limits{300, SearchTiming::MaxBranchRequests, SearchTiming::ReplyWindowMs};
    const TDiscoverySearchResult result = RunDiscoverySearch(*ftd, CableIndex, limits);
    EXPECT_TRUE(result.OutOfTime);
    EXPECT_TRUE(result.UIDs.empty());
    const auto sent = SentRequests();
    const auto branches = std::count_if(
        sent.begin(), sent.end(), [](const TSentRequest& r) { return r.PID == PID_DISC_UNIQUE_BRANCH; });
    EXPECT_LT(branches, SearchTiming::MaxBranchRequests / 10);
}

// A driver failure ends the search at once, with nothing more sent; the caller finds the status in
// the wrapper. The line shows only noise, so the search would go on for its whole deadline.
TEST_F(DiscoverySearchWire, ACableLostInTheMiddleEndsTheSearch) {
    LineWith({});
    VC_SetLineNoise(0, SlowNoise.data(), static_cast<int>(SlowNoise.size()));
    auto ftd = OpenCable();
    VC_CaptureClear();
    std::atomic<std::uint64_t> writesAtUnplug{0};
    std::thread unplug([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (VC_CaptureCount() < 20 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        writesAtUnplug = VC_CallCount("FT_Write");
        VC_SetCablePlugged(0, 0);
    });
    const TDiscoverySearchResult result = RunDiscoverySearch(*ftd, CableIndex);
    unplug.join();
    EXPECT_NE(ftd->LastFTD2XXError(), 0u);
    EXPECT_FALSE(result.OutOfTime);
    EXPECT_LE(VC_CallCount("FT_Write") - writesAtUnplug, 2u) << "at most the request under way";
}

} // namespace
