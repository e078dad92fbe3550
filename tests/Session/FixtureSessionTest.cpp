// The fixture session on the virtual cable, without a window: discovery, reading with the optional
// requests the supported parameters choose, polling, writing, and each way a failure takes.
#include "FixtureLoopRequests.h"
#include "SessionTestSupport.h"
#include "ToolRequests.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Names = std::vector<std::string>;

// Un-mute all, ask the whole range; an answer is confirmed by muting its fixture and asking again.
const Names kDiscoveryOfNobody{"DISC 0x0003 *", "DISC 0x0001 *"};
const Names kDiscoveryOfOne{"DISC 0x0003 *", "DISC 0x0001 *", "DISC 0x0002", "DISC 0x0001 *"};
const Names kIdleFrames(6, "DMX");

Names Cat(std::initializer_list<Names> parts) {
    Names all;
    for (const Names& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

template <typename Case> std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    return info.param.name;
}

// The requests without the polls, which repeat as often as the pace of the run allows.
Names WithoutPolls(Names names) {
    std::erase(names, "DISC 0x0003");
    return names;
}

std::vector<req::B> ControllerBytes(std::uint8_t cc) {
    std::vector<req::B> out;
    VC_Packet p;
    for (int i = 0; i < VC_CaptureCount(); ++i)
        if (VC_CaptureGet(i, &p) == 0 && p.direction == VC_TO_FIXTURE && p.length > 20 &&
            p.bytes[0] == 0xCC && p.bytes[20] == cc)
            out.emplace_back(p.bytes, p.bytes + p.length);
    return out;
}

// ---- Discovery --------------------------------------------------------------------------------

TEST_F(SessionTest, DiscoveryFindsTheFixtureAndFillsAFreshRecord) {
    AddFixture(Vek340());
    TUID found{};
    Run([&](TRecordingWindow& w) {
        if (w.fState == StateReading && session.Fixture())
            found = session.Fixture()->UID;
        if (Connected(1))
            w.Close();
    });
    EXPECT_EQ(std::memcmp(found.Bytes, kFixtureUid, 6), 0);
    const Names requests = ControllerRequests();
    ASSERT_GE(requests.size(), 4u);
    EXPECT_EQ(Names(requests.begin(), requests.begin() + 4), kDiscoveryOfOne);
    ASSERT_GE(window.Connection.size(), 3u);
    EXPECT_EQ(Names(window.Connection.begin(), window.Connection.begin() + 3),
              (Names{"Not connected", "Discovery.", "Connected"}));
    EXPECT_EQ(window.Clears, 1);
    // Closing ends the loop without a reconnect, and the record goes with it.
    EXPECT_EQ(window.Reconnects, 0);
    EXPECT_EQ(session.Fixture(), nullptr);
}

TEST_F(SessionTest, WithoutAFixtureEachAttemptShowsOneDotMoreUpToFourAndSendsSixIdleFrames) {
    const auto attempts = [](const TRecordingWindow& w) {
        return std::count_if(w.Connection.begin(), w.Connection.end(),
                             [](const std::string& text) { return text.rfind("Discovery", 0) == 0; });
    };
    // Closing takes effect after the pass: the sixth attempt is still made whole.
    Run([&](TRecordingWindow& w) {
        if (attempts(w) == 6)
            w.Close();
    });
    Names dots;
    for (const std::string& text : window.Connection)
        if (text != "Not connected")
            dots.push_back(text);
    EXPECT_EQ(dots, (Names{"Discovery.", "Discovery..", "Discovery...", "Discovery....", "Discovery.",
                           "Discovery.."}));
    const Names attempt = Cat({kDiscoveryOfNobody, kIdleFrames});
    EXPECT_EQ(ControllerRequests(), Cat({attempt, attempt, attempt, attempt, attempt, attempt}));
    // The idle frames reach the line: it was turned back to transmit after the branch.
    VC_Packet p;
    for (int i = 0; i < VC_CaptureCount(); ++i) {
        if (VC_CaptureGet(i, &p) == 0 && p.direction == VC_TO_FIXTURE && p.length == 513) {
            EXPECT_EQ(p.flags & VC_PACKET_NOT_DRIVEN, 0) << "packet " << i;
        }
    }
    EXPECT_EQ(window.Clears, 6);
    EXPECT_FALSE(window.Enabled);
    EXPECT_TRUE(window.Errors.empty());
}

// Bytes that do not decode are answers on top of each other: the same attempt searches the halves,
// mutes the fixture it finds in the lower one, asks the rest of the line, and un-mutes all again.
TEST_F(SessionTest, AnAnswerThatDoesNotDecodeIsSearchedInHalvesInTheSameAttempt) {
    const int id = AddFixture(Vek340());
    VC_InjectFault(id, VC_FAULT_COLLISION, 0x10, 0x0001, 1);
    Run([&](TRecordingWindow& w) {
        if (Connected(1))
            w.Close();
    });
    const Names requests = ControllerRequests();
    const Names search{"DISC 0x0003 *", "DISC 0x0001 *", "DISC 0x0001 *", "DISC 0x0002", "DISC 0x0001 *",
                       "DISC 0x0001 *", "DISC 0x0001 *", "DISC 0x0003 *", "GET 0x0060"};
    ASSERT_GE(requests.size(), search.size());
    EXPECT_EQ(Names(requests.begin(), requests.begin() + static_cast<long>(search.size())), search);
    EXPECT_EQ(Names(window.Connection.begin(), window.Connection.begin() + 3),
              (Names{"Not connected", "Discovery.", "Connected"}));
    EXPECT_EQ(window.ListsShown, 0);
    EXPECT_FALSE(window.ListOffered);
}

// ---- Reading ----------------------------------------------------------------------------------

struct ReadingCase {
    std::string name;
    std::uint16_t modelId;
    bool modelDescription;
    bool statusLed;
    std::uint8_t personalities;
    std::uint8_t current;
    Names requests;   // after discovery, up to the first poll
    Names connection; // after "Connected"
    Names modes;
    int selectedMode;
    Names leds;
    bool warned;
};

const Names kHeadWithModel{"GET 0x0060", "GET 0x0050", "GET 0x0080", "GET 0x00c0", "GET 0x00e0"};
const Names kHeadWithoutModel{"GET 0x0060", "GET 0x0050", "GET 0x00c0", "GET 0x00e0"};
const Names kThreeDescriptions{"GET 0x00e1", "GET 0x00e1", "GET 0x00e1"};
const Names kVek340Modes{"1. Standard  (24 channels)", "2. Extended  (32 channels)",
                         "3. Compact  (8 channels)"};
const Names kVek340Texts{"Connected VEK-340", "VEK-340 - Retrieving info", "VEK-340 - Ready"};

class SessionReading : public SessionTest, public ::testing::WithParamInterface<ReadingCase> {};

TEST_P(SessionReading, AsksWhatTheFixtureListsAndShowsWhatItRead) {
    const ReadingCase& c = GetParam();
    VC_FixtureConfig config = Vek340();
    config.model_id = c.modelId;
    config.supports_model_description = c.modelDescription;
    config.supports_status_led = c.statusLed;
    config.personality_count = c.personalities;
    config.current_personality = c.current;
    AddFixture(config);
    int enabledAtFirstPoll = -1;
    Run([&](TRecordingWindow& w) {
        if (Connected(1)) {
            enabledAtFirstPoll = w.Enabled ? 1 : 0;
            w.Close();
        }
    });
    EXPECT_EQ(WithoutPolls(ControllerRequests()), Cat({kDiscoveryOfOne, c.requests}));
    EXPECT_EQ(Names(window.Connection.begin() + 3, window.Connection.end()), c.connection);
    EXPECT_EQ(window.Modes, c.modes);
    EXPECT_EQ(window.SelectedMode, c.selectedMode);
    EXPECT_EQ(window.StatusLed, c.leds);
    EXPECT_EQ(window.SelectedStatusLed, c.leds.empty() ? -1 : 1);
    EXPECT_EQ(window.StartAddress, std::optional<std::uint16_t>(37));
    EXPECT_EQ(window.Firmware, "VEK-340 v2.14");
    EXPECT_EQ(enabledAtFirstPoll, 1);
    ASSERT_EQ(window.Warnings.size(), c.warned ? 1u : 0u);
    if (c.warned) {
        EXPECT_EQ(window.Warnings[0], "The connected device does not appear to be a VEK-340.\r"
                                      "Application may not perform as intended.");
    }
    EXPECT_TRUE(window.Errors.empty());
}

const Names kVek340Reading = Cat({kHeadWithModel, kThreeDescriptions, {"GET 0x0501"}});
const Names kNoModelTexts{"Connected ", " - Retrieving info", " - Ready"};
const Names kLeds{"On", "Off"};

// clang-format off
INSTANTIATE_TEST_SUITE_P(FixtureVariants, SessionReading, ::testing::Values(
    //          name                        model  descr. LED    pers. cur. requests                                                    texts          modes         sel. leds    warned
    ReadingCase{"Vek340",                   103,   true,  true,  3,    2,   kVek340Reading,                                             kVek340Texts,  kVek340Modes, 1,   kLeds,  false},
    ReadingCase{"WithoutModelDescription",  103,   false, true,  3,    2,   Cat({kHeadWithoutModel, kThreeDescriptions, {"GET 0x0501"}}), kNoModelTexts, kVek340Modes, 1,   kLeds,  false},
    ReadingCase{"WithoutStatusLed",         103,   true,  false, 3,    2,   Cat({kHeadWithModel, kThreeDescriptions}),                  kVek340Texts,  kVek340Modes, 1,   {},     false},
    ReadingCase{"WithoutPersonalities",     103,   true,  true,  0,    0,   Cat({kHeadWithModel, {"GET 0x0501"}}),                      kVek340Texts,  {},           -1,  kLeds,  false},
    ReadingCase{"CurrentPersonalityNotListed", 103, true, true,  3,    4,   kVek340Reading,                                             kVek340Texts,  kVek340Modes, -1,  kLeds,  false},
    ReadingCase{"AnotherModelIsWarnedAbout", 104,  true,  true,  3,    2,   kVek340Reading,                                             kVek340Texts,  kVek340Modes, 1,   kLeds,  true}),
    CaseName<ReadingCase>);
// clang-format on

TEST_F(SessionTest, TheRecordHoldsWhatTheFixtureReported) {
    AddFixture(Vek340());
    Run([&](TRecordingWindow& w) {
        if (!Connected(1))
            return;
        const TRDMFixture* f = session.Fixture();
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->DeviceModelID, 103);
        EXPECT_EQ(f->DMX512StartAdr, 37);
        EXPECT_EQ(f->DMX512PersonalityCurrent, 2);
        EXPECT_EQ(f->DMX512PersonalityTotal, 3);
        EXPECT_EQ(f->DeviceModelDescription, "VEK-340");
        EXPECT_EQ(f->FirmwareLabel, "VEK-340 v2.14");
        ASSERT_EQ(f->fPersonalityDescriptionList.size(), 3u);
        EXPECT_EQ(f->fPersonalityDescriptionList[2]->Description, "Compact");
        EXPECT_EQ(f->fPersonalityDescriptionList[2]->DMX512SlotsRequired, 8);
        EXPECT_TRUE(f->SupportsParameter(PID_STATUS_LED));
        w.Close();
    });
}

