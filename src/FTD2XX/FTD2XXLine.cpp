// The line: breaks and data, direction, reads, the refresh frame, and the RDM transactions.
#include "FTD2XXUnit.h"

#include <algorithm>
#include <cstring>
#include <thread>

using namespace FTD2XXUnit;

namespace {

constexpr std::uint32_t RDMPreDelay = 80;
constexpr std::uint32_t RDMPostDelay = 80;
// A refresh under way ends within this even on a slow driver; a timer that stopped must not hang.
constexpr std::uint32_t TickWaitLimitMs = 1000;

} // namespace

// ---- Line ---------------------------------------------------------------------------------------

bool TFTD2XXWrapper::IsValidInterface(int devIdx) const {
    return devIdx >= 0 && devIdx < InterfaceCount();
}

FT_HANDLE TFTD2XXWrapper::InterfaceHandle(int devIdx) const {
    return fInterfaceList[static_cast<std::size_t>(devIdx)]->fDeviceHandle;
}

// The break is a zero byte at a lowered baud rate; the statuses are kept but none stops the frame.
void TFTD2XXWrapper::SendBreakAndData(FT_HANDLE handle, const void* pData, FT_DWORD Length) {
    std::uint8_t breakByte = RDMLine::BreakByte;
    FT_DWORD written = 0;
    StoreStatus(Call(FTSetBaudRate, handle, FT_DWORD{RDMLine::BreakBaudRate}));
    StoreStatus(Call(FTWrite, handle, static_cast<void*>(&breakByte), FT_DWORD{1}, &written));
    WaitMarkAfterBreak();
    StoreStatus(Call(FTSetBaudRate, handle, FT_DWORD{RDMLine::DataBaudRate}));
    StoreStatus(Call(FTWrite, handle, const_cast<void*>(pData), Length, &written));
}

void TFTD2XXWrapper::TransmitDMXPackage(int devIdx, const TDMXBuffer& DMXPackage) {
    TDMXBuffer frame = DMXPackage;
    if (!IsValidInterface(devIdx))
        return;
    SendBreakAndData(InterfaceHandle(devIdx), frame.Buffer, sizeof(frame.Buffer));
}

void TFTD2XXWrapper::StreamDataWithBreak(int devIdx, const void* pData, int Length) {
    if (!IsValidInterface(devIdx))
        return;
    // A negative length would reach the driver as a huge unsigned count.
    const FT_DWORD count = (pData == nullptr || Length < 0) ? 0 : static_cast<FT_DWORD>(Length);
    SendBreakAndData(InterfaceHandle(devIdx), pData, count);
}

void TFTD2XXWrapper::SetTransmit(int devIdx) {
    if (IsValidInterface(devIdx))
        StoreStatus(Call(FTClrRts, InterfaceHandle(devIdx)));
}

void TFTD2XXWrapper::SetRecieve(int devIdx) {
    if (IsValidInterface(devIdx))
        StoreStatus(Call(FTSetRts, InterfaceHandle(devIdx)));
}

void TFTD2XXWrapper::PurgeInBuf(int devIdx) {
    if (IsValidInterface(devIdx))
        StoreStatus(Call(FTPurge, InterfaceHandle(devIdx), FT_PURGE_RX));
}

void TFTD2XXWrapper::GetStatus(int devIdx, std::uint32_t& rxQueueCount, std::uint32_t& txQueueCount) {
    rxQueueCount = 0;
    txQueueCount = 0;
    if (!IsValidInterface(devIdx))
        return; // no cable at that position: nothing waits
    FT_DWORD rx = 0;
    FT_DWORD tx = 0;
    FT_DWORD events = 0;
    StoreStatus(Call(FTGetStatus, InterfaceHandle(devIdx), &rx, &tx, &events));
    rxQueueCount = rx;
    txQueueCount = tx;
}

void TFTD2XXWrapper::ReadData(int devIdx, void* Buffer, int toRead, int& Read) {
    if (!IsValidInterface(devIdx))
        return;
    FT_DWORD count = 0;
    const FT_DWORD wanted = (Buffer == nullptr || toRead < 0) ? 0 : static_cast<FT_DWORD>(toRead);
    StoreStatus(Call(FTRead, InterfaceHandle(devIdx), Buffer, wanted, &count));
    Read = static_cast<int>(std::min<FT_DWORD>(count, wanted));
}

