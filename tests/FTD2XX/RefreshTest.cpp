// The 1 ms timer behind a bound wrapper: tick count, the background DMX refresh and its pauses for
// RDM transactions, the real-time registration and the timer resolution. These run under
// ThreadSanitizer in CI; bounds on time are generous, for a loaded two-core machine.
#include "../WaitFor.h"
#include "VirtualCableFixture.h"

#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::uint8_t GET_COMMAND = 0x20;
constexpr std::uint16_t DEVICE_INFO = 0x0060;
constexpr std::uint8_t DISCOVERY_COMMAND = 0x10;
constexpr std::uint16_t DISC_UN_MUTE = 0x0003;

// A refresh runs inside a tick, so once two more ticks have been counted, one that was under way
// when the refresh was switched off has ended.
void WaitForTheRefreshUnderWay(const TFTD2XXWrapper& wrapper) {
    const std::int64_t ticks = wrapper.MMTicks();
    ASSERT_TRUE(WaitFor([&] { return wrapper.MMTicks() >= ticks + 2; }));
}

bool IsRefreshFrame(const VC_Packet& packet) {
    return packet.direction == VC_TO_FIXTURE && packet.length == 513;
}

class Refresh : public VirtualCableTest {};

TEST_F(Refresh, SendsAtMostOneFrameEvery40MsWhileTheTicksGoOn) {
    auto wrapper = OpenCable(true);
    std::uint8_t slots[3] = {1, 2, 3};
    wrapper->SetDMXData(slots, 3);
    ASSERT_TRUE(WaitFor([&] { return wrapper->GetPacketCount(0) >= 1; }));

    const std::int64_t packetsBefore = wrapper->GetPacketCount(0);
    const std::int64_t ticksBefore = wrapper->MMTicks();
    const auto start = Clock::now();
    std::this_thread::sleep_for(1s);
    const std::int64_t packets = wrapper->GetPacketCount(0) - packetsBefore;
    const std::int64_t ticks = wrapper->MMTicks() - ticksBefore;
    const auto elapsedMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();

    EXPECT_GE(packets, 1);
    EXPECT_LE(packets, elapsedMs / 40 + 1);
    EXPECT_GT(ticks, packets);
    // Each refresh holds the timer thread for a 5 ms pause, in which no tick comes; a busy machine
    // only brings fewer ticks. (Windows' multimedia timer makes up for late ticks afterwards, so
    // there the pause does not show in the count.)
    if (!ZYL_TIMER_CATCHES_UP) {
        EXPECT_LE(ticks, elapsedMs + 2 - 4 * (packets - 1)) << "no pause after a refresh";
    }

    wrapper->SetDMXStreamDisabled(true);
    WaitForTheRefreshUnderWay(*wrapper);
    const std::vector<VC_Packet> frames = Captured(VC_TO_FIXTURE);
    ASSERT_GE(frames.size(), 2u);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        ASSERT_TRUE(IsRefreshFrame(frames[i])) << i;
        EXPECT_EQ(frames[i].flags, 0) << i;
    }
    // Refreshes start at least 40 ms apart; one late first frame may shorten the span by a period.
    const double span = frames.back().time_ms - frames.front().time_ms;
    EXPECT_GE(span, 40.0 * static_cast<double>(frames.size() - 2));
    const VC_Packet& last = frames.back();
    EXPECT_EQ(last.bytes[0], 0);
    EXPECT_EQ(last.bytes[1], 1);
    EXPECT_EQ(last.bytes[3], 3);
    EXPECT_EQ(last.bytes[4], 0);
}

TEST_F(Refresh, SwitchedOffItSendsNothingWhileTheTicksGoOn) {
    auto wrapper = OpenCable(false);
    const std::int64_t ticksBefore = wrapper->MMTicks();
    ASSERT_TRUE(WaitFor([&] { return wrapper->MMTicks() >= ticksBefore + 100; }));
    EXPECT_EQ(wrapper->GetPacketCount(0), 0);
    EXPECT_EQ(Captured(VC_TO_FIXTURE).size(), 0u);

    wrapper->SetDMXStreamDisabled(false);
    EXPECT_TRUE(WaitFor([&] { return wrapper->GetPacketCount(0) >= 1; }));
    wrapper->SetDMXStreamDisabled(true);
    WaitForTheRefreshUnderWay(*wrapper);
    const std::int64_t stopped = wrapper->GetPacketCount(0);
    const std::int64_t ticksAtStop = wrapper->MMTicks();
    ASSERT_TRUE(WaitFor([&] { return wrapper->MMTicks() >= ticksAtStop + 100; }));
    EXPECT_EQ(wrapper->GetPacketCount(0), stopped);
}

