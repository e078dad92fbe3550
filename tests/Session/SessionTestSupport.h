// Shared by the session's tests: a window made of plain fields that records what the session shows
// and steers it at every message pump, the cable put on the virtual line, and the controller's
// requests read back from the line capture.
#pragma once

#include "FixtureSession.h"
#include "Vek340Fixture.h"
#include "VirtualCable.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The controller's packets as short names ("GET 0x0060", "DISC 0x0001 *" for a broadcast, "DMX" for
// an idle frame), in order, since the capture was cleared.
inline std::vector<std::string> ControllerRequests() {
    std::vector<std::string> names;
    VC_Packet p;
    const int count = VC_CaptureCount();
    for (int i = 0; i < count; ++i) {
        if (VC_CaptureGet(i, &p) != 0 || p.direction != VC_TO_FIXTURE)
            continue;
        if (p.length == 513 && p.bytes[0] == 0x00) {
            names.emplace_back("DMX");
            continue;
        }
        if (p.length < 26 || p.bytes[0] != 0xCC) {
            names.emplace_back("other");
            continue;
        }
        const std::uint8_t cc = p.bytes[20];
        const char* kind = cc == 0x10 ? "DISC" : cc == 0x20 ? "GET" : cc == 0x30 ? "SET" : "CC?";
        const bool broadcast =
            std::all_of(p.bytes + 3, p.bytes + 9, [](std::uint8_t x) { return x == 0xFF; });
        char name[32];
        std::snprintf(name, sizeof name, "%s 0x%02x%02x%s", kind, p.bytes[21], p.bytes[22],
                      broadcast ? " *" : "");
        names.emplace_back(name);
    }
    return names;
}

inline int CountRequests(const std::string& name) {
    const auto names = ControllerRequests();
    return static_cast<int>(std::count(names.begin(), names.end(), name));
}

// The window as plain fields. At every pump (and every box, which pumps while it is open) it calls
// OnPump, where a test steers the session as a user would; past its deadline it closes the window
// and notes that it had to.
class TRecordingWindow : public TSessionWindow {
  public:
    std::uint32_t fState = StateDiscovery;
    std::uint32_t fStateControl = 0;

    // What was shown, in order of the calls.
    std::vector<std::string> Connection;
    std::vector<std::string> CableTexts;
    std::optional<std::uint16_t> StartAddress;
    std::string Firmware;
    std::vector<std::string> Modes;
    int SelectedMode = -1;
    std::vector<std::string> StatusLed; // "On", "Off", or empty
    int SelectedStatusLed = -1;
    bool Enabled = false;
    int Clears = 0; // disabling calls that also emptied the address and firmware
    int HourGlassShown = 0;
    bool HourGlass = false;
    std::vector<std::string> Errors;
    std::vector<std::string> Warnings;
    int Reconnects = 0;
    int Pumps = 0;
    // The fixture list: its entries while shown (empty when hidden), how often it was shown, and
    // whether the way back to it is offered.
    std::vector<TFixtureListEntry> List;
    int ListsShown = 0;
    bool ListOffered = false;
    // The technician's touches in the list, taken by the session.
    std::optional<int> Picked;
    std::optional<int> IdentifyTouched;

    // What the user asks to write.
    std::optional<int> Entered;
    int Personality = 0;
    std::optional<bool> Led;

    std::function<void(TRecordingWindow&)> OnPump;
    std::chrono::steady_clock::time_point Deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(30);
    bool TimedOut = false;

    void Close() { fStateControl |= ControlClosing; }