void TFTD2XXWrapper::SetTimeOuts(int devIdx, std::uint32_t ReadTimeOut, std::uint32_t WriteTimeout) {
    if (IsValidInterface(devIdx))
        StoreStatus(
            Call(FTSetTimeOuts, InterfaceHandle(devIdx), FT_DWORD{ReadTimeOut}, FT_DWORD{WriteTimeout}));
}

void TFTD2XXWrapper::SetDMXBuffer(const void* p, int Length) {
    if (p == nullptr || Length <= 0)
        return;
    std::lock_guard<std::mutex> guard(DMXLock);
    std::memcpy(fOutData.Buffer, p,
                std::min<std::size_t>(static_cast<std::size_t>(Length), sizeof(fOutData.Buffer)));
}

void TFTD2XXWrapper::SetDMXData(const void* p, int Length) {
    std::lock_guard<std::mutex> guard(DMXLock);
    fOutData.Frame.StartCode = RDMLine::DMXStartCode;
    if (p == nullptr || Length <= 0)
        return;
    std::memcpy(fOutData.Frame.DMXData, p,
                std::min<std::size_t>(static_cast<std::size_t>(Length), sizeof(fOutData.Frame.DMXData)));
}

// ---- RDM transactions ---------------------------------------------------------------------------

// Suspends a running refresh for one transaction and resumes it when the transaction ends, however
// it ends.
class TFTD2XXWrapper::RefreshSuspension {
  public:
    RefreshSuspension(TFTD2XXWrapper& wrapper, int devIdx, bool transmitOnResume)
        : fWrapper(wrapper), fDevIdx(devIdx), fTransmitOnResume(transmitOnResume),
          fSuspended(wrapper.SuspendRefresh()) {}
    ~RefreshSuspension() {
        if (!fSuspended || fKeepSuspended)
            return;
        if (fTransmitOnResume)
            fWrapper.SetTransmit(fDevIdx); // the refresh relies on the line being in transmit
        Platform::Sleep(RDMPostDelay);
        fWrapper.fDisableDMXStream.store(false);
    }
    RefreshSuspension(const RefreshSuspension&) = delete;
    RefreshSuspension& operator=(const RefreshSuspension&) = delete;

    void KeepSuspended() { fKeepSuspended = true; }

  private:
    TFTD2XXWrapper& fWrapper;
    int fDevIdx;
    bool fTransmitOnResume;
    bool fSuspended;
    bool fKeepSuspended = false;
};

// Stops the refresh and waits until one that had started has ended (two ticks), then lets the
// line settle. False when the refresh was already off.
bool TFTD2XXWrapper::SuspendRefresh() {
    bool wasRunning = false;
    if (!fDisableDMXStream.compare_exchange_strong(wasRunning, true))
        return false;
    // Only this wrapper's own timer refreshes its line and brings its ticks; without one, nothing is
    // under way and no tick would come.
    const bool served = hMMTimer != 0 && ActiveWrapper.load() == this;
    const std::int64_t ticksAtStart = fMMTicks.load();
    const std::uint32_t waitStart = Platform::TimeGetTime();
    while (served && fMMTicks.load() - ticksAtStart < 2 &&
           Platform::TimeGetTime() - waitStart <= TickWaitLimitMs)
        std::this_thread::yield();
    Platform::Sleep(RDMPreDelay);
    return true;
}

// Sends a request with the line in transmit and an empty receive buffer, then turns the line
// around for the reply.
void TFTD2XXWrapper::SendRequestForReply(int devIdx, const void* pData, int Length) {
    SetTransmit(devIdx);
    PurgeInBuf(devIdx);
    StreamDataWithBreak(devIdx, pData, Length);
    SetRecieve(devIdx);
}

// Reads one received byte if one waits.
bool TFTD2XXWrapper::PollByte(int devIdx, std::uint8_t& byte) {
    std::uint32_t rx = 0;
    std::uint32_t tx = 0;
    GetStatus(devIdx, rx, tx);
    if (rx == 0)
        return false;
    int read = 0;
    ReadData(devIdx, &byte, 1, read);
    return read == 1;
}

