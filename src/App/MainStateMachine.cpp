// The fixture state machine of the main window: discover the one fixture on the line, read it,
// poll it, write the shown settings to it, and hand back to the bootstrap when the cable fails.
// It runs on the user-interface thread inside the WM_USER handler and pumps window messages
// between its steps; buttons and the close request reach it only through fState and fStateControl.
#include "LineConstants.h"
#include "Main.h"
#include "ReplyDecoding.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <thread>

namespace {

constexpr int CableIndex = 0;
constexpr int SettleAfterWriteMs = 2500;
constexpr int MaxReadingErrors = 3;

constexpr std::uint16_t VEK340ModelID = 103;
constexpr int StatusLedOnItem = 0;
constexpr int StatusLedOffItem = 1;
constexpr std::uint8_t StatusLedOnValue = 0xFF;
constexpr std::uint8_t StatusLedOffValue = 0x00;
constexpr int LowestAddress = 1;
constexpr int HighestAddress = 512;

// Blocks the window on purpose: the fixture needs the time, and nothing may reach the line meanwhile.
void SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The hour-glass for the blocking write; gone again on every way out of it, exceptions included.
class TWaitCursor {
  public:
    TWaitCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~TWaitCursor() { Restore(); }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;
    void Restore() {
        if (fShown) {
            fShown = false;
            QApplication::restoreOverrideCursor();
        }
    }

  private:
    bool fShown = true;
};

} // namespace

// The working state of one run of StateMachine. Its destructor is the run's clean-up, so it also
// happens when an exception leaves the loop.
class TStateMachineRun {
  public:
    explicit TStateMachineRun(TMainForm& Form) : f(Form) { f.FixtureData.reset(); }
    ~TStateMachineRun();
    TStateMachineRun(const TStateMachineRun&) = delete;
    TStateMachineRun& operator=(const TStateMachineRun&) = delete;

    void Run();

  private:
    void DiscoveryAttempt();
    void ReadingSequence();
    void Poll();
    void WriteSequence();
    void OnRDMError(const ERDMError& E);
    void OnFTD2XXError();

    // One transaction of the current request; a failed one becomes ERDMError.
    void Transact();
    // The values of the current reply; raises for one too short for them (see ReplyDecoding.h).
    template <typename T> T Require(std::optional<T> Decoded);

    TMainForm& f;
    std::unique_ptr<TRDMCommand> fCommand;
    std::unique_ptr<TRDMDiscoveryUniqueBranch> fDiscovery;
    int fAttemptCount = 0;
    int fErrorCount = 0;
    TRDMResponseData fReply{};
};

TStateMachineRun::~TStateMachineRun() {
    f.FixtureData.reset();
    fDiscovery.reset();
    fCommand.reset();
    if ((f.fStateControl & ControlClosing) == 0) {
        f.PostWMUser();
    }
}

void TStateMachineRun::Run() {
    while (f.fStateControl == 0) {
        try {
            switch (f.fState) {
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
            case 0:
                break;
            default:
                f.ProcessMessages();
                break;
            }
            f.ProcessMessages();
        } catch (const ERDMError& E) {
            OnRDMError(E);
        } catch (const EFTD2XXError&) {
            OnFTD2XXError();
        }
        // Anything else leaves through the clean-up to the bootstrap, which shows its message.
        f.ProcessMessages();
    }
}

void TStateMachineRun::OnRDMError(const ERDMError& E) {
    if (f.fState == StateReading) {
        // Reading is simply repeated; only a fourth failure in a row gives up on this fixture.
        fCommand.reset();
        ++fErrorCount;
        if (fErrorCount > MaxReadingErrors) {
            f.fState = StateDiscovery;
        }
        return;
    }
    if (f.fState == StateWriting) {
        f.fState = StateDiscovery;
    }
    fCommand.reset();
    fErrorCount = 0;
    f.ShowErrorBox(QString::fromStdString(E.what()));
}

void TStateMachineRun::OnFTD2XXError() {
    fCommand.reset();
    f.lRDM->setText(QStringLiteral("No device"));
    f.fStateControl |= ControlCableFailed;
}

