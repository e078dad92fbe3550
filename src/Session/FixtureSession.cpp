// The fixture loop: discover the fixtures on the line, read the one found or picked, poll it, write
// the chosen settings to it, and hand back to the window's bootstrap when the cable fails. It pumps
// window messages between its steps; the window's buttons and close request reach it only through
// the state the window holds (fState, fStateControl). A line of several: FixtureSessionLine.cpp.
#include "FixtureSession.h"

#include "DiscoverySearch.h"
#include "FixtureSessionRun.h"
#include "ReplyDecoding.h"
#include "SessionTimings.h"
#include "SessionTransaction.h"
#include "ToolRequests.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <utility>

using SessionRun::CableIndex;
using SessionRun::SleepMs;

namespace {

constexpr std::uint16_t VEK340ModelID = 103;
constexpr std::uint8_t StatusLedOnValue = 0xFF;
constexpr std::uint8_t StatusLedOffValue = 0x00;
constexpr int LowestAddress = 1;
constexpr int HighestAddress = 512;

const std::string kNotVEK340Text = "The connected device does not appear to be a VEK-340.\r"
                                   "Application may not perform as intended.";

// The hour-glass for the blocking write; gone again on every way out of it, exceptions included.
class TWaitCursor {
  public:
    explicit TWaitCursor(TSessionWindow& Window) : fWindow(Window) { fWindow.ShowHourGlass(true); }
    ~TWaitCursor() { Restore(); }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;
    void Restore() {
        if (std::exchange(fShown, false))
            fWindow.ShowHourGlass(false);
    }

  private:
    TSessionWindow& fWindow;
    bool fShown = true;
};

} // namespace

TFixtureSession::TRun::TRun(TFixtureSession& Session, TFTD2XXWrapper& Cable)
    : s(Session), w(Session.fWindow) {
    s.ftd = &Cable;
    s.FixtureData.reset();
}

TFixtureSession::TRun::~TRun() {
    // Leaves no fixture identifying where the cable still carries the request. Nothing may leave
    // a destructor.
    try {
        if (s.ftd->LastFTD2XXError() == 0)
            SwitchIdentifyOff();
    } catch (...) {
    }
    w.HideFixtureList();
    w.OfferFixtureList(false);
    s.FixtureData.reset();
    fDiscovery.reset();
    fCommand.reset();
    s.ftd = nullptr;
    if ((w.StateControl() & ControlClosing) == 0)
        w.Reconnect();
}

void TFixtureSession::TRun::Run() {
    while (w.StateControl() == 0) {
        try {
            switch (w.State()) {
            case StateDiscovery:
                DiscoveryAttempt();
                break;
            case StateReading:
                ReadingSequence();
                break;
            case StateConnected:
                Poll();
                break;
            case StateWriting:
                WriteSequence();
                break;
            case StateListing:
                ReturnToList();
                break;
            case StateFixtureList:
                ServeFixtureList();
                break;
            case 0:
                break;
            default:
                w.ProcessMessages();
                break;
            }
            w.ProcessMessages();
        } catch (const ERDMError& E) {
            OnRDMError(E);
        } catch (const EFTD2XXError&) {
            OnFTD2XXError();
        }
        // Anything else leaves through the clean-up to the bootstrap, which shows its message.
        w.ProcessMessages();
    }
}

void TFixtureSession::TRun::OnRDMError(const ERDMError& E) {
    if (w.State() == StateReading) {
        // Reading is simply repeated; only the failure after MaxReadingErrors in a row gives up on
        // this fixture.
        fCommand.reset();
        ++fErrorCount;
        if (fErrorCount > SessionTimings::MaxReadingErrors)
            w.SetState(StateDiscovery);
        return;
    }
    if (w.State() == StateWriting)
        w.SetState(StateDiscovery);
    fCommand.reset();
    fErrorCount = 0;
    w.ShowError(E.what());
}

void TFixtureSession::TRun::OnFTD2XXError() {
    fCommand.reset();
    w.ShowCable("No device");
    w.AddStateControl(ControlCableFailed);
}

void TFixtureSession::TRun::Transact() {
    if (!s.ExecuteRDMCommand(*fCommand, fReply))
        RaiseRDMError(*fCommand, fReply);
}

template <typename T> T TFixtureSession::TRun::Require(std::optional<T> Decoded) {
    if (!Decoded) {
        fReply.ErrorCode = RDM_ERR_TOO_SHORT;
        RaiseRDMError(*fCommand, fReply);
    }
    return std::move(*Decoded);
}