    std::uint32_t State() const override { return fState; }
    void SetState(std::uint32_t State) override { fState = State; }
    std::uint32_t StateControl() const override { return fStateControl; }
    void AddStateControl(std::uint32_t Bits) override { fStateControl |= Bits; }
    void ProcessMessages() override {
        ++Pumps;
        if (std::chrono::steady_clock::now() > Deadline && !TimedOut) {
            TimedOut = true;
            Close();
        }
        if (OnPump && !TimedOut)
            OnPump(*this);
    }
    void SetControlsEnabled(bool Enable, bool Clear) override {
        Enabled = Enable;
        if (!Enable && Clear) {
            ++Clears;
            StartAddress.reset();
            Firmware.clear();
        }
    }
    void ParkFocus() override {}
    void ShowConnection(const std::string& Text) override { Connection.push_back(Text); }
    void ShowCable(const std::string& Text) override { CableTexts.push_back(Text); }
    void ShowStartAddress(std::uint16_t Address) override { StartAddress = Address; }
    void ShowFirmware(const std::string& Label) override { Firmware = Label; }
    void ClearModes() override {
        Modes.clear();
        SelectedMode = -1;
    }
    void AddMode(int Number, const std::string& Description, std::uint16_t Slots) override {
        Modes.push_back(std::to_string(Number) + ". " + Description + "  (" + std::to_string(Slots) +
                        " channels)");
    }
    void SelectMode(int Index) override { SelectedMode = Index; }
    void ClearStatusLed() override {
        StatusLed.clear();
        SelectedStatusLed = -1;
    }
    void ShowStatusLed(bool On) override {
        StatusLed = {"On", "Off"};
        SelectedStatusLed = On ? 0 : 1;
    }
    void ShowHourGlass(bool Shown) override {
        HourGlass = Shown;
        HourGlassShown += Shown ? 1 : 0;
    }
    void ShowError(const std::string& Text) override {
        Errors.push_back(Text);
        ProcessMessages();
    }
    void ShowWarning(const std::string& Text) override {
        Warnings.push_back(Text);
        ProcessMessages();
    }
    std::optional<int> EnteredStartAddress() const override { return Entered; }
    int ChosenPersonality() const override { return Personality; }
    std::optional<bool> ChosenStatusLed() const override { return Led; }
    void Reconnect() override { ++Reconnects; }
    void ShowFixtureList(const std::vector<TFixtureListEntry>& Entries) override {
        List = Entries;
        ++ListsShown;
    }
    void ShowIdentifying(int Entry, bool On) override {
        List.at(static_cast<std::size_t>(Entry)).Identifying = On;
    }
    void HideFixtureList() override { List.clear(); }
    void OfferFixtureList(bool Offered) override { ListOffered = Offered; }
    std::optional<int> TakePickedEntry() override { return std::exchange(Picked, std::nullopt); }
    std::optional<int> TakeIdentifyTouch() override { return std::exchange(IdentifyTouched, std::nullopt); }
};

// A virtual line with one cable and, where asked, the VEK-340 on it; the cable open and its
// refresh off, as the bootstrap hands it to the session.
class SessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        VC_Reset();
        VC_Clear();
        VC_SetFastTiming();
        VC_CableConfig cable{};
        VC_DefaultCable(&cable);
        VC_AddCable(&cable);
    }
    void TearDown() override {
        cable.reset();
        VC_Reset();
    }

    int AddFixture(const VC_FixtureConfig& config) { return VC_AddFixture(0, &config); }

    void OpenCable() {
        cable = std::make_unique<TFTD2XXWrapper>();
        ASSERT_TRUE(cable->Initialize()) << cable->LastDLLErrorString();
        cable->SetDMXStreamDisabled(true);
        ASSERT_TRUE(cable->OpenAvailableInterfaceByIndex(0)) << cable->LastFTD2XXError();
        VC_CaptureClear();
    }

    // Runs the session until the window closes or the cable fails; `steer` is called at every pump.
    void Run(std::function<void(TRecordingWindow&)> steer) {
        if (!cable)
            OpenCable();
        window.OnPump = [this, steer = std::move(steer)](TRecordingWindow& w) {
            fixtureSeen = session.Fixture() != nullptr;
            steer(w);
        };
        session.StateMachine(*cable);
        EXPECT_FALSE(window.TimedOut) << "the session did not reach the expected point in time";
    }

    bool Connected(int polls) const {
        return window.fState == StateConnected && CountRequests("DISC 0x0003") >= polls;
    }

    TRecordingWindow window;
    TFixtureSession session{window};
    std::unique_ptr<TFTD2XXWrapper> cable;
    bool fixtureSeen = false;
};