// The request and its whole reply lie between two refresh frames, with the pauses before and after.
void ExpectNoFrameDuringTheTransaction(const std::vector<VC_Packet>& packets) {
    std::size_t request = packets.size();
    for (std::size_t i = 0; i < packets.size(); ++i)
        if (packets[i].direction == VC_TO_FIXTURE && !IsRefreshFrame(packets[i])) {
            request = i;
            break;
        }
    ASSERT_LT(request, packets.size());
    ASSERT_LT(request + 1, packets.size());
    const VC_Packet& reply = packets[request + 1];
    ASSERT_EQ(reply.direction, VC_FROM_FIXTURE);
    for (std::size_t i = 0; i < packets.size(); ++i) {
        if (!IsRefreshFrame(packets[i]))
            continue;
        if (i < request)
            EXPECT_LE(packets[i].time_ms, packets[request].time_ms - 70.0)
                << "frame " << i << " too close before";
        else
            EXPECT_GE(packets[i].time_ms, reply.time_ms + 70.0) << "frame " << i << " too close after";
    }
}

TEST_F(Refresh, ATransactionPausesItAndResumesIt) {
    auto wrapper = OpenCable(true);
    ASSERT_TRUE(WaitFor([&] { return wrapper->GetPacketCount(0) >= 2; }));
    const TUID uid = FixtureUID();
    TRDMCommand request(uid, GET_COMMAND, DEVICE_INFO, true);
    TRDMResponseData response{};

    const auto start = Clock::now();
    ASSERT_TRUE(wrapper->RDMCommandWithResponse(0, request, response, 1000));
    EXPECT_GE(Clock::now() - start, 160ms);
    EXPECT_FALSE(wrapper->DMXStreamDisabled());

    const std::int64_t afterTransaction = wrapper->GetPacketCount(0);
    ASSERT_TRUE(WaitFor([&] { return wrapper->GetPacketCount(0) >= afterTransaction + 2; }));
    ExpectNoFrameDuringTheTransaction(Captured());
    for (const VC_Packet& packet : Captured(VC_TO_FIXTURE))
        EXPECT_EQ(packet.flags, 0) << "a frame was sent in receive direction or garbled";
}

