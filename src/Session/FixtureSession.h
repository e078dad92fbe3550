// The conversation with the fixtures on the line, apart from any window: discover them (one is read
// at once, several are listed for the technician to pick one), read the fixture, poll it, write the
// settings the user chose, count reading errors and keep the waits between. It runs
// on the caller's thread and hands the window its texts, lists and boxes, and the points where
// waiting window messages are delivered, through TSessionWindow.
#pragma once

#include "ErrorExceptions.h"
#include "FTD2XXWrapper.h"
#include "FixtureStates.h"
#include "RDMFixture.h"
#include "RDM_Lib.h"
#include "SessionWindow.h"

#include <memory>
#include <optional>

class TFixtureSession {
  public:
    explicit TFixtureSession(TSessionWindow& Window);
    ~TFixtureSession();
    TFixtureSession(const TFixtureSession&) = delete;
    TFixtureSession& operator=(const TFixtureSession&) = delete;

    // The fixture loop on cable 0 of `Cable`, from the state the window holds, until the window closes
    // or the cable fails. An exception other than ERDMError and EFTD2XXError leaves it after the
    // clean-up. Unless the window is closing, it ends by asking the window to reconnect.
    void StateMachine(TFTD2XXWrapper& Cable);

    // The record of the fixture being read, polled or written; none outside StateMachine.
    const TRDMFixture* Fixture() const { return FixtureData.get(); }

    // One request and its reply, judged: true exactly when the reply's ErrorCode is 0. False without
    // a transaction while no cable is given.
    bool ExecuteRDMCommand(const TRDMCommand& Command, TRDMResponseData& Response);
    // Raises ERDMError "RDM error(<PID name>, <error text>)" for a failed transaction.
    [[noreturn]] static void RaiseRDMError(const TRDMCommand& Command, const TRDMResponseData& Response);

  private:
    friend class TFixtureSessionProbe; // tests: a record in place without a run
    class TRun;

    TSessionWindow& fWindow;
    TFTD2XXWrapper* ftd = nullptr; // the cable of the running loop only
    std::unique_ptr<TRDMFixture> FixtureData;
    // The fixture of a line of several that was told to identify itself and not yet told to stop.
    // It outlives a run: a fixture left identifying when the cable went is stopped once found again.
    std::optional<TUID> fIdentifying;
};