void TFixtureSession::TRun::DiscoveryAttempt() {
    w.SetControlsEnabled(false, true);
    w.ParkFocus();
    s.FixtureData.reset();
    fCommand.reset();
    fDiscovery.reset();
    w.ClearModes();
    w.ClearStatusLed();
    fErrorCount = 0;
    s.FixtureData = std::make_unique<TRDMFixture>();
    w.ShowConnection("Not connected");
    fAttemptCount %= 4;
    w.ShowConnection("Discovery" + std::string(static_cast<std::size_t>(fAttemptCount) + 1, '.'));
    w.ProcessMessages();

    // The cable layer only records driver failures; the first place they surface is here.
    ThrowOnDriverError();

    if (fPicked && PickedStillThere()) {
        ConnectTo(*fPicked);
        return;
    }
    fPicked.reset();
    w.OfferFixtureList(false);

    const TDiscoverySearchResult found = FindFixtures();
    if (found.UIDs.size() == 1)
        ConnectTo(found.UIDs.front());
    else if (found.UIDs.size() > 1)
        ListFixtures(found.UIDs);
    else if (!found.Stopped)
        SendIdleFrames();
}

void TFixtureSession::TRun::ThrowOnDriverError() {
    const std::uint32_t status = s.ftd->LastFTD2XXError();
    if (status != 0)
        throw EFTD2XXError("FTD error:" + std::to_string(status) + " - " + FTStatusToString(status));
}

// The search of one attempt: all fixtures un-muted, one DISC_UNIQUE_BRANCH over the whole UID
// range, and, when something answers, the search for every fixture on the line. The window keeps
// answering meanwhile, and closing it ends the search.
TDiscoverySearchResult TFixtureSession::TRun::FindFixtures() {
    ++fAttemptCount;
    // Every question after the first is answered at once or not at all: its window follows the
    // cable's latency timer, lowered at opening where the driver lets it.
    TDiscoverySearchLimits limits;
    limits.ReplyWindowMs = SearchTiming::ReplyWindowMsFor(s.ftd->LatencyTimerMs(CableIndex));
    const TDiscoverySearchResult result = RunDiscoverySearch(*s.ftd, CableIndex, limits, [this] {
        w.ProcessMessages();
        return w.StateControl() == 0;
    });
    // A fixture left identifying by an earlier run stops once it is found again.
    if (s.fIdentifying &&
        std::find(result.UIDs.begin(), result.UIDs.end(), *s.fIdentifying) != result.UIDs.end())
        SwitchIdentifyOff();
    return result;
}

void TFixtureSession::TRun::ConnectTo(const TUID& UID) {
    s.FixtureData->UID = UID;
    w.ShowConnection("Connected");
    w.SetState(StateReading);
    SleepMs(SessionTimings::SettleAfterDiscoveryMs);
}

// DMX frames between attempts that found nothing, so that fixtures on the line keep seeing DMX.
void TFixtureSession::TRun::SendIdleFrames() {
    // The branch left the line turned to receive; idle frames sent so would never reach it.
    s.ftd->SetTransmit(CableIndex);
    for (int frame = 0; frame < SessionTimings::IdleFramesAfterFailedDiscovery; ++frame) {
        s.ftd->TransmitDMXPackage(CableIndex, DMXBuffer);
        SleepMs(SessionTimings::IdleFrameGapMs);
    }
}

void TFixtureSession::TRun::ReadingSequence() {
    if (!s.FixtureData) {
        w.SetState(StateDiscovery);
        return;
    }
    TRDMFixture& fixture = *s.FixtureData;

    fCommand = BuildToolRequest(TToolRequestKind::DeviceInfo, fixture.UID);
    Transact();
    const TDeviceInfoReply info = Require(DecodeDeviceInfo(fReply));
    fixture.DeviceModelID = info.DeviceModelID;
    fixture.SoftwareVersionId = info.SoftwareVersionId;
    fixture.SensorCount = info.SensorCount;
    fixture.DMX512StartAdr = info.DMX512StartAdr;
    fixture.DMX512PersonalityCurrent = info.DMX512PersonalityCurrent;
    fixture.DMX512PersonalityTotal = info.DMX512PersonalityTotal;
    fCommand.reset();
    w.ShowStartAddress(fixture.DMX512StartAdr);

    fCommand = BuildToolRequest(TToolRequestKind::SupportedParameters, fixture.UID);
    Transact();
    fixture.AddSupportedParameters(Require(DecodeSupportedParameters(fReply)));
    fCommand.reset();

    if (fixture.SupportsParameter(PID_DEVICE_MODEL_DESCRIPTION)) {
        fCommand = BuildToolRequest(TToolRequestKind::DeviceModelDescription, fixture.UID);
        Transact();
        fixture.DeviceModelDescription = Require(DecodeDeviceModelDescription(fReply));
        fCommand.reset();
    }
    w.ShowConnection("Connected " + fixture.DeviceModelDescription);
    w.ProcessMessages();

    // Asked for whether or not the fixture lists it.
    fCommand = BuildToolRequest(TToolRequestKind::SoftwareVersionLabel, fixture.UID);
    Transact();
    fixture.FirmwareLabel = Require(DecodeSoftwareVersionLabel(fReply));
    fCommand.reset();
    w.ShowFirmware(fixture.FirmwareLabel);

    w.ShowConnection(fixture.DeviceModelDescription + " - Retrieving info");
    w.ProcessMessages();

    ReadPersonalities(fixture);

    w.ShowConnection(fixture.DeviceModelDescription + " - Ready");
    w.ProcessMessages();

    if (fixture.SupportsParameter(PID_STATUS_LED)) {
        w.ClearStatusLed();
        fCommand = BuildToolRequest(TToolRequestKind::StatusLed, fixture.UID);
        Transact();
        const bool ledOn = Require(DecodeStatusLed(fReply));
        fCommand.reset();
        w.ShowStatusLed(ledOn);
    }

    w.SetControlsEnabled(true, false);
    w.SetState(StateConnected);

    if (fixture.DeviceModelID != VEK340ModelID)
        w.ShowWarning(kNotVEK340Text);
}