// ---- Polling ----------------------------------------------------------------------------------

TEST_F(SessionTest, PollsBackToBackAndASilentFixtureStartsDiscoveryWithoutABox) {
    const int id = AddFixture(Vek340());
    bool silenced = false;
    int readings = 0;
    Run([&](TRecordingWindow& w) {
        if (!silenced && Connected(3)) {
            VC_SetFixtureSilent(id, 1);
            silenced = true;
        } else if (silenced && w.fState == StateDiscovery) {
            VC_SetFixtureSilent(id, 0);
        }
        readings = CountRequests("GET 0x0060");
        if (readings == 2 && w.fState == StateConnected)
            w.Close();
    });
    EXPECT_EQ(readings, 2);
    EXPECT_TRUE(window.Errors.empty());
    EXPECT_EQ(window.Clears, 2);
}

// ---- Writing ----------------------------------------------------------------------------------

struct WriteCase {
    std::string name;
    std::optional<int> entered;
    int personality;
    std::optional<bool> led;
    std::vector<req::B> sets;
    std::uint16_t shownAddress;
    std::uint16_t storedAddress;
    std::uint8_t storedPersonality;
    std::uint8_t storedLed;
};

class SessionWriting : public SessionTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(SessionWriting, WritesTheChosenSettingsAndReadsThemBack) {
    const WriteCase& c = GetParam();
    const int id = AddFixture(Vek340());
    std::optional<std::uint16_t> shownWhileWriting;
    bool hourGlassWhileWriting = false;
    bool asked = false;
    Run([&](TRecordingWindow& w) {
        if (!asked && Connected(1)) {
            asked = true;
            w.Entered = c.entered;
            w.Personality = c.personality;
            w.Led = c.led;
            w.fState = StateWriting;
        } else if (asked && w.fState == StateWriting) {
            shownWhileWriting = w.StartAddress;
            hourGlassWhileWriting = hourGlassWhileWriting || w.HourGlass;
        } else if (asked && CountRequests("GET 0x0060") == 2 && Connected(1)) {
            w.Close();
        }
    });
    EXPECT_EQ(ControllerBytes(0x30), c.sets);
    EXPECT_EQ(shownWhileWriting, std::optional<std::uint16_t>(c.shownAddress));
    EXPECT_TRUE(hourGlassWhileWriting);
    EXPECT_FALSE(window.HourGlass);
    EXPECT_EQ(window.StartAddress, std::optional<std::uint16_t>(c.storedAddress)); // read back
    VC_FixtureConfig stored{};
    ASSERT_EQ(VC_GetFixture(id, &stored), 0);
    EXPECT_EQ(stored.start_address, c.storedAddress);
    EXPECT_EQ(stored.current_personality, c.storedPersonality);
    EXPECT_EQ(stored.status_led, c.storedLed);
    EXPECT_TRUE(window.Errors.empty());
}

