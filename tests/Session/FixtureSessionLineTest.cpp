// The fixture session on a line of several fixtures, without a window: the list and what it shows,
// Identify, the pick, the way back to the list, and what happens to a picked fixture after a write,
// when it goes, when the window closes and when the cable goes.
#include "SearchTestSupport.h"
#include "SessionTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// Two VEK-340s of one batch: 5A59:0000002A at 37 (32 slots) and 5A59:0000002B at 60, which overlap.
class SessionLine : public SessionTest {
  protected:
    void SetUp() override {
        SessionTest::SetUp();
        first = AddFixture(Vek340());
        VC_FixtureConfig second = Vek340();
        second.uid[5] = 0x2B;
        second.start_address = 60;
        this->second = AddFixture(second);
    }

    // SET IDENTIFY_DEVICE requests on the line: "<UID> on" or "<UID> off", in order.
    static std::vector<std::string> IdentifySets() {
        std::vector<std::string> sets;
        for (const sessiontest::TSentRequest& r : sessiontest::SentRequests())
            if (r.CC == CC_SET_COMMAND && r.PID == PID_IDENTIFY_DEVICE && r.Data.size() == 1)
                sets.push_back(r.Destination + (r.Data[0] ? " on" : " off"));
        return sets;
    }
    // Requests of one PID to one fixture.
    static int SentTo(const std::string& UID, std::uint8_t CC, std::uint16_t PID) {
        const auto sent = sessiontest::SentRequests();
        return static_cast<int>(std::count_if(sent.begin(), sent.end(), [&](const auto& r) {
            return r.Destination == UID && r.CC == CC && r.PID == PID;
        }));
    }
    static TUID Bound(const std::vector<std::uint8_t>& Data, std::size_t At) {
        TUID uid{};
        std::copy(Data.begin() + static_cast<long>(At), Data.begin() + static_cast<long>(At) + 6, uid.Bytes);
        return uid;
    }
    bool Listed(const TRecordingWindow& w) const { return w.fState == StateFixtureList && !w.List.empty(); }

    int first = -1;
    int second = -1;
};

TEST_F(SessionLine, SeveralFixturesAreListedWithModelSlotsAndOverlapsAndNoneIsRead) {
    Run([&](TRecordingWindow& w) {
        if (Listed(w))
            w.Close();
    });
    ASSERT_EQ(window.List.size(), 0u); // hidden again when the run ended
    ASSERT_EQ(window.ListsShown, 1);
    ASSERT_FALSE(window.Connection.empty());
    EXPECT_EQ(window.Connection.back(), "2 fixtures on the line");
    EXPECT_EQ(session.Fixture(), nullptr);
    EXPECT_EQ(SentTo("5A59:0000002A", CC_GET_COMMAND, PID_SOFTWARE_VERSION_LABEL), 0);
    EXPECT_FALSE(window.Enabled);
    EXPECT_FALSE(window.ListOffered);
}

TEST_F(SessionLine, TheListShowsEachFixtureInUIDOrder) {
    std::vector<TFixtureListEntry> shown;
    Run([&](TRecordingWindow& w) {
        if (Listed(w)) {
            shown = w.List;
            w.Close();
        }
    });
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(UIDToString(shown[0].Row.UID), "5A59:0000002A");
    EXPECT_EQ(UIDToString(shown[1].Row.UID), "5A59:0000002B");
    for (const TFixtureListEntry& e : shown) {
        EXPECT_TRUE(e.Row.Read) << e.Row.Error;
        EXPECT_EQ(e.Row.DeviceModelDescription, "VEK-340");
        EXPECT_EQ(e.Row.DMX512Footprint, 32);
        EXPECT_TRUE(e.Overlaps); // 37..68 and 60..91
        EXPECT_FALSE(e.Identifying);
    }
    EXPECT_EQ(shown[0].Row.DMX512StartAdr, 37);
    EXPECT_EQ(shown[1].Row.DMX512StartAdr, 60);
}

// One fixture identifies at a time; picking one switches it off before the picked one is read.
TEST_F(SessionLine, IdentifyTogglesOneFixtureAndIsSwitchedOffWhenTheListIsLeft) {
    int step = 0;
    std::vector<bool> identifyingShown;
    Run([&](TRecordingWindow& w) {
        if (!Listed(w) && step < 3)
            return;
        switch (step) {
        case 0:
            w.IdentifyTouched = 0;
            ++step;
            break;
        case 1:
            if (w.List[0].Identifying) {
                w.IdentifyTouched = 1;
                ++step;
            }
            break;
        case 2:
            if (w.List[1].Identifying) {
                identifyingShown = {w.List[0].Identifying, w.List[1].Identifying};
                w.Picked = 1;
                ++step;
            }
            break;
        default:
            if (Connected(1))
                w.Close();
        }
    });
    EXPECT_EQ(identifyingShown, (std::vector<bool>{false, true}));
    EXPECT_EQ(IdentifySets(), (std::vector<std::string>{"5A59:0000002A on", "5A59:0000002A off",
                                                        "5A59:0000002B on", "5A59:0000002B off"}));
    // The picked fixture is read as a single one is, once it stopped identifying; the other is not.
    const auto sent = sessiontest::SentRequests();
    const auto lastOff =
        std::find_if(sent.rbegin(), sent.rend(), [](const auto& r) { return r.PID == PID_IDENTIFY_DEVICE; });
    const auto reading = std::find_if(sent.begin(), sent.end(),
                                      [](const auto& r) { return r.PID == PID_SOFTWARE_VERSION_LABEL; });
    ASSERT_NE(reading, sent.end());
    EXPECT_LT(std::distance(sent.begin(), lastOff.base()), std::distance(sent.begin(), reading));
    EXPECT_EQ(SentTo("5A59:0000002B", CC_GET_COMMAND, PID_SOFTWARE_VERSION_LABEL), 1);
    EXPECT_EQ(SentTo("5A59:0000002A", CC_GET_COMMAND, PID_SOFTWARE_VERSION_LABEL), 0);
    EXPECT_EQ(window.Connection.back(), "VEK-340 - Ready");
}

