// Finding every fixture on a line: E1.20's binary search with DISC_UNIQUE_BRANCH and DISC_MUTE.
//
// It opens like the discovery of a single fixture: a broadcast DISC_UN_MUTE, then one
// DISC_UNIQUE_BRANCH over the whole range with the 100 ms window. A UID that decodes is only
// believed once the fixture has answered a DISC_MUTE to it from that UID; the same range is then
// asked again, with the short window, until nobody answers. Bytes that do not decode mean
// several answers on top of each other: the range is halved and each half asked in turn. When the
// search went beyond one fixture, a broadcast DISC_UN_MUTE ends it, so that every fixture answers
// again. With one fixture (or none) on the line the requests are those of the single-fixture
// discovery plus the confirming DISC_MUTE and the second DISC_UNIQUE_BRANCH.
#pragma once

#include "FTD2XXWrapper.h"
#include "RDM_Lib.h"
#include "SearchTimings.h"

#include <cstdint>
#include <functional>
#include <vector>

struct TDiscoverySearchLimits {
    std::uint32_t DeadlineMs = SearchTiming::DeadlineMs;
    int MaxBranchRequests = SearchTiming::MaxBranchRequests;
    int ReplyWindowMs = SearchTiming::ReplyWindowMs; // every request after the first one
};

struct TDiscoverySearchResult {
    std::vector<TUID> UIDs; // every fixture found, in ascending order
    // The search stopped at its deadline or its request limit: more fixtures may be on the line.
    bool OutOfTime = false;
    // Found fixtures that went on answering after DISC_MUTE; the search went round them.
    std::vector<TUID> NotMuted;
    // The caller's KeepGoing said no: the search stopped where it stood.
    bool Stopped = false;
};

// Asked before each question after the first two (the single-fixture discovery runs whole); false
// stops the search. The window keeps answering through it.
using TSearchKeepGoing = std::function<bool()>;

// Runs the search on the opened cable `CableIndex` of `ftd`. Stops early when the cable layer
// records a driver error; the caller finds it in ftd.LastFTD2XXError().
TDiscoverySearchResult RunDiscoverySearch(TFTD2XXWrapper& ftd, int CableIndex,
                                          const TDiscoverySearchLimits& Limits = {},
                                          TSearchKeepGoing KeepGoing = {});

// The UID as a 48-bit number, manufacturer ID in the upper 16 bits: the order of the search.
std::uint64_t UIDValue(const TUID& UID);
TUID UIDFromValue(std::uint64_t Value);