INSTANTIATE_TEST_SUITE_P(
    ChosenSettings, SessionWriting,
    ::testing::Values(WriteCase{"AddressAboveTheLineIs512AndLedOn",
                                999,
                                3,
                                true,
                                {req::SetStartAddress512, req::SetPersonality3, req::SetStatusLedOn},
                                512,
                                512,
                                3,
                                0xFF},
                      WriteCase{"TextThatIsNoNumberIs1AndLedOff",
                                std::nullopt,
                                2,
                                false,
                                {req::SetStartAddress1, req::SetPersonality2, req::SetStatusLedOff},
                                1,
                                1,
                                2,
                                0x00},
                      WriteCase{"NoLedChosenSendsNoLedWrite",
                                200,
                                2,
                                std::nullopt,
                                {req::SetStartAddress200, req::SetPersonality2},
                                200,
                                200,
                                2,
                                0x00}),
    CaseName<WriteCase>);

// ---- Failures ---------------------------------------------------------------------------------

struct ReadErrorCase {
    std::string name;
    int fault;
    int pid;
    int count;
    Names requests; // after the first discovery, without the polls
};

const Names kDeviceInfo{"GET 0x0060"};
const Names kWholeReading = Cat({kHeadWithModel, kThreeDescriptions, {"GET 0x0501"}});

