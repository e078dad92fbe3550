#include "AnsiText.h"
#include "HexText.h"
#include "RDMAssert.h"
#include "RDM_Lib.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

const char FactorySignature[16] = {'K', 'E', 'Y', 'S', 'T', 'O', 'N', 'E',
                                   'W', 'O', 'R', 'K', 'S', 'H', 'O', 'P'};

namespace {

constexpr int SignatureSize = static_cast<int>(sizeof(FactorySignature));
// Text and hex bytes that fit behind each layout's fixed part in a packet of at most 231 bytes.
constexpr int MaxSerialBytes = RDM_MAX_PDL - SignatureSize;
constexpr int EEpromSetFixedBytes = static_cast<int>(offsetof(TRDMData_EEpromSet, Data));
constexpr int MaxEEpromSetBytes = RDM_MAX_PDL - EEpromSetFixedBytes;
constexpr int MaxUIDBytes = 6;
static_assert(MaxSerialBytes == 215 && MaxEEpromSetBytes == 212);

void RefuseLonger(std::size_t Count, int Limit, const char* What) {
    if (Count > static_cast<std::size_t>(Limit))
        throw std::length_error(std::string(What) + ": " + std::to_string(Count) + " bytes, at most " +
                                std::to_string(Limit) + " fit in one request");
}

} // namespace

EAssertionFailed::EAssertionFailed(const std::string& Text, int Line)
    : std::logic_error(Text + " (RDM_Lib, line " + std::to_string(Line) + ")"), fLine(Line) {}

std::uint32_t TSoftwareVersionID::D() const {
    std::uint32_t Value;
    std::memcpy(&Value, &Major, sizeof Value);
    return Value;
}

static_assert(std::numeric_limits<float>::is_iec559 && sizeof(float) == 4);

float GetLESingle(const std::uint8_t* P) {
    const std::uint32_t Bits = static_cast<std::uint32_t>(P[0]) | static_cast<std::uint32_t>(P[1]) << 8 |
                               static_cast<std::uint32_t>(P[2]) << 16 |
                               static_cast<std::uint32_t>(P[3]) << 24;
    return std::bit_cast<float>(Bits);
}

void PutLESingle(std::uint8_t* P, float F) {
    const auto Bits = std::bit_cast<std::uint32_t>(F);
    for (int I = 0; I < 4; ++I)
        P[I] = static_cast<std::uint8_t>(Bits >> (8 * I));
}

// ---------------------------------------------------------------------------------------------

TRDMCommand::TRDMCommand() {
    ApplyDefaults();
}

TRDMCommand::TRDMCommand(const TUID& UID) : TRDMCommand() {
    SetDestintationUID(UID);
}

TRDMCommand::TRDMCommand(const TUID& UID, std::uint8_t CC, std::uint16_t PID, bool MakeFinal)
    : TRDMCommand(UID) {
    SetCommand(CC, PID, MakeFinal);
}

TRDMCommand::~TRDMCommand() = default;

void TRDMCommand::ApplyDefaults() {
    std::memset(&fData, 0, sizeof fData);
    fData.StartCode = RDM_START_CODE;
    fData.SubStartCode = RDM_SUB_START_CODE;
    fData.SourceUID = ControllerUID;
    fData.PortID = 1;
    fData.MesLen = RDM_HEADER_SIZE;
    fCheckSum = 0;
}

void TRDMCommand::SetPDL(int PDL) {
    fData.PDL = static_cast<std::uint8_t>(PDL);
    fData.MesLen = static_cast<std::uint8_t>(RDM_HEADER_SIZE + fData.PDL);
}

void TRDMCommand::FinalizeIf(bool MakeFinal) {
    if (MakeFinal)
        Finalize();
}

void TRDMCommand::SetCommand(std::uint8_t CC, std::uint16_t PID, bool MakeFinal) {
    fData.CC = CC;
    std::memcpy(fData.PID, &PID, sizeof PID); // host order until Finalize
    FinalizeIf(MakeFinal);
}

void TRDMCommand::SetByteParam(std::uint8_t B, bool MakeFinal) {
    fData.ByteParam = B;
    SetPDL(1);
    FinalizeIf(MakeFinal);
}

