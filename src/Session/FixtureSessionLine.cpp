// The fixture loop on a line of several fixtures: the list read and shown, the technician's touches
// in it (Identify, the pick), the way back to it, and whether the picked fixture is still there.
#include "FixtureSessionRun.h"

#include "SessionTimings.h"
#include "ToolRequests.h"

#include <algorithm>
#include <string>

using SessionRun::CableIndex;
using SessionRun::SleepMs;

// The fixture picked from a line of several answers a DISC_UNIQUE_BRANCH of its own UID alone:
// it is still there, and the line need not be searched again.
bool TFixtureSession::TRun::PickedStillThere() {
    fCommand = BuildUnMuteAll();
    s.ftd->SendRDMCommand(CableIndex, &fCommand->CommandData(), fCommand->MessageLength() + 2, false);
    fCommand.reset();
    fDiscovery = std::make_unique<TRDMDiscoveryUniqueBranch>(*fPicked, *fPicked);
    fDiscovery->Finalize();
    TUID answered{};
    const bool there =
        s.ftd->DiscoveryCommand(CableIndex, *fDiscovery, answered, SessionTimings::DiscoveryReplyWindowMs);
    fDiscovery.reset();
    return there && answered == *fPicked;
}

// Several fixtures answered: what the list shows is read from each, and the technician picks one.
void TFixtureSession::TRun::ListFixtures(const std::vector<TUID>& UIDs) {
    const std::string fixtures = std::to_string(UIDs.size()) + " fixtures";
    w.ShowConnection(fixtures + " - Retrieving info");
    std::vector<TFixtureListRow> rows;
    for (const TUID& uid : UIDs) {
        rows.push_back(ReadFixtureListRow(*s.ftd, CableIndex, uid));
        w.ProcessMessages();
        if (w.StateControl() != 0)
            return;
    }
    ThrowOnDriverError();
    const std::vector<bool> overlaps = OverlappingFootprints(rows);
    std::vector<TFixtureListEntry> entries;
    for (std::size_t i = 0; i < rows.size(); ++i)
        entries.push_back(TFixtureListEntry{rows[i], overlaps[i], s.fIdentifying == rows[i].UID});
    fListed = UIDs;
    w.ShowConnection(fixtures + " on the line");
    w.ShowFixtureList(entries);
    w.SetState(StateFixtureList);
    fLastCableCheck = std::chrono::steady_clock::now();
}

// One pass while the list is shown: the technician's touches, and now and then a look at the cable,
// which nothing else asks while the line is quiet.
void TFixtureSession::TRun::ServeFixtureList() {
    const auto valid = [this](std::optional<int> Entry) {
        return Entry && *Entry >= 0 && static_cast<std::size_t>(*Entry) < fListed.size();
    };
    if (const std::optional<int> entry = w.TakeIdentifyTouch(); valid(entry))
        ToggleIdentify(*entry);
    if (const std::optional<int> entry = w.TakePickedEntry(); valid(entry)) {
        Pick(*entry);
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - fLastCableCheck >= std::chrono::milliseconds(SessionTimings::ListCableCheckMs)) {
        fLastCableCheck = now;
        std::uint32_t received = 0;
        std::uint32_t queued = 0;
        s.ftd->GetStatus(CableIndex, received, queued);
        ThrowOnDriverError();
    }
    SleepMs(SessionTimings::ListIdleMs);
}

// The window's way back: the line is searched again, so the list shows what it carries now.
void TFixtureSession::TRun::ReturnToList() {
    fPicked.reset();
    w.OfferFixtureList(false);
    w.SetState(StateDiscovery);
}

void TFixtureSession::TRun::Pick(int Entry) {
    SwitchIdentifyOff();
    w.HideFixtureList();
    fPicked = fListed.at(static_cast<std::size_t>(Entry));
    w.OfferFixtureList(true);
    ConnectTo(*fPicked);
}

// One fixture identifies at a time: the technician looks for one fixture on the truss.
void TFixtureSession::TRun::ToggleIdentify(int Entry) {
    const TUID uid = fListed.at(static_cast<std::size_t>(Entry));
    const bool on = s.fIdentifying != uid;
    if (on)
        SwitchIdentifyOff();
    std::string error;
    if (!SetIdentify(*s.ftd, CableIndex, uid, on, error)) {
        ThrowOnDriverError();
        w.ShowError(error);
        return;
    }
    w.ShowIdentifying(Entry, on);
    if (on)
        s.fIdentifying = uid;
    else
        s.fIdentifying.reset();
}

// A fixture that did not take the request stays on record, for the next chance.
void TFixtureSession::TRun::SwitchIdentifyOff() {
    if (!s.fIdentifying)
        return;
    std::string error;
    if (!SetIdentify(*s.ftd, CableIndex, *s.fIdentifying, false, error))
        return;
    const auto listed = std::find(fListed.begin(), fListed.end(), *s.fIdentifying);
    if (listed != fListed.end())
        w.ShowIdentifying(static_cast<int>(listed - fListed.begin()), false);
    s.fIdentifying.reset();
}