void TFixtureSession::TRun::ReadPersonalities(TRDMFixture& fixture) {
    fCommand = BuildToolRequest(TToolRequestKind::DMXPersonality, fixture.UID);
    Transact();
    const TDMXPersonalityReply personality = Require(DecodeDMXPersonality(fReply));
    fixture.DMX512PersonalityCurrent = personality.CurrentPersonality;
    fixture.DMX512PersonalityTotal = personality.NoPersonalities;
    fCommand.reset();

    // Entry i - 1 of the list must describe personality i of this reading, also on a repeat.
    w.ClearModes();
    fixture.fPersonalityDescriptionList.clear();
    for (int i = 1; i <= fixture.DMX512PersonalityTotal; ++i) {
        fCommand = BuildToolRequest(TToolRequestKind::DMXPersonalityDescription, fixture.UID,
                                    static_cast<std::uint16_t>(i));
        Transact();
        const TPersonalityDescriptionReply description = Require(DecodeDMXPersonalityDescription(fReply));
        fixture.AddPersonalityDescription(description.DMXFootprint, description.Description);
        const TPersonalityDescription& d = *fixture.fPersonalityDescriptionList.at(i - 1);
        w.AddMode(i, d.Description, d.DMX512SlotsRequired);
        // A new list selects its first item by itself; only the current personality may be selected.
        const int current = fixture.DMX512PersonalityCurrent - 1;
        w.SelectMode(current >= 0 && current < i ? current : -1);
        fCommand.reset();
    }
}

void TFixtureSession::TRun::Poll() {
    if (!s.FixtureData) {
        w.SetState(StateDiscovery);
        return;
    }
    // Any answer at all keeps the connection; whatever went wrong simply starts discovery again.
    fCommand = BuildToolRequest(TToolRequestKind::Poll, s.FixtureData->UID);
    if (!s.ExecuteRDMCommand(*fCommand, fReply))
        w.SetState(StateDiscovery);
    fCommand.reset();
    w.ProcessMessages();
}

void TFixtureSession::TRun::WriteSequence() {
    if (!s.FixtureData) {
        w.SetState(StateDiscovery);
        return;
    }
    const TUID uid = s.FixtureData->UID;
    w.SetControlsEnabled(false, false);
    TWaitCursor waitCursor(w);
    w.ProcessMessages();

    const std::optional<int> entered = w.EnteredStartAddress();
    const int address = entered ? std::clamp(*entered, LowestAddress, HighestAddress) : LowestAddress;
    w.ShowStartAddress(static_cast<std::uint16_t>(address));
    fCommand =
        BuildToolRequest(TToolRequestKind::SetDMXStartAddress, uid, static_cast<std::uint16_t>(address));
    Transact();
    fCommand.reset();
    SleepMs(SessionTimings::SettleAfterWriteMs);

    // No selection (an empty list) sends personality 0, which the fixture may refuse.
    fCommand = BuildToolRequest(TToolRequestKind::SetDMXPersonality, uid,
                                static_cast<std::uint16_t>(static_cast<std::uint8_t>(w.ChosenPersonality())));
    Transact();
    fCommand.reset();
    SleepMs(SessionTimings::SettleAfterWriteMs);

    const std::optional<bool> ledOn = w.ChosenStatusLed();
    if (s.FixtureData->SupportsParameter(PID_STATUS_LED) && ledOn) {
        fCommand = BuildToolRequest(TToolRequestKind::SetStatusLed, uid,
                                    *ledOn ? StatusLedOnValue : StatusLedOffValue);
        Transact();
        fCommand.reset();
    }
    SleepMs(SessionTimings::SettleAfterWriteMs);

    waitCursor.Restore();
    w.ProcessMessages();
    // Read everything back, so the window shows what the fixture now holds.
    w.SetState(StateDiscovery);
}

TFixtureSession::TFixtureSession(TSessionWindow& Window) : fWindow(Window) {}

TFixtureSession::~TFixtureSession() = default;

void TFixtureSession::StateMachine(TFTD2XXWrapper& Cable) {
    TRun run(*this, Cable);
    run.Run();
}

bool TFixtureSession::ExecuteRDMCommand(const TRDMCommand& Command, TRDMResponseData& Response) {
    if (!ftd)
        return false;
    return TransactRDMRequest(*ftd, CableIndex, Command, Response);
}

void TFixtureSession::RaiseRDMError(const TRDMCommand& Command, const TRDMResponseData& Response) {
    throw ERDMError(RDMErrorText(Command, Response));
}
