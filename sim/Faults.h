// Faults injected into fixture answers: which answer gets which fault, and what it does to the bytes.
#pragma once

#include "RdmWire.h"

#include <cstdint>
#include <vector>

namespace vcable {

class FaultQueue {
  public:
    void inject(int fixture, int fault, int commandClass, int pid, int count);
    void clear() { rules_.clear(); }
    void removeFixture(int fixture);
    // Takes the first queued fault that matches an answer of `fixture` to (cc, pid); VC_FAULT_NONE
    // when there is none. Faults that mean nothing for a discovery answer are left for later answers.
    int take(int fixture, uint8_t commandClass, uint16_t pid, bool discoveryAnswer);

  private:
    struct Rule {
        int fixture;
        int fault;
        int commandClass;
        int pid;
        int count; // -1: until cleared
    };
    std::vector<Rule> rules_;
};

struct FaultedAnswer {
    Bytes bytes;              // what the fixture puts on the line; empty: nothing
    int64_t extraDelayUs = 0; // real time added before the first byte
};

// Applies `fault` (a VC_Fault, not NACK: that one is answered by the fixture itself) to an answer.
FaultedAnswer applyFault(int fault, const Request& request, Bytes answer, const Uid& fixtureUid);

} // namespace vcable
