// The working state of one run of the fixture loop, shared by the files that make up the loop
// (FixtureSession.cpp: one fixture; FixtureSessionLine.cpp: a line of several). Not for callers.
#pragma once

#include "DiscoverySearch.h"
#include "FixtureList.h"
#include "FixtureSession.h"

#include <chrono>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace SessionRun {

inline constexpr int CableIndex = 0;

// Blocks the window on purpose: the fixture needs the time, and nothing may reach the line meanwhile.
inline void SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace SessionRun

// The working state of one run of StateMachine. Its destructor is the run's clean-up, so it also
// happens when an exception leaves the loop.
class TFixtureSession::TRun {
  public:
    TRun(TFixtureSession& Session, TFTD2XXWrapper& Cable);
    ~TRun();
    TRun(const TRun&) = delete;
    TRun& operator=(const TRun&) = delete;

    void Run();

  private:
    void DiscoveryAttempt();
    TDiscoverySearchResult FindFixtures();
    bool PickedStillThere();
    void ConnectTo(const TUID& UID);
    void SendIdleFrames();
    void ListFixtures(const std::vector<TUID>& UIDs);
    void ServeFixtureList();
    void ReturnToList();
    void Pick(int Entry);
    void ToggleIdentify(int Entry);
    void SwitchIdentifyOff();
    void ThrowOnDriverError();
    void ReadingSequence();
    void ReadPersonalities(TRDMFixture& fixture);
    void Poll();
    void WriteSequence();
    void OnRDMError(const ERDMError& E);
    void OnFTD2XXError();

    // One transaction of the current request; a failed one becomes ERDMError.
    void Transact();
    // The values of the current reply; raises for one too short for them (see ReplyDecoding.h).
    template <typename T> T Require(std::optional<T> Decoded);

    TFixtureSession& s;
    TSessionWindow& w;
    std::unique_ptr<TRDMCommand> fCommand;
    std::unique_ptr<TRDMDiscoveryUniqueBranch> fDiscovery;
    int fAttemptCount = 0;
    int fErrorCount = 0;
    TRDMResponseData fReply{};
    std::vector<TUID> fListed;   // the fixtures of the last list of a line of several, in its order
    std::optional<TUID> fPicked; // the fixture of several being read, polled and written
    std::chrono::steady_clock::time_point fLastCableCheck{};
};
