// The tool calls the library from its window thread and from a 1 ms timer thread at once.
#include "SimLine.h"

#include <atomic>
#include <thread>

using namespace simtest;

namespace {

TEST(Threads, TransactionsHoldWhileAnotherThreadDrivesASecondCable) {
    VC_Reset();
    VC_SetFastTiming();
    VC_CableConfig second{};
    VC_DefaultCable(&second);
    second.serial[7] = '2';
    ASSERT_EQ(VC_AddCable(&second), 1);
    VC_FT_HANDLE first = openLine(0);
    VC_FT_HANDLE other = openLine(1);

    std::atomic<bool> stop{false};
    std::thread refresh([&] {
        const Bytes frame(513, 0x00);
        while (!stop) {
            sendWithBreak(other, frame);
            VC_DWORD rx = 0, tx = 0, events = 0;
            FT_GetStatus(other, &rx, &tx, &events);
            VC_CaptureCount();
            VC_CallCount("*");
        }
    });
    for (int i = 0; i < 200; ++i) {
        const Bytes reply = transact(first, rdmRequest(kFixtureUid, 0x20, 0x0060));
        ASSERT_EQ(reply.size(), 45u) << "transaction " << i;
    }
    stop = true;
    refresh.join();
    FT_Close(first);
    FT_Close(other);
    VC_Reset();
}

} // namespace
