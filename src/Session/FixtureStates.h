// The states of the fixture loop (TMainForm::fState) and the stop bits of its loop
// (TMainForm::fStateControl), named once for the window, the loop and their tests.
#pragma once

#include <cstdint>

// fState: what the loop's next pass does.
inline constexpr std::uint32_t StateDiscovery = 1;  // look for the fixture
inline constexpr std::uint32_t StateReading = 10;   // read what it reports
inline constexpr std::uint32_t StateConnected = 20; // poll it; the settings are enabled ("Ready")
inline constexpr std::uint32_t StateWriting = 101;  // write the shown settings to it
// A line of several fixtures: search it again and list them (the window's way back to the list).
inline constexpr std::uint32_t StateListing = 30;
inline constexpr std::uint32_t StateFixtureList = 31; // the list is shown; wait for the pick

// fStateControl: the loop runs while no bit is set.
inline constexpr std::uint32_t ControlClosing = 1;     // the window is closing
inline constexpr std::uint32_t ControlCableFailed = 2; // the cable or the driver failed