TEST_F(SessionLine, IdentifyIsSwitchedOffWhenTheWindowCloses) {
    Run([&](TRecordingWindow& w) {
        if (!Listed(w))
            return;
        if (!w.List[1].Identifying)
            w.IdentifyTouched = 1;
        else
            w.Close();
    });
    EXPECT_EQ(IdentifySets(), (std::vector<std::string>{"5A59:0000002B on", "5A59:0000002B off"}));
}

// The cable goes while a fixture identifies: the run ends with "No device"; the next run switches
// the fixture off once it finds it again.
TEST_F(SessionLine, AFixtureLeftIdentifyingByALostCableIsSwitchedOffWhenFoundAgain) {
    Run([&](TRecordingWindow& w) {
        if (!Listed(w))
            return;
        if (!w.List[0].Identifying)
            w.IdentifyTouched = 0;
        else
            VC_SetCablePlugged(0, 0);
    });
    EXPECT_EQ(window.CableTexts, (std::vector<std::string>{"No device"}));
    EXPECT_EQ(window.Reconnects, 1);
    EXPECT_EQ(IdentifySets(), (std::vector<std::string>{"5A59:0000002A on"}));

    VC_SetCablePlugged(0, 1);
    cable.reset();
    window.fState = StateDiscovery;
    window.fStateControl = 0;
    std::vector<std::string> setsWhenListed;
    Run([&](TRecordingWindow& w) {
        if (Listed(w)) {
            setsWhenListed = IdentifySets();
            w.Close();
        }
    });
    EXPECT_EQ(setsWhenListed, (std::vector<std::string>{"5A59:0000002A off"}));
    EXPECT_EQ(IdentifySets(), setsWhenListed);
}

// After a write the picked fixture is asked for alone and read again, without the list; the way back
// searches the line anew and lists it again.
TEST_F(SessionLine, APickedFixtureIsWrittenAndReadBackThenTheListComesBack) {
    int step = 0;
    int listsBeforeBack = 0;
    bool offeredWhileConnected = false;
    Run([&](TRecordingWindow& w) {
        switch (step) {
        case 0:
            if (Listed(w)) {
                w.Picked = 0;
                ++step;
            }
            break;
        case 1:
            if (Connected(1)) {
                offeredWhileConnected = w.ListOffered;
                VC_CaptureClear();
                w.Entered = 100;
                w.Personality = 1;
                w.fState = StateWriting;
                ++step;
            }
            break;
        case 2:
            if (Connected(1)) {
                listsBeforeBack = w.ListsShown;
                w.fState = StateListing;
                ++step;
            }
            break;
        default:
            if (Listed(w))
                w.Close();
        }
    });
    EXPECT_TRUE(offeredWhileConnected);
    EXPECT_EQ(listsBeforeBack, 1);
    EXPECT_EQ(window.ListsShown, 2);
    // The write reached the picked fixture only, and the read-back found it by its own UID.
    EXPECT_EQ(SentTo("5A59:0000002A", CC_SET_COMMAND, PID_DMX_START_ADDRESS), 1);
    EXPECT_EQ(SentTo("5A59:0000002B", CC_SET_COMMAND, PID_DMX_START_ADDRESS), 0);
    std::vector<std::string> branches;
    for (const sessiontest::TSentRequest& r : sessiontest::SentRequests())
        if (r.CC == CC_DISCOVERY_COMMAND && r.PID == PID_DISC_UNIQUE_BRANCH)
            branches.push_back(UIDToString(Bound(r.Data, 0)) + "-" + UIDToString(Bound(r.Data, 6)));
    ASSERT_GE(branches.size(), 2u);
    EXPECT_EQ(branches[0], "5A59:0000002A-5A59:0000002A");
    EXPECT_EQ(branches[1], "0000:00000000-FFFF:FFFFFFFF"); // the way back searches the whole line
    // The list shows what the fixture holds now.
    EXPECT_FALSE(window.ListOffered);
}

TEST_F(SessionLine, APickedFixtureThatWentIsLookedForOnTheWholeLine) {
    int step = 0;
    Run([&](TRecordingWindow& w) {
        switch (step) {
        case 0:
            if (Listed(w)) {
                w.Picked = 1;
                ++step;
            }
            break;
        case 1:
            if (Connected(1)) {
                VC_RemoveFixture(second);
                ++step;
            }
            break;
        default:
            // The one left is read as a single fixture: no list, no way back to one.
            if (w.fState == StateConnected && session.Fixture() &&
                UIDToString(session.Fixture()->UID) == "5A59:0000002A")
                w.Close();
        }
    });
    EXPECT_EQ(window.ListsShown, 1);
    EXPECT_FALSE(window.ListOffered);
}

} // namespace
