// Common ground of the cable-layer suites that steer the virtual cable: it is the libftd2xx.so
// beside the test executables, which the wrapper binds from its executable's folder and the test
// links to, so both talk to the one instance.
#pragma once

#include "FTD2XXWrapper.h"
#include "VirtualCable.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

// The same suites also run behind libftdi1 (tests/drivers builds them with ZYL_BEHIND_LIBFTDI=1),
// where the emulated chip sees USB requests instead of D2XX calls and is always one FT232R. A case
// that steers or counts the virtual cable's D2XX calls, or needs another kind of device, says so
// with this at its start and is skipped there.
#if defined(ZYL_BEHIND_LIBFTDI) && ZYL_BEHIND_LIBFTDI
#define ZYL_NOT_BEHIND_LIBFTDI(reason) GTEST_SKIP() << "not behind libftdi1: " << (reason)
#else
#define ZYL_NOT_BEHIND_LIBFTDI(reason) static_cast<void>(reason)
#endif

class VirtualCableTest : public ::testing::Test {
  protected:
    void SetUp() override {
        VC_Reset();
        VC_SetFastTiming();
    }
    void TearDown() override { VC_Reset(); }

    // A bound wrapper with cable 0 open and, unless asked otherwise, the refresh switched off.
    static std::unique_ptr<TFTD2XXWrapper> OpenCable(bool refreshOn = false) {
        auto wrapper = std::make_unique<TFTD2XXWrapper>();
        wrapper->SetDMXStreamDisabled(!refreshOn);
        EXPECT_TRUE(wrapper->Initialize()) << wrapper->LastDLLErrorString();
        EXPECT_TRUE(wrapper->OpenAvailableInterfaceByIndex(0)) << wrapper->LastFTD2XXError();
        return wrapper;
    }

    static VC_CableConfig Cable(const char* description, const char* serial) {
        VC_CableConfig cable;
        VC_DefaultCable(&cable);
        std::memset(cable.description, 0, sizeof(cable.description));
        std::memset(cable.serial, 0, sizeof(cable.serial));
        std::memcpy(cable.description, description,
                    std::min(std::strlen(description), sizeof(cable.description)));
        std::memcpy(cable.serial, serial, std::min(std::strlen(serial), sizeof(cable.serial)));
        return cable;
    }

    static std::vector<VC_Packet> Captured() {
        std::vector<VC_Packet> packets(static_cast<std::size_t>(VC_CaptureCount()));
        for (std::size_t i = 0; i < packets.size(); ++i)
            EXPECT_EQ(VC_CaptureGet(static_cast<int>(i), &packets[i]), 0);
        return packets;
    }

    static std::vector<VC_Packet> Captured(int direction) {
        std::vector<VC_Packet> all = Captured();
        std::vector<VC_Packet> packets;
        for (const VC_Packet& packet : all)
            if (packet.direction == direction)
                packets.push_back(packet);
        return packets;
    }

    static TUID FixtureUID(int fixture = 0) {
        VC_FixtureConfig config;
        EXPECT_EQ(VC_GetFixture(fixture, &config), 0);
        TUID uid{};
        std::memcpy(uid.Bytes, config.uid, sizeof(uid.Bytes));
        return uid;
    }
};