class SessionReadError : public SessionTest, public ::testing::WithParamInterface<ReadErrorCase> {};

TEST_P(SessionReadError, IsSilentlyCountedAndTheFourthInARowStartsDiscoveryAgain) {
    const ReadErrorCase& c = GetParam();
    const int id = AddFixture(Vek340());
    VC_InjectFault(id, c.fault, 0x20, c.pid, c.count);
    Run([&](TRecordingWindow& w) {
        if (Connected(1))
            w.Close();
    });
    EXPECT_EQ(WithoutPolls(ControllerRequests()), Cat({kDiscoveryOfOne, c.requests}));
    EXPECT_TRUE(window.Errors.empty());
    EXPECT_EQ(window.Modes.size(), 3u);
}

INSTANTIATE_TEST_SUITE_P(
    Reading, SessionReadError,
    ::testing::Values(ReadErrorCase{"ThreeAreRepeatedAtOnce", VC_FAULT_WRONG_CHECKSUM, 0x0060, 3,
                                    Cat({kDeviceInfo, kDeviceInfo, kDeviceInfo, kWholeReading})},
                      ReadErrorCase{"TheFourthGoesBackToDiscovery", VC_FAULT_WRONG_PID, 0x0060, 4,
                                    Cat({kDeviceInfo, kDeviceInfo, kDeviceInfo, kDeviceInfo, kDiscoveryOfOne,
                                         kWholeReading})},
                      ReadErrorCase{"DiscoveryStartsTheCountAgain", VC_FAULT_WRONG_PID, 0x0060, 5,
                                    Cat({kDeviceInfo, kDeviceInfo, kDeviceInfo, kDeviceInfo, kDiscoveryOfOne,
                                         kDeviceInfo, kWholeReading})},
                      ReadErrorCase{"ALateOneReadsThePersonalitiesAnew", VC_FAULT_NACK, 0x00E1, 1,
                                    Cat({kHeadWithModel, {"GET 0x00e1"}, kWholeReading})},
                      ReadErrorCase{"AReplyTooShortForItsValues", VC_FAULT_SHORT_REPLY, 0x00E0, 1,
                                    Cat({kHeadWithModel, kWholeReading})}),
    CaseName<ReadErrorCase>);