void TRDMCommand::SetWordParam(std::uint16_t W, bool MakeFinal) {
    PutBE16(fData.WordParam, W);
    SetPDL(2);
    FinalizeIf(MakeFinal);
}

void TRDMCommand::SetByteParams(std::uint8_t B0, std::uint8_t B1, std::uint8_t B2, std::uint8_t B3,
                                bool MakeFinal) {
    std::uint8_t* P = ParamArea();
    P[0] = B0;
    P[1] = B1;
    P[2] = B2;
    P[3] = B3;
    SetPDL(4);
    FinalizeIf(MakeFinal);
}

void TRDMCommand::SetEEpromGetParams(std::uint16_t Start, std::uint8_t Count, bool MakeFinal) {
    PutBE16(fData.EEpromGetCommand.EEPromStart, Start);
    fData.EEpromGetCommand.Length = Count;
    SetPDL(sizeof(TRDMData_EEpromGet));
    FinalizeIf(MakeFinal);
}

void TRDMCommand::SetColorOutputValueParams(std::uint8_t Pixel, std::uint8_t Color, std::uint16_t Value,
                                            bool MakeFinal) {
    fData.ColorOutputValue.Pixel = Pixel;
    fData.ColorOutputValue.Color = Color;
    PutBE16(fData.ColorOutputValue.Value, Value);
    SetPDL(sizeof(TRDMData_ColorOutputValue));
    FinalizeIf(MakeFinal);
}

void TRDMCommand::SetColorCalibrationGetData(std::uint8_t Pix, std::uint8_t Col, std::uint8_t Meas,
                                             bool MakeFinal) {
    fData.ColorCalibrationGetData.PixNo = Pix;
    fData.ColorCalibrationGetData.ColNo = Col;
    fData.ColorCalibrationGetData.MeasNo = Meas;
    SetPDL(sizeof(TRDMData_ColorCalibrationGetData));
    FinalizeIf(MakeFinal);
}

void TRDMCommand::SetColorCalibrationSetData(std::uint8_t Pix, std::uint8_t Col, std::uint8_t Meas, float X,
                                             float Y, float Z, std::uint8_t Temp, bool MakeFinal) {
    TRDMData_ColorCalibrationSetData& D = fData.ColorCalibrationSetData;
    D.PixNo = Pix;
    D.ColNo = Col;
    D.MeasNo = Meas;
    PutLESingle(D.X, X);
    PutLESingle(D.Y, Y);
    PutLESingle(D.Z, Z);
    D.Temp = Temp;
    SetPDL(sizeof(TRDMData_ColorCalibrationSetData));
    FinalizeIf(MakeFinal);
}

void TRDMCommand::SetAnsiString(const std::string& S, bool MakeFinal) {
    const std::string Bytes = Utf8ToAnsi(S, SystemAnsiCodePage());
    RefuseLonger(Bytes.size(), RDM_MAX_PDL, "SetAnsiString");
    std::memcpy(ParamArea(), Bytes.data(), Bytes.size());
    SetPDL(static_cast<int>(Bytes.size()));
    FinalizeIf(MakeFinal);
}

void TRDMCommand::SetZYLSerialNumber(const std::string& S, bool MakeFinal) {
    const std::string Bytes = Utf8ToAnsi(S, SystemAnsiCodePage());
    RefuseLonger(Bytes.size(), MaxSerialBytes, "SetZYLSerialNumber");
    std::memcpy(fData.ZYLSerialSet.Signature, FactorySignature, SignatureSize);
    std::memcpy(ParamArea() + SignatureSize, Bytes.data(), Bytes.size());
    SetPDL(SignatureSize + static_cast<int>(Bytes.size()));
    FinalizeIf(MakeFinal);
}

void TRDMCommand::SetParamFromHexString(const std::string& S, bool MakeFinal) {
    const std::vector<std::string> Pairs = HexPairs(S);
    RefuseLonger(Pairs.size(), RDM_MAX_PDL, "SetParamFromHexString");
    // PDL and MesLen follow each stored byte, so a bad pair leaves a consistent shorter packet.
    for (std::size_t I = 0; I < Pairs.size(); ++I) {
        ParamArea()[I] = HexPairToByte(Pairs[I]);
        SetPDL(static_cast<int>(I + 1));
    }
    FinalizeIf(MakeFinal);
}