void TStateMachineRun::Transact() {
    if (!f.ExecuteRDMCommand(*fCommand, fReply)) {
        f.RaiseRDMError(*fCommand, fReply);
    }
}

template <typename T> T TStateMachineRun::Require(std::optional<T> Decoded) {
    if (!Decoded) {
        fReply.ErrorCode = RDM_ERR_TOO_SHORT;
        f.RaiseRDMError(*fCommand, fReply);
    }
    return std::move(*Decoded);
}

void TStateMachineRun::DiscoveryAttempt() {
    f.SetControlsEnabled(false, true);
    f.bDummyFocus->setFocus();
    f.FixtureData.reset();
    fCommand.reset();
    fDiscovery.reset();
    f.cbDMXMode->clear();
    f.cbStatusLed->clear();
    fErrorCount = 0;
    f.FixtureData = std::make_unique<TRDMFixture>();
    f.lConnection->setText(QStringLiteral("Not connected"));
    fAttemptCount %= 4;
    f.lConnection->setText(QStringLiteral("Discovery") + QString(fAttemptCount + 1, QLatin1Char('.')));
    f.ProcessMessages();

    // The cable layer only records driver failures; the first place they surface is here.
    const std::uint32_t status = f.ftd->LastFTD2XXError();
    if (status != 0) {
        throw EFTD2XXError("FTD error:" + std::to_string(status) + " - " + FTStatusToString(status));
    }

    fCommand = std::make_unique<TRDMCommand>(BroadcastUID, CC_DISCOVERY_COMMAND, PID_DISC_UN_MUTE, true);
    f.ftd->SendRDMCommand(CableIndex, &fCommand->CommandData(), fCommand->MessageLength() + 2, false);
    fCommand.reset();

    fDiscovery = std::make_unique<TRDMDiscoveryUniqueBranch>(NullUID, BroadcastUID);
    fDiscovery->Finalize();
    ++fAttemptCount;

    if (f.ftd->DiscoveryCommand(CableIndex, *fDiscovery, f.FixtureData->UID,
                                RDMLine::DiscoveryReplyWindowMs)) {
        f.lConnection->setText(QStringLiteral("Connected"));
        f.fState = StateReading;
        SleepMs(RDMLine::SettleAfterDiscoveryMs);
    } else {
        // The branch left the line turned to receive; idle frames sent so would never reach it.
        f.ftd->SetTransmit(CableIndex);
        for (int frame = 0; frame < RDMLine::IdleFramesAfterFailedDiscovery; ++frame) {
            f.ftd->TransmitDMXPackage(CableIndex, DMXBuffer);
            SleepMs(RDMLine::IdleFrameGapMs);
        }
    }
}

