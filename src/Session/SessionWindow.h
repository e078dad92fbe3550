// What the fixture session needs of the window that shows it: the loop's state, which the window's
// buttons and its close request change too; what to show and what to enable; the settings the user
// asks to write; when to deliver the waiting window messages; which error or warning to show. The
// window implements it; the session's tests implement it without a window.
#pragma once

#include "FixtureList.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One fixture of a line of several, as the list shows it.
struct TFixtureListEntry {
    TFixtureListRow Row;
    bool Overlaps = false;    // its DMX slots share a slot with another fixture's
    bool Identifying = false; // IDENTIFY_DEVICE is on
};

class TSessionWindow {
  public:
    virtual ~TSessionWindow() = default;

    // fState and fStateControl (FixtureStates.h).
    virtual std::uint32_t State() const = 0;
    virtual void SetState(std::uint32_t State) = 0;
    virtual std::uint32_t StateControl() const = 0;
    virtual void AddStateControl(std::uint32_t Bits) = 0;

    // Delivers every waiting window message and returns without waiting for more.
    virtual void ProcessMessages() = 0;

    // Enables or disables the settings; disabling with `clear` also empties the address and firmware.
    virtual void SetControlsEnabled(bool Enable, bool Clear) = 0;
    // Takes the keyboard focus away from the settings.
    virtual void ParkFocus() = 0;
    virtual void ShowConnection(const std::string& Text) = 0;
    virtual void ShowCable(const std::string& Text) = 0;
    virtual void ShowStartAddress(std::uint16_t Address) = 0;
    virtual void ShowFirmware(const std::string& Label) = 0;
    // The DMX-mode list: emptied, then one entry per personality (1-based `Number`), then the
    // position to select, -1 for none.
    virtual void ClearModes() = 0;
    virtual void AddMode(int Number, const std::string& Description, std::uint16_t Slots) = 0;
    virtual void SelectMode(int Index) = 0;
    // The status-LED list: emptied, or filled with its two choices, the one shown selected, and enabled.
    virtual void ClearStatusLed() = 0;
    virtual void ShowStatusLed(bool On) = 0;
    // The hour-glass while the session blocks the window on purpose.
    virtual void ShowHourGlass(bool Shown) = 0;
    // Modal boxes; they return when the user has closed them.
    virtual void ShowError(const std::string& Text) = 0;
    virtual void ShowWarning(const std::string& Text) = 0;

    // The settings to write: the address as typed (nothing for text that is no number), the
    // personality chosen (1-based, 0 for none) and the status LED chosen (nothing for none).
    virtual std::optional<int> EnteredStartAddress() const = 0;
    virtual int ChosenPersonality() const = 0;
    virtual std::optional<bool> ChosenStatusLed() const = 0;

    // The list of the fixtures on a line of several: shown with its entries (in UID order), one
    // entry's Identify shown on or off, hidden again.
    virtual void ShowFixtureList(const std::vector<TFixtureListEntry>& Entries) = 0;
    virtual void ShowIdentifying(int Entry, bool On) = 0;
    virtual void HideFixtureList() = 0;
    // The way back to the list (it sets StateListing), offered while a fixture of several is shown.
    virtual void OfferFixtureList(bool Offered) = 0;
    // What the technician touched in the list since the last call, each taken once: the entry picked,
    // the entry whose Identify was touched.
    virtual std::optional<int> TakePickedEntry() = 0;
    virtual std::optional<int> TakeIdentifyTouch() = 0;

    // The run ended for another reason than closing: the connection is to be built anew.
    virtual void Reconnect() = 0;
};