TEST_F(SessionTest, AnRDMErrorWhileWritingIsShownAndEndsTheWrite) {
    const int id = AddFixture(Vek340());
    VC_InjectFault(id, VC_FAULT_NACK, 0x30, 0x00E0, 1);
    bool asked = false;
    std::uint32_t stateAtBox = 0;
    Run([&](TRecordingWindow& w) {
        if (!asked && Connected(1)) {
            asked = true;
            w.Entered = 100;
            w.Personality = 1;
            w.Led = true;
            w.fState = StateWriting;
        } else if (!w.Errors.empty() && stateAtBox == 0) {
            stateAtBox = w.fState;
            w.Close();
        }
    });
    EXPECT_EQ(window.Errors, (Names{"RDM error(DMX_PERSONALITY, Response NACK)"}));
    EXPECT_EQ(stateAtBox, StateDiscovery);
    EXPECT_FALSE(window.HourGlass);
    // No write after the refused one.
    EXPECT_EQ(ControllerBytes(0x30).size(), 2u);
}

TEST_F(SessionTest, ADriverFailureShowsNoDeviceAndAsksForANewConnection) {
    AddFixture(Vek340());
    bool pulled = false;
    Run([&](TRecordingWindow&) {
        if (!pulled && Connected(1)) {
            VC_SetCablePlugged(0, 0);
            pulled = true;
        }
    });
    EXPECT_TRUE(pulled);
    EXPECT_EQ(window.CableTexts, (Names{"No device"}));
    EXPECT_EQ(window.fStateControl, ControlCableFailed);
    EXPECT_EQ(window.Reconnects, 1);
    EXPECT_TRUE(window.Errors.empty());
    EXPECT_EQ(session.Fixture(), nullptr);
}

TEST_F(SessionTest, AnotherExceptionLeavesTheLoopAfterItsCleanUp) {
    const int id = AddFixture(Vek340());
    VC_InjectFault(id, VC_FAULT_ACK_TIMER, 0x20, 0x0060, 1);
    EXPECT_THROW(Run([](TRecordingWindow&) {}), std::logic_error);
    EXPECT_EQ(window.Reconnects, 1);
    EXPECT_EQ(session.Fixture(), nullptr);
    EXPECT_TRUE(window.Errors.empty());
}

TEST_F(SessionTest, ATransactionWithoutACableIsNoneAndLeavesTheReplyAlone) {
    const auto request = BuildToolRequest(TToolRequestKind::DeviceInfo, NullUID);
    TRDMResponseData reply{};
    reply.ErrorCode = 77;
    EXPECT_FALSE(session.ExecuteRDMCommand(*request, reply));
    const auto code = reply.ErrorCode; // a field of a packed record: compared as a copy
    EXPECT_EQ(code, 77);
}

} // namespace