// With writes that take longer than the pause before a transaction, a refresh is still under way
// when the transaction begins: it must wait for the refresh to end (two ticks), or its break and
// request mix with the frame on the line.
TEST_F(Refresh, ATransactionWaitsForARefreshUnderWay) {
    auto wrapper = OpenCable(true);
    ASSERT_TRUE(WaitFor([&] { return wrapper->GetPacketCount(0) >= 1; }));
    VC_SetWriteDelay(120'000);
    ASSERT_TRUE(WaitFor([&] { return wrapper->GetPacketCount(0) >= 3; }));
    TRDMCommand request(FixtureUID(), GET_COMMAND, DEVICE_INFO, true);
    TRDMResponseData response{};
    EXPECT_TRUE(wrapper->RDMCommandWithResponse(0, request, response, 1000));
    wrapper->SetDMXStreamDisabled(true);
    VC_SetWriteDelay(0);
    WaitForTheRefreshUnderWay(*wrapper);
    ExpectNoFrameDuringTheTransaction(Captured());
    for (const VC_Packet& packet : Captured(VC_TO_FIXTURE))
        EXPECT_EQ(packet.flags, 0) << "a break or a frame was garbled";
}

TEST_F(Refresh, DiscoveryPausesItAndResumesIt) {
    auto wrapper = OpenCable(true);
    ASSERT_TRUE(WaitFor([&] { return wrapper->GetPacketCount(0) >= 2; }));
    TRDMDiscoveryUniqueBranch branch(NullUID, BroadcastUID);
    branch.Finalize();
    TUID found{};
    ASSERT_TRUE(wrapper->DiscoveryCommand(0, branch, found, 100));
    EXPECT_EQ(found, FixtureUID());
    EXPECT_FALSE(wrapper->DMXStreamDisabled());
    const std::int64_t afterDiscovery = wrapper->GetPacketCount(0);
    ASSERT_TRUE(WaitFor([&] { return wrapper->GetPacketCount(0) >= afterDiscovery + 2; }));
    ExpectNoFrameDuringTheTransaction(Captured());
}

TEST_F(Refresh, ASendLeavingTheLineReceivingKeepsItPaused) {
    auto wrapper = OpenCable(true);
    ASSERT_TRUE(WaitFor([&] { return wrapper->GetPacketCount(0) >= 1; }));
    TRDMCommand unmute(BroadcastUID, DISCOVERY_COMMAND, DISC_UN_MUTE, true);

    wrapper->SendRDMCommand(0, &unmute.CommandData(), unmute.MessageLength() + 2, false);
    EXPECT_FALSE(wrapper->DMXStreamDisabled());

    wrapper->SendRDMCommand(0, &unmute.CommandData(), unmute.MessageLength() + 2, true);
    EXPECT_TRUE(wrapper->DMXStreamDisabled());
    const std::int64_t paused = wrapper->GetPacketCount(0);
    const std::int64_t ticks = wrapper->MMTicks();
    ASSERT_TRUE(WaitFor([&] { return wrapper->MMTicks() >= ticks + 100; }));
    EXPECT_EQ(wrapper->GetPacketCount(0), paused);
}

// A wrapper whose ticks no longer come (another wrapper was bound after it) must not hang its
// transaction in the wait for two ticks.
TEST_F(Refresh, ATransactionOfAWrapperWithoutTicksDoesNotHang) {
    auto first = OpenCable(true);
    TFTD2XXWrapper second;
    ASSERT_TRUE(second.Initialize());
    // One timer thread serves both: once the second has ticked, no tick of the first is under way.
    ASSERT_TRUE(WaitFor([&] { return second.MMTicks() >= 2; }));
    const std::int64_t frozen = first->MMTicks();
    ASSERT_TRUE(WaitFor([&] { return second.MMTicks() >= 10; }));
    EXPECT_EQ(first->MMTicks(), frozen);

    TRDMCommand request(FixtureUID(), GET_COMMAND, DEVICE_INFO, true);
    TRDMResponseData response{};
    EXPECT_TRUE(first->RDMCommandWithResponse(0, request, response, 1000));
    EXPECT_FALSE(first->DMXStreamDisabled());
}

TEST_F(Refresh, DestroyingARefreshingWrapperStopsTheTimerFirst) {
    for (int round = 0; round < 10; ++round) {
        auto wrapper = OpenCable(true);
        ASSERT_TRUE(WaitFor([&] { return wrapper->GetPacketCount(0) >= 1; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(round * 3));
        wrapper.reset();
        EXPECT_EQ(VC_OpenHandleCount(), 0);
        const int captured = VC_CaptureCount();
        std::this_thread::sleep_for(50ms);
        EXPECT_EQ(VC_CaptureCount(), captured) << "a frame after the wrapper was gone";
    }
}

// Whether this process may register a thread for real-time scheduling at all.
bool BoostPermitted() {
    bool permitted = false;
    std::thread([&] {
        const Platform::ThreadBoost boost = Platform::LoadThreadBoost();
        if (boost.SetMmThreadCharacteristics == nullptr)
            return;
        std::uint32_t index = 0;
        const std::uintptr_t handle = boost.SetMmThreadCharacteristics(L"Pro Audio", &index);
        permitted = handle != 0;
        if (permitted && boost.RevertMmThreadCharacteristics != nullptr)
            boost.RevertMmThreadCharacteristics(handle);
    }).join();
    Platform::ReleaseThreadBoost();
    return permitted;
}

TEST_F(Refresh, TheBoostRequestFollowsTheRegistrationAndDestroyEndsTheRaisedResolution) {
    const bool permitted = BoostPermitted();
    auto wrapper = std::make_unique<TFTD2XXWrapper>();
    ASSERT_TRUE(wrapper->Initialize());
    EXPECT_TRUE(TFTD2XXWrapper::AVRTBoost()) << "binding asks for the registration";
    const auto waitTicks = [&](int count) {
        const std::int64_t from = wrapper->MMTicks();
        ASSERT_TRUE(WaitFor([&] { return wrapper->MMTicks() >= from + count; }));
    };
    waitTicks(3);

    // Withdraw whatever registration there is; a tick reverts an active one.
    TFTD2XXWrapper::SetAVRTBoost(false);
    EXPECT_FALSE(TFTD2XXWrapper::AVRTBoost());
    waitTicks(3);
    EXPECT_FALSE(TFTD2XXWrapper::AVRTBoost());

    // Ask again: a tick registers the timer thread where the system permits, else withdraws the
    // request; either way the timer resolution is raised. Had the revert not happened, asking
    // again would change nothing and the request would stay withdrawn.
    TFTD2XXWrapper::SetAVRTBoost(true);
    waitTicks(3);
    EXPECT_EQ(TFTD2XXWrapper::AVRTBoost(), permitted);
    EXPECT_TRUE(TFTD2XXWrapper::TimerPeriodRaised());

    if (permitted) {
        TFTD2XXWrapper::SetAVRTBoost(true); // already active: nothing to do
        waitTicks(3);
        EXPECT_TRUE(TFTD2XXWrapper::AVRTBoost());
    }

    wrapper.reset();
    EXPECT_FALSE(TFTD2XXWrapper::TimerPeriodRaised());
    TFTD2XXWrapper never; // destroying a wrapper that never bound releases nothing twice
}

TEST(RefreshUnit, MarkAfterBreakIs212MicrosecondsOfTheCounter) {
    ASSERT_TRUE(TFTD2XXWrapper::UsingPerformanceCounter());
    std::int64_t frequency = 0;
    ASSERT_TRUE(Platform::QueryPerformanceFrequency(frequency));
    EXPECT_EQ(TFTD2XXWrapper::MABPFCount(), (frequency * 212 + 500000) / 1000000);
    EXPECT_GT(TFTD2XXWrapper::MMTimeCaps().wPeriodMin, 0u);
}

} // namespace