// Collects a reply into an emptied Reply: received bytes are dropped until `StartByte`, stored from
// it on until `Ends` says the reply is over or more than `LimitMs` have passed since collection
// began. Reply.ResponseTimeMs gets the time it took.
void TFTD2XXWrapper::CollectReply(int devIdx, std::uint8_t StartByte, std::uint32_t LimitMs,
                                  bool (*Ends)(const TRDMResponseData&), TRDMResponseData& Reply) {
    const std::uint32_t start = Platform::TimeGetTime();
    std::memset(&Reply, 0, sizeof(Reply));
    // Takes one byte if one is waiting; bytes before the start byte are not part of the reply.
    const auto takeByte = [&] {
        std::uint8_t byte = 0;
        if (!PollByte(devIdx, byte))
            return false;
        if (Reply.ResponseLen > 0 || byte == StartByte)
            Reply.Raw[Reply.ResponseLen++] = byte;
        return true;
    };
    std::uint32_t elapsed = 0;
    do {
        takeByte();
        elapsed = Platform::TimeGetTime() - start;
    } while (elapsed <= LimitMs && !Ends(Reply));
    // A thread held up by a busy machine may find the window closed while bytes that came in time
    // still wait in the driver. So, once the window is closed, whatever is already queued is taken,
    // whenever it arrived: the driver cannot say when a byte came. Nothing more is waited for, and at
    // most one reply's worth is taken, so a line full of noise cannot keep the collection going.
    // ResponseTimeMs stays the time at which the window closed, so a reply completed here is still
    // over its time for the response check.
    for (int late = 0; late <= RDMLine::MaxStoredReplyLen && !Ends(Reply) && takeByte(); ++late) {
    }
    Reply.ResponseTimeMs = elapsed;
}

namespace {

// The length an RDM reply announces in its third byte, with its two checksum bytes; 2 until then.
int AnnouncedReplyLen(const TRDMResponseData& Reply) {
    return static_cast<int>(Reply.Raw[2]) + 2;
}

bool RDMReplyEnds(const TRDMResponseData& Reply) {
    const int announced = AnnouncedReplyLen(Reply);
    return (announced != 2 && Reply.ResponseLen >= announced) ||
           Reply.ResponseLen > RDMLine::MaxStoredReplyLen;
}

bool DiscoveryReplyEnds(const TRDMResponseData& Reply) {
    return Reply.ResponseLen >= RDMLine::DiscoveryReplyLen;
}

} // namespace

bool TFTD2XXWrapper::RDMCommandWithResponse(int DevIdx, const TRDMCommand& Command,
                                            TRDMResponseData& ResponseData, std::uint32_t Timeout) {
    if (!IsValidInterface(DevIdx))
        return false;
    RefreshSuspension suspension(*this, DevIdx, true);

    SendRequestForReply(DevIdx, &Command.CommandData(), Command.MessageLength() + 2);
    CollectReply(DevIdx, RDM_START_CODE, Timeout, RDMReplyEnds, ResponseData);
    // Two bytes alone carry no length byte yet, so they are never a complete reply.
    return ResponseData.ResponseLen > 2 && ResponseData.ResponseLen == AnnouncedReplyLen(ResponseData);
}

bool TFTD2XXWrapper::SendRDMCommand(int DevIdx, const void* pData, int DataLength, bool EnableRx) {
    if (!IsValidInterface(DevIdx))
        return false;
    RefreshSuspension suspension(*this, DevIdx, false);
    if (EnableRx)
        suspension.KeepSuspended(); // the line waits in receive direction: the refresh must stay off
    struct PauseWithoutReception {
        bool pause;
        ~PauseWithoutReception() {
            if (pause)
                Platform::Sleep(RDMLine::PauseAfterSendWithoutReplyMs);
        }
    } pauseAfterSend{!EnableRx};

    SetTransmit(DevIdx);
    if (EnableRx)
        PurgeInBuf(DevIdx);
    StreamDataWithBreak(DevIdx, pData, DataLength);
    if (EnableRx)
        SetRecieve(DevIdx);
    return fLastFTD2XXError.load() == FT_OK;
}

bool TFTD2XXWrapper::DiscoveryCommand(int DevIdx, const TRDMDiscoveryUniqueBranch& Discovery, TUID& UID,
                                      int TimeOut) {
    if (!IsValidInterface(DevIdx))
        return false;
    RefreshSuspension suspension(*this, DevIdx, true);

    SendRequestForReply(DevIdx, &Discovery.CommandData(), Discovery.MessageLength() + 2);
    const std::uint32_t limit = TimeOut < 0 ? 0 : static_cast<std::uint32_t>(TimeOut);
    TRDMResponseData response;
    CollectReply(DevIdx, RDM_DISCOVERY_SEPARATOR, limit, DiscoveryReplyEnds, response);
    return DecodeDiscoveryResponse(UID, response);
}
