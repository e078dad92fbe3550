#include "DiscoverySearch.h"

#include "SessionTimings.h"

#include "Platform.h"

#include <set>
#include <utility>

namespace {

struct TUIDRange {
    std::uint64_t Low = 0;
    std::uint64_t High = 0;
    bool Contains(std::uint64_t V) const { return Low <= V && V <= High; }
    bool Single() const { return Low == High; }
};

// A destination that addresses every fixture, or every fixture of one manufacturer: a decoded
// "UID" of that form is no fixture, and a DISC_MUTE to it would silence fixtures not yet found.
bool AddressesSeveral(const TUID& UID) {
    return UID.Bytes[2] == 0xFF && UID.Bytes[3] == 0xFF && UID.Bytes[4] == 0xFF && UID.Bytes[5] == 0xFF;
}

class TDiscoverySearch {
  public:
    TDiscoverySearch(TFTD2XXWrapper& Ftd, int CableIndex, const TDiscoverySearchLimits& Limits,
                     TSearchKeepGoing KeepGoing)
        : fFtd(Ftd), fCable(CableIndex), fLimits(Limits), fKeepGoing(std::move(KeepGoing)) {}

    TDiscoverySearchResult Run();

  private:
    enum class TLoneAnswer { Found, NotAlone };

    TDiscoveryReply Branch(const TUIDRange& Range, TUID& UID);
    bool MuteConfirmed(const TUID& UID);
    void BroadcastUnMute();
    bool MayGoOn();
    bool SplitAroundNotMuted(const TUIDRange& Range);
    TLoneAnswer TakeLoneAnswer(const TUIDRange& Range, const TUID& UID);
    bool AnswersAlone(const TUIDRange& Range, const TUID& UID);
    void Halve(const TUIDRange& Range);