void TStateMachineRun::ReadingSequence() {
    if (!f.FixtureData) {
        f.fState = StateDiscovery;
        return;
    }
    TRDMFixture& fixture = *f.FixtureData;

    fCommand = std::make_unique<TRDMCommand>(fixture.UID, CC_GET_COMMAND, PID_DEVICE_INFO, true);
    Transact();
    const TDeviceInfoReply info = Require(DecodeDeviceInfo(fReply));
    fixture.DeviceModelID = info.DeviceModelID;
    fixture.SoftwareVersionId = info.SoftwareVersionId;
    fixture.SensorCount = info.SensorCount;
    fixture.DMX512StartAdr = info.DMX512StartAdr;
    fixture.DMX512PersonalityCurrent = info.DMX512PersonalityCurrent;
    fixture.DMX512PersonalityTotal = info.DMX512PersonalityTotal;
    fCommand.reset();
    f.leDMXAdr->setText(QString::number(fixture.DMX512StartAdr));

    fCommand = std::make_unique<TRDMCommand>(fixture.UID, CC_GET_COMMAND, PID_SUPPORTED_PARAMETERS, true);
    Transact();
    fixture.AddSupportedParameters(Require(DecodeSupportedParameters(fReply)));
    fCommand.reset();

    if (fixture.SupportsParameter(PID_DEVICE_MODEL_DESCRIPTION)) {
        fCommand =
            std::make_unique<TRDMCommand>(fixture.UID, CC_GET_COMMAND, PID_DEVICE_MODEL_DESCRIPTION, true);
        Transact();
        fixture.DeviceModelDescription =
            QString::fromStdString(Require(DecodeDeviceModelDescription(fReply)));
        fCommand.reset();
    }
    f.lConnection->setText(QStringLiteral("Connected ") + fixture.DeviceModelDescription);
    f.ProcessMessages();

    // Asked for whether or not the fixture lists it.
    fCommand = std::make_unique<TRDMCommand>(fixture.UID, CC_GET_COMMAND, PID_SOFTWARE_VERSION_LABEL, true);
    Transact();
    fixture.FirmwareLabel = QString::fromStdString(Require(DecodeSoftwareVersionLabel(fReply)));
    fCommand.reset();
    f.leFirmware->setText(fixture.FirmwareLabel);

    f.lConnection->setText(fixture.DeviceModelDescription + QStringLiteral(" - Retrieving info"));
    f.ProcessMessages();

    fCommand = std::make_unique<TRDMCommand>(fixture.UID, CC_GET_COMMAND, PID_DMX_PERSONALITY, false);
    fCommand->Finalize();
    Transact();
    const TDMXPersonalityReply personality = Require(DecodeDMXPersonality(fReply));
    fixture.DMX512PersonalityCurrent = personality.CurrentPersonality;
    fixture.DMX512PersonalityTotal = personality.NoPersonalities;
    fCommand.reset();

    // Entry i - 1 of the list must describe personality i of this reading, also on a repeat.
    f.cbDMXMode->clear();
    fixture.fPersonalityDescriptionList.clear();
    for (int i = 1; i <= fixture.DMX512PersonalityTotal; ++i) {
        fCommand = std::make_unique<TRDMCommand>(fixture.UID, CC_GET_COMMAND, PID_DMX_PERSONALITY_DESCRIPTION,
                                                 false);
        fCommand->SetByteParam(static_cast<std::uint8_t>(i), true);
        Transact();
        const TPersonalityDescriptionReply description = Require(DecodeDMXPersonalityDescription(fReply));
        fixture.AddPersonalityDescription(description.DMXFootprint,
                                          QString::fromStdString(description.Description));
        const TPersonalityDescription& d = *fixture.fPersonalityDescriptionList.at(i - 1);
        // One pass over the pattern, so a "%" in the fixture's text stays as it is.
        f.cbDMXMode->addItem(
            QStringLiteral("%1. %2  (%3 channels)")
                .arg(QString::number(i), d.Description, QString::number(d.DMX512SlotsRequired)));
        // A new list selects its first item by itself; only the current personality may be selected.
        const int current = fixture.DMX512PersonalityCurrent - 1;
        f.cbDMXMode->setCurrentIndex(current >= 0 && current < f.cbDMXMode->count() ? current : -1);
        fCommand.reset();
    }

    f.lConnection->setText(fixture.DeviceModelDescription + QStringLiteral(" - Ready"));
    f.ProcessMessages();

    if (fixture.SupportsParameter(PID_STATUS_LED)) {
        f.cbStatusLed->clear();
        fCommand = std::make_unique<TRDMCommand>(fixture.UID, CC_GET_COMMAND, PID_STATUS_LED, true);
        Transact();
        const bool ledOn = Require(DecodeStatusLed(fReply));
        f.cbStatusLed->clear();
        f.cbStatusLed->addItem(QStringLiteral("On"));
        f.cbStatusLed->addItem(QStringLiteral("Off"));
        f.cbStatusLed->setCurrentIndex(ledOn ? StatusLedOnItem : StatusLedOffItem);
        fCommand.reset();
        f.cbStatusLed->setEnabled(true);
    }

    f.SetControlsEnabled(true, false);
    f.fState = StateConnected;

    if (fixture.DeviceModelID != VEK340ModelID) {
        f.ShowWarningBox(QStringLiteral("The connected device does not appear to be a VEK-340.\r"
                                        "Application may not perform as intended."));
    }
}