void TRDMCommand::SetUIDParamFromString(const std::string& S, bool MakeFinal) {
    const std::vector<std::string> Pairs = HexPairs(S);
    const std::size_t Count = std::min<std::size_t>(Pairs.size(), MaxUIDBytes); // the rest is ignored
    std::memcpy(fData.UIDSetCommand.Signature, FactorySignature, SignatureSize);
    fData.PDL = SignatureSize;
    for (std::size_t I = 0; I < Count; ++I) {
        fData.UIDSetCommand.UID[I] = HexPairToByte(Pairs[I]);
        ++fData.PDL;
    }
    SetPDL(fData.PDL);
    FinalizeIf(MakeFinal);
}

void TRDMCommand::SetEEpromSetParams(std::uint16_t Start, std::uint8_t Count, const std::string& Hex,
                                     bool MakeFinal) {
    const std::vector<std::string> Pairs = HexPairs(Hex);
    RefuseLonger(Pairs.size(), MaxEEpromSetBytes, "SetEEpromSetParams");
    TRDMData_EEpromSet& D = fData.EEpromSetCommand;
    std::memcpy(D.Signature, FactorySignature, SignatureSize);
    PutBE16(D.EEPromStart, Start);
    D.Length = Count; // as given, whatever the number of data bytes
    fData.PDL = EEpromSetFixedBytes;
    for (std::size_t I = 0; I < Pairs.size(); ++I) {
        D.Data[I] = HexPairToByte(Pairs[I]);
        ++fData.PDL;
    }
    SetPDL(fData.PDL);
    FinalizeIf(MakeFinal);
}

void TRDMCommand::Finalize() {
    RDM_ASSERT(fData.PID[0] != 0 || fData.PID[1] != 0, "Assertion failure");
    RDM_ASSERT(fData.CC != 0, "Assertion failure");
    std::uint16_t HostPID;
    std::memcpy(&HostPID, fData.PID, sizeof HostPID);
    PutBE16(fData.PID, HostPID);
    CalcCheckSum();
}

void TRDMCommand::CalcCheckSum() {
    std::uint8_t* const Position = CheckSumAdr();
    const auto* Byte = reinterpret_cast<const std::uint8_t*>(&fData);
    std::uint16_t Sum = 0;
    for (; Byte != Position; ++Byte)
        Sum = static_cast<std::uint16_t>(Sum + *Byte);
    PutBE16(Position, Sum);
    fCheckSum = Sum;
}

std::uint8_t* TRDMCommand::CheckSumAdr() {
    return reinterpret_cast<std::uint8_t*>(&fData) + fData.MesLen;
}

// ---------------------------------------------------------------------------------------------

TRDMDiscoveryUniqueBranch::TRDMDiscoveryUniqueBranch() : TRDMCommand() {
    ApplyDiscoveryDefaults();
}

TRDMDiscoveryUniqueBranch::TRDMDiscoveryUniqueBranch(const TUID& UID) : TRDMDiscoveryUniqueBranch() {
    SetDestintationUID(UID);
}

TRDMDiscoveryUniqueBranch::TRDMDiscoveryUniqueBranch(const TUID& UID, std::uint8_t CC, std::uint16_t PID,
                                                     bool MakeFinal)
    : TRDMDiscoveryUniqueBranch(UID) {
    SetCommand(CC, PID, MakeFinal);
}

TRDMDiscoveryUniqueBranch::TRDMDiscoveryUniqueBranch(const TUID& LowBound, const TUID& HighBound)
    : TRDMDiscoveryUniqueBranch() {
    fData.UniqueBranch.LowBound = LowBound;
    fData.UniqueBranch.HighBound = HighBound;
}

void TRDMDiscoveryUniqueBranch::ApplyDiscoveryDefaults() {
    fData.DestinationUID = BroadcastUID;
    SetCommand(CC_DISCOVERY_COMMAND, PID_DISC_UNIQUE_BRANCH, false);
    fData.UniqueBranch.LowBound = NullUID;
    fData.UniqueBranch.HighBound = BroadcastUID;
    SetPDL(sizeof(TUID) * 2); // MesLen 36
}