    TFTD2XXWrapper& fFtd;
    int fCable;
    TDiscoverySearchLimits fLimits;
    TSearchKeepGoing fKeepGoing;
    bool fStopped = false;
    std::uint32_t fStartMs = 0;
    int fBranchRequests = 0;
    bool fOutOfTime = false;
    bool fHalved = false;
    std::vector<TUIDRange> fPending; // ranges still to ask; the next one last
    std::set<std::uint64_t> fFound;
    std::set<std::uint64_t> fNotMuted;
    std::set<std::uint64_t> fFormedByCollision; // UIDs that several answers at once formed
    TRDMResponseData fReply{};
};

TDiscoverySearchResult TDiscoverySearch::Run() {
    fStartMs = Platform::TimeGetTime();
    BroadcastUnMute();
    const TUIDRange wholeRange{UIDValue(NullUID), UIDValue(BroadcastUID)};
    fPending.push_back(wholeRange);
    std::size_t foundAtLastCheck = 0;
    for (;;) {
        if (fPending.empty()) {
            // After halving, the whole range is asked once more: a fixture whose answer was lost
            // on the way is not muted and answers now. Nobody answering ends the search.
            if (!fHalved || fFound.size() == foundAtLastCheck)
                break;
            foundAtLastCheck = fFound.size();
            fPending.push_back(wholeRange);
        }
        if (!MayGoOn())
            break;
        const TUIDRange range = fPending.back();
        if (SplitAroundNotMuted(range))
            continue;
        TUID uid{};
        switch (Branch(range, uid)) {
        case TDiscoveryReply::None:
            fPending.pop_back();
            break;
        case TDiscoveryReply::Decoded:
            if (TakeLoneAnswer(range, uid) == TLoneAnswer::Found)
                break;
            Halve(range);
            break;
        case TDiscoveryReply::Garbled:
            Halve(range);
            break;
        }
    }
    // One fixture that answered, muted itself, and then silence (or silence at once) is the
    // discovery of a single fixture: the line carries nothing more. Its poll unmutes the fixture.
    // A cable that failed carries nothing more.
    const bool oneOrNone = fBranchRequests <= 2 && fFound.size() <= 1 && fNotMuted.empty() && !fHalved;
    if ((!oneOrNone || fOutOfTime || fStopped) && fFtd.LastFTD2XXError() == 0)
        BroadcastUnMute();

    TDiscoverySearchResult result;
    for (const std::uint64_t v : fFound)
        result.UIDs.push_back(UIDFromValue(v));
    for (const std::uint64_t v : fNotMuted)
        result.NotMuted.push_back(UIDFromValue(v));
    result.OutOfTime = fOutOfTime;
    result.Stopped = fStopped;
    return result;
}

bool TDiscoverySearch::MayGoOn() {
    if (fFtd.LastFTD2XXError() != 0)
        return false;
    if (Platform::TimeGetTime() - fStartMs >= fLimits.DeadlineMs ||
        fBranchRequests >= fLimits.MaxBranchRequests) {
        fOutOfTime = true;
        return false;
    }
    // The single-fixture discovery (two questions at most) runs whole, as it always did.
    if (fBranchRequests >= 2 && fKeepGoing && !fKeepGoing()) {
        fStopped = true;
        return false;
    }
    return true;
}

void TDiscoverySearch::BroadcastUnMute() {
    const TRDMCommand unMute(BroadcastUID, CC_DISCOVERY_COMMAND, PID_DISC_UN_MUTE, true);
    fFtd.SendRDMCommand(fCable, &unMute.CommandData(), unMute.MessageLength() + 2, false);
}

// The first question goes to the whole line with the single-fixture discovery's window; every
// later one knows its answer comes at once, or not at all.
TDiscoveryReply TDiscoverySearch::Branch(const TUIDRange& Range, TUID& UID) {
    TRDMDiscoveryUniqueBranch branch(UIDFromValue(Range.Low), UIDFromValue(Range.High));
    branch.Finalize();
    const int window = fBranchRequests == 0 ? SessionTimings::DiscoveryReplyWindowMs : fLimits.ReplyWindowMs;
    ++fBranchRequests;
    return fFtd.DiscoveryBranch(fCable, branch, UID, window);
}

// True when the fixture answered the DISC_MUTE itself: an ACK from that very UID.
bool TDiscoverySearch::MuteConfirmed(const TUID& UID) {
    const TRDMCommand mute(UID, CC_DISCOVERY_COMMAND, PID_DISC_MUTE, true);
    const auto window = static_cast<std::uint32_t>(fLimits.ReplyWindowMs);
    if (!fFtd.RDMCommandWithResponse(fCable, mute, fReply, window))
        return false;
    // DISC_MUTE is only ever acknowledged; the reply check would take an ACK_TIMER for a
    // programming error.
    if (fReply.Data.PortID != RESPONSE_TYPE_ACK)
        return false;
    CheckRDMResponse(mute, fReply, window);
    return fReply.ErrorCode == RDM_ERR_NONE && fReply.Data.SourceUID == UID;
}

// A fixture that does not stay muted answers every range it lies in, over anybody else's answer:
// such ranges are asked without it, below and above it.
bool TDiscoverySearch::SplitAroundNotMuted(const TUIDRange& Range) {
    const auto it = fNotMuted.lower_bound(Range.Low);
    if (it == fNotMuted.end() || !Range.Contains(*it))
        return false;
    const std::uint64_t v = *it;
    fPending.pop_back();
    if (v < Range.High)
        fPending.push_back(TUIDRange{v + 1, Range.High});
    if (v > Range.Low)
        fPending.push_back(TUIDRange{Range.Low, v - 1});
    return true;
}

// One UID decoded. It stands for one fixture alone only if it lies in the range asked and the
// fixture confirms it; otherwise the answers of several fixtures happened to form it.
TDiscoverySearch::TLoneAnswer TDiscoverySearch::TakeLoneAnswer(const TUIDRange& Range, const TUID& UID) {
    const std::uint64_t v = UIDValue(UID);
    if (!Range.Contains(v) || AddressesSeveral(UID))
        return TLoneAnswer::NotAlone;
    // Answers that formed a UID once form it again in every range holding all of them; only a range
    // of that UID alone is answered by nobody but its owner.
    if (fFormedByCollision.contains(v) && !Range.Single())
        return TLoneAnswer::NotAlone;
    if (fFound.contains(v)) {
        // Muted before, and answering again: a fixture that does not stay muted, which the next
        // round asks around, or others whose answers form its UID.
        if (!AnswersAlone(Range, UID)) {
            fFormedByCollision.insert(v);
            return TLoneAnswer::NotAlone;
        }
        fNotMuted.insert(v);
        return TLoneAnswer::Found;
    }
    // A fixture muted by the first DISC_MUTE answers a second one too, should its first answer
    // have come too late for the window.
    if (MuteConfirmed(UID) || MuteConfirmed(UID)) {
        fFound.insert(v);
        if (Range.Single())
            fPending.pop_back(); // nobody else can answer there
        return TLoneAnswer::Found;
    }
    // No confirmation: a fixture that ignores DISC_MUTE, or a UID nobody has.
    if (!AnswersAlone(Range, UID)) {
        fFormedByCollision.insert(v);
        return TLoneAnswer::NotAlone;
    }
    fFound.insert(v);
    fNotMuted.insert(v);
    return TLoneAnswer::Found;
}

// Whether the fixture with this UID answers by itself: asked alone in a range of its UID only.
bool TDiscoverySearch::AnswersAlone(const TUIDRange& Range, const TUID& UID) {
    if (Range.Single())
        return true; // it just did
    const std::uint64_t v = UIDValue(UID);
    TUID again{};
    return Branch(TUIDRange{v, v}, again) == TDiscoveryReply::Decoded && again == UID;
}

// Several answers at once: each half is asked in turn, the lower first. A single UID cannot be
// halved; what garbles there is noise (or two fixtures with one UID), and it is left.
void TDiscoverySearch::Halve(const TUIDRange& Range) {
    fHalved = true;
    fPending.pop_back();
    if (Range.Single())
        return;
    const std::uint64_t middle = Range.Low + (Range.High - Range.Low) / 2;
    fPending.push_back(TUIDRange{middle + 1, Range.High});
    fPending.push_back(TUIDRange{Range.Low, middle});
}

} // namespace

std::uint64_t UIDValue(const TUID& UID) {
    std::uint64_t v = 0;
    for (const std::uint8_t b : UID.Bytes)
        v = (v << 8) | b;
    return v;
}

TUID UIDFromValue(std::uint64_t Value) {
    TUID uid{};
    for (int k = 5; k >= 0; --k) {
        uid.Bytes[k] = static_cast<std::uint8_t>(Value & 0xFF);
        Value >>= 8;
    }
    return uid;
}

TDiscoverySearchResult RunDiscoverySearch(TFTD2XXWrapper& ftd, int CableIndex,
                                          const TDiscoverySearchLimits& Limits, TSearchKeepGoing KeepGoing) {
    TDiscoverySearch search(ftd, CableIndex, Limits, std::move(KeepGoing));
    return search.Run();
}