void TStateMachineRun::Poll() {
    if (!f.FixtureData) {
        f.fState = StateDiscovery;
        return;
    }
    // Any answer at all keeps the connection; whatever went wrong simply starts discovery again.
    fCommand =
        std::make_unique<TRDMCommand>(f.FixtureData->UID, CC_DISCOVERY_COMMAND, PID_DISC_UN_MUTE, true);
    if (!f.ExecuteRDMCommand(*fCommand, fReply)) {
        f.fState = StateDiscovery;
    }
    fCommand.reset();
    f.ProcessMessages();
}

void TStateMachineRun::WriteSequence() {
    if (!f.FixtureData) {
        f.fState = StateDiscovery;
        return;
    }
    const TUID uid = f.FixtureData->UID;
    f.SetControlsEnabled(false, false);
    TWaitCursor waitCursor;
    f.ProcessMessages();

    fCommand = std::make_unique<TRDMCommand>(uid, CC_SET_COMMAND, PID_DMX_START_ADDRESS, false);
    bool isNumber = false;
    int address = f.leDMXAdr->text().toInt(&isNumber);
    address = isNumber ? std::clamp(address, LowestAddress, HighestAddress) : LowestAddress;
    f.leDMXAdr->setText(QString::number(address));
    fCommand->SetWordParam(static_cast<std::uint16_t>(f.leDMXAdr->text().toUShort()), true);
    Transact();
    fCommand.reset();
    SleepMs(SettleAfterWriteMs);

    // No selection (an empty list) sends personality 0, which the fixture may refuse.
    fCommand = std::make_unique<TRDMCommand>(uid, CC_SET_COMMAND, PID_DMX_PERSONALITY, false);
    fCommand->SetByteParam(static_cast<std::uint8_t>(f.cbDMXMode->currentIndex() + 1), true);
    Transact();
    fCommand.reset();
    SleepMs(SettleAfterWriteMs);

    if (f.FixtureData->SupportsParameter(PID_STATUS_LED) && f.cbStatusLed->currentIndex() >= 0) {
        fCommand = std::make_unique<TRDMCommand>(uid, CC_SET_COMMAND, PID_STATUS_LED, false);
        fCommand->SetByteParam(
            f.cbStatusLed->currentIndex() == StatusLedOnItem ? StatusLedOnValue : StatusLedOffValue, true);
        Transact();
        fCommand.reset();
    }
    SleepMs(SettleAfterWriteMs);

    waitCursor.Restore();
    f.ProcessMessages();
    // Read everything back, so the window shows what the fixture now holds.
    f.fState = StateDiscovery;
}

void TMainForm::StateMachine() {
    TStateMachineRun run(*this);
    run.Run();
}

bool TMainForm::ExecuteRDMCommand(const TRDMCommand& Command, TRDMResponseData& Response) {
    if (!ftd) {
        return false;
    }
    const bool complete = ftd->RDMCommandWithResponse(CableIndex, Command, Response, RDMLine::ReplyTimeoutMs);
    if (complete) {
        CheckRDMResponse(Command, Response, RDMLine::ReplyTimeoutMs);
    } else if (Response.ResponseTimeMs > RDMLine::ReplyTimeoutMs) {
        Response.ErrorCode = RDM_ERR_TIMEOUT;
    } else {
        // Collection stopped early without a complete reply (its length byte was never reached or
        // the reply outgrew what the collector keeps): its bytes are no answer to rely on.
        Response.ErrorCode = RDM_ERR_TOO_SHORT;
    }
    return Response.ErrorCode == RDM_ERR_NONE;
}

void TMainForm::RaiseRDMError(const TRDMCommand& Command, const TRDMResponseData& Response) {
    // A finalized request holds its PID in wire order.
    const std::uint16_t pid = GetBE16(Command.CommandData().PID);
    throw ERDMError("RDM error(" + RDMPIDToString(pid) + ", " + RDMErrorToString(Response) + ")");
}
