// RDM (ANSI E1.20) packets as byte-exact records, the request builder, the reply check, the
// decoding of discovery replies and the names of parameters and check outcomes.
//
// Every record here goes on the wire as it lies in memory, so multi-byte integers are byte
// arrays in wire order (most significant byte first); read and write them with GetBE16/PutBE16.
// The one exception is the PID of a request under construction: it stays in host order until
// Finalize puts it into wire order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

// ---------------------------------------------------------------------------------------------
// Wire-order helpers

inline std::uint16_t GetBE16(const std::uint8_t* P) {
    return static_cast<std::uint16_t>((P[0] << 8) | P[1]);
}
inline void PutBE16(std::uint8_t* P, std::uint16_t W) {
    P[0] = static_cast<std::uint8_t>(W >> 8);
    P[1] = static_cast<std::uint8_t>(W & 0xFF);
}

// ---------------------------------------------------------------------------------------------
// Command classes, response types and parameter IDs

inline constexpr std::uint8_t CC_DISCOVERY_COMMAND = 0x10;
inline constexpr std::uint8_t CC_DISCOVERY_COMMAND_RESPONSE = 0x11;
inline constexpr std::uint8_t CC_GET_COMMAND = 0x20;
inline constexpr std::uint8_t CC_GET_COMMAND_RESPONSE = 0x21;
inline constexpr std::uint8_t CC_SET_COMMAND = 0x30;
inline constexpr std::uint8_t CC_SET_COMMAND_RESPONSE = 0x31;

inline constexpr std::uint8_t RESPONSE_TYPE_ACK = 0x00;
inline constexpr std::uint8_t RESPONSE_TYPE_ACK_TIMER = 0x01;
inline constexpr std::uint8_t RESPONSE_TYPE_NACK_REASON = 0x02;
inline constexpr std::uint8_t RESPONSE_TYPE_ACK_OVERFLOW = 0x03;

inline constexpr std::uint8_t RDM_START_CODE = 0xCC;
inline constexpr std::uint8_t RDM_SUB_START_CODE = 0x01;
inline constexpr std::uint8_t RDM_DISCOVERY_SEPARATOR = 0xAA;
inline constexpr int RDM_HEADER_SIZE = 24;
inline constexpr int RDM_MAX_PDL = 231; // MesLen is one byte: 24 + 231 = 255

inline constexpr std::uint16_t PID_DISC_UNIQUE_BRANCH = 0x0001;
inline constexpr std::uint16_t PID_DISC_MUTE = 0x0002;
inline constexpr std::uint16_t PID_DISC_UN_MUTE = 0x0003;
inline constexpr std::uint16_t PID_SUPPORTED_PARAMETERS = 0x0050;
inline constexpr std::uint16_t PID_DEVICE_INFO = 0x0060;
inline constexpr std::uint16_t PID_DEVICE_MODEL_DESCRIPTION = 0x0080;
inline constexpr std::uint16_t PID_DEVICE_LABEL = 0x0082;
inline constexpr std::uint16_t PID_SOFTWARE_VERSION_LABEL = 0x00C0;
inline constexpr std::uint16_t PID_DMX_PERSONALITY = 0x00E0;
inline constexpr std::uint16_t PID_DMX_PERSONALITY_DESCRIPTION = 0x00E1;
inline constexpr std::uint16_t PID_DMX_START_ADDRESS = 0x00F0;
inline constexpr std::uint16_t PID_SENSOR_DEFINITION = 0x0200;
inline constexpr std::uint16_t PID_SENSOR_VALUE = 0x0201;
inline constexpr std::uint16_t PID_STATUS_LED = 0x0501; // no name: prints as (0x0501)
inline constexpr std::uint16_t PID_IDENTIFY_DEVICE = 0x1000;
inline constexpr std::uint16_t PID_RESET_DEVICE = 0x1001;
inline constexpr std::uint16_t PID_ZYL_INTERNAL_STATUSFLAGS = 0xA100;
inline constexpr std::uint16_t PID_ZYL_EEPROM = 0xA101;
inline constexpr std::uint16_t PID_ZYL_SERIALNUMBER = 0xA102;
inline constexpr std::uint16_t PID_ZYL_COLORCALIBRATIONDATA = 0xA103;
inline constexpr std::uint16_t PID_ZYL_MISC_CONTROL = 0xA105;
inline constexpr std::uint16_t PID_ZYL_UNIQUE_ID = 0xA106;
inline constexpr std::uint16_t PID_ZYL_UID = 0xA107;
inline constexpr std::uint16_t PID_ZYL_COLOR_OUTPUT = 0xA108;
inline constexpr std::uint16_t PID_ZYL_CALIBRATIONDATE = 0xA109;

// Outcomes of CheckRDMResponse, kept in TRDMResponseData::ErrorCode.
inline constexpr std::int32_t RDM_ERR_NONE = 0;
inline constexpr std::int32_t RDM_ERR_TOO_SHORT = 1;
inline constexpr std::int32_t RDM_ERR_CHECKSUM = 2;
inline constexpr std::int32_t RDM_ERR_CC = 3;
inline constexpr std::int32_t RDM_ERR_PID = 4;
inline constexpr std::int32_t RDM_ERR_NACK = 5;
inline constexpr std::int32_t RDM_ERR_TIMEOUT = 6;

// ---------------------------------------------------------------------------------------------
// Exceptions

// A programming error or an unsupported reply; the message reads "<text> (RDM_Lib, line <n>)".
class EAssertionFailed : public std::logic_error {
  public:
    EAssertionFailed(const std::string& Text, int Line);
    int Line() const { return fLine; }

  private:
    int fLine;
};

// A pair of characters in a hexadecimal text that is no hexadecimal number.
class EConvertError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// ---------------------------------------------------------------------------------------------
// Wire records

#pragma pack(push, 1)

// Manufacturer ID (bytes 0-1) and device ID (bytes 2-5), most significant byte first.
struct TUID {
    std::uint8_t Bytes[6];
    friend bool operator==(const TUID&, const TUID&) = default;
};

inline constexpr TUID NullUID{{0x00, 0x00, 0x00, 0x00, 0x00, 0x00}};
inline constexpr TUID BroadcastUID{{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
inline constexpr TUID ControllerUID{{0x5A, 0x59, 0x00, 0x00, 0x00, 0x01}};

// Major is the first of the four bytes on the wire. D() reads the four bytes as one host-order
// value, as an overlay of the bytes would.
struct TSoftwareVersionID {
    std::uint8_t Major, Minor, NA, Beta;
    std::uint32_t D() const;
};

struct TRDMData_NoData {
    std::uint8_t CheckSumHi;
    std::uint8_t CheckSumLow;
};

struct TRDMDiscoveryUniqueBranchData {
    TUID LowBound;
    TUID HighBound;
    std::uint8_t CheckSumHi;
    std::uint8_t CheckSumLow;
};

struct TRDMData_DeviceInfoResponse {
    std::uint8_t RDMProtocolVer[2];
    std::uint8_t DeviceModelID[2];
    std::uint8_t ProductCategory[2];
    TSoftwareVersionID SoftwareVersionId;
    std::uint8_t DMX512Footprint[2];
    std::uint8_t DMX512PersonalityCurrent;
    std::uint8_t DMX512PersonalityTotal;
    std::uint8_t DMX512StartAdr[2];
    std::uint8_t SubDeviceCount[2];
    std::uint8_t SensorCount;
};

// A text of PDL 8-bit characters without terminator begins at pTextStart.
struct TSoftwareVersionLabelResponse {
    std::uint8_t pTextStart[462];
};

struct TRDMData_UnMuteResponse2 {
    std::uint8_t ControlField[2];
};

struct TRDMData_UnMuteResponse8 {
    std::uint8_t ControlField[2];
    std::uint8_t Binding[6];
};

struct TRDMData_DMXPersonalityGet {
    std::uint8_t CurrentPersonality;
    std::uint8_t NoPersonalities;
};

// A text of PDL - 3 characters begins at Text.
struct TRDMData_PersonalityDescriptionResponse {
    std::uint8_t Personality;
    std::uint8_t DMXFootprint[2];
    std::uint8_t Text[459];
};

struct TRDMData_ZYLSerialSet {
    std::uint8_t Signature[16];
    std::uint8_t Serial[32];
};

struct TRDMData_SensorDefinition {
    std::uint8_t SensorNo;
    std::uint8_t SensorType;
    std::uint8_t SensorUnit;
    std::uint8_t SensorPrefix;
    std::uint8_t RangeMin[2];
    std::uint8_t RangeMax[2];
    std::uint8_t NormalMin[2];
    std::uint8_t NormalMax[2];
    std::uint8_t RecordedValueSupport;
    std::uint8_t Description[32];
};

struct TRDMData_NACKReason {
    std::uint8_t NACK_ReasonCode[2];
};

struct TRDMData_SensorValue {
    std::uint8_t SensorNo;
    std::uint8_t PresentValue[2];
    std::uint8_t LowestValue[2];
    std::uint8_t HighestValue[2];
    std::uint8_t RecordedValue[2];
};

struct TRDMData_EEpromGet {
    std::uint8_t EEPromStart[2];
    std::uint8_t Length;
};

struct TRDMData_EEpromSet {
    std::uint8_t Signature[16];
    std::uint8_t EEPromStart[2];
    std::uint8_t Length;
    std::uint8_t Data[213];
};

struct TRDMData_UIDSet {
    std::uint8_t Signature[16];
    std::uint8_t UID[232];
};

struct TRDMData_ColorOutputValue {
    std::uint8_t Pixel;
    std::uint8_t Color;
    std::uint8_t Value[2];
};

struct TRDMData_CPUIDResponseData {
    std::uint8_t Count;
    std::uint8_t No;
    std::uint8_t IdData[460];
};

struct TRDMData_ColorCalibrationGetData {
    std::uint8_t PixNo;
    std::uint8_t ColNo;
    std::uint8_t MeasNo;
};

// Singles are IEEE-754, least significant byte first; read them with GetLESingle.
struct TRDMData_ColorCalibrationResponseData {
    std::uint8_t X[4];
    std::uint8_t Y[4];
    std::uint8_t Z[4];
    std::uint8_t Temp;
};

struct TRDMData_ColorCalibrationSetData {
    std::uint8_t PixNo;
    std::uint8_t ColNo;
    std::uint8_t MeasNo;
    std::uint8_t X[4];
    std::uint8_t Y[4];
    std::uint8_t Z[4];
    std::uint8_t Temp;
};

// One RDM packet: a 24-byte header and a 462-byte parameter area read through any layout.
// The checksum follows the parameter data at offset MesLen, inside the parameter area.
struct TRDMData {
    std::uint8_t StartCode;
    std::uint8_t SubStartCode;
    std::uint8_t MesLen;
    TUID DestinationUID;
    TUID SourceUID;
    std::uint8_t TN;
    std::uint8_t PortID; // response type in a reply
    std::uint8_t MesCount;
    std::uint8_t SubDevice[2];
    std::uint8_t CC;
    std::uint8_t PID[2];
    std::uint8_t PDL;
    union {
        TRDMData_NoData NoData;
        TRDMDiscoveryUniqueBranchData UniqueBranch;
        TRDMData_DeviceInfoResponse DeviceInfoResponse;
        TSoftwareVersionLabelResponse SoftwareLabelResponse;
        TRDMData_UnMuteResponse2 UnMuteResponse2;
        TRDMData_UnMuteResponse8 UnMuteResponse8;
        char AnsiString[462];
        std::uint8_t WordParam[2];
        TRDMData_DMXPersonalityGet DMXPersonalityGet;
        std::uint8_t ByteParam;
        TRDMData_PersonalityDescriptionResponse DMXPersonalityDescriptionResponse;
        std::uint8_t WordParams[231][2];
        std::uint8_t Raw[462];
        TRDMData_ZYLSerialSet ZYLSerialSet;
        TRDMData_SensorDefinition SensorDefinition;
        TRDMData_NACKReason NACK_reason;
        TRDMData_SensorValue SensorValue;
        TRDMData_EEpromGet EEpromGetCommand;
        TRDMData_EEpromSet EEpromSetCommand;
        TRDMData_UIDSet UIDSetCommand;
        TRDMData_ColorOutputValue ColorOutputValue;
        TRDMData_CPUIDResponseData CPUIDResponseData;
        TRDMData_ColorCalibrationGetData ColorCalibrationGetData;
        TRDMData_ColorCalibrationResponseData ColorCalibrationResponseData;
        TRDMData_ColorCalibrationSetData ColorCalibrationSetData;
    };
};

// A received reply. Raw holds the bytes as received (0xCC first for an ordinary reply, the
// separator 0xAA first for a discovery reply); bytes beyond ResponseLen are zero.
struct TRDMResponseData {
    std::int32_t ResponseLen;
    std::uint32_t ResponseTimeMs;
    std::uint16_t ChkSum; // the reply's two checksum bytes as they lie on the wire
    std::int32_t ErrorCode;
    union {
        std::uint8_t Raw[512];
        TRDMData Data;
    };
};

#pragma pack(pop)

static_assert(sizeof(TUID) == 6);
static_assert(sizeof(TSoftwareVersionID) == 4);
static_assert(offsetof(TSoftwareVersionID, Major) == 0 && offsetof(TSoftwareVersionID, Minor) == 1 &&
              offsetof(TSoftwareVersionID, NA) == 2 && offsetof(TSoftwareVersionID, Beta) == 3);

static_assert(sizeof(TRDMData_NoData) == 2);
static_assert(offsetof(TRDMData_NoData, CheckSumLow) == 1);
static_assert(sizeof(TRDMDiscoveryUniqueBranchData) == 14);
static_assert(offsetof(TRDMDiscoveryUniqueBranchData, HighBound) == 6 &&
              offsetof(TRDMDiscoveryUniqueBranchData, CheckSumHi) == 12 &&
              offsetof(TRDMDiscoveryUniqueBranchData, CheckSumLow) == 13);
static_assert(sizeof(TRDMData_DeviceInfoResponse) == 19);
static_assert(offsetof(TRDMData_DeviceInfoResponse, DeviceModelID) == 2 &&
              offsetof(TRDMData_DeviceInfoResponse, ProductCategory) == 4 &&
              offsetof(TRDMData_DeviceInfoResponse, SoftwareVersionId) == 6 &&
              offsetof(TRDMData_DeviceInfoResponse, DMX512Footprint) == 10 &&
              offsetof(TRDMData_DeviceInfoResponse, DMX512PersonalityCurrent) == 12 &&
              offsetof(TRDMData_DeviceInfoResponse, DMX512PersonalityTotal) == 13 &&
              offsetof(TRDMData_DeviceInfoResponse, DMX512StartAdr) == 14 &&
              offsetof(TRDMData_DeviceInfoResponse, SubDeviceCount) == 16 &&
              offsetof(TRDMData_DeviceInfoResponse, SensorCount) == 18);
static_assert(sizeof(TRDMData_UnMuteResponse2) == 2);
static_assert(sizeof(TRDMData_UnMuteResponse8) == 8 && offsetof(TRDMData_UnMuteResponse8, Binding) == 2);
static_assert(sizeof(TRDMData_DMXPersonalityGet) == 2 &&
              offsetof(TRDMData_DMXPersonalityGet, NoPersonalities) == 1);
static_assert(offsetof(TRDMData_PersonalityDescriptionResponse, DMXFootprint) == 1 &&
              offsetof(TRDMData_PersonalityDescriptionResponse, Text) == 3);
static_assert(sizeof(TRDMData_ZYLSerialSet) == 48 && offsetof(TRDMData_ZYLSerialSet, Serial) == 16);
static_assert(sizeof(TRDMData_SensorDefinition) == 45);
static_assert(offsetof(TRDMData_SensorDefinition, SensorType) == 1 &&
              offsetof(TRDMData_SensorDefinition, SensorUnit) == 2 &&
              offsetof(TRDMData_SensorDefinition, SensorPrefix) == 3 &&
              offsetof(TRDMData_SensorDefinition, RangeMin) == 4 &&
              offsetof(TRDMData_SensorDefinition, RangeMax) == 6 &&
              offsetof(TRDMData_SensorDefinition, NormalMin) == 8 &&
              offsetof(TRDMData_SensorDefinition, NormalMax) == 10 &&
              offsetof(TRDMData_SensorDefinition, RecordedValueSupport) == 12 &&
              offsetof(TRDMData_SensorDefinition, Description) == 13);
static_assert(sizeof(TRDMData_NACKReason) == 2);
static_assert(sizeof(TRDMData_SensorValue) == 9);
static_assert(offsetof(TRDMData_SensorValue, PresentValue) == 1 &&
              offsetof(TRDMData_SensorValue, LowestValue) == 3 &&
              offsetof(TRDMData_SensorValue, HighestValue) == 5 &&
              offsetof(TRDMData_SensorValue, RecordedValue) == 7);
static_assert(sizeof(TRDMData_EEpromGet) == 3 && offsetof(TRDMData_EEpromGet, Length) == 2);
static_assert(sizeof(TRDMData_EEpromSet) == 232);
static_assert(offsetof(TRDMData_EEpromSet, EEPromStart) == 16 && offsetof(TRDMData_EEpromSet, Length) == 18 &&
              offsetof(TRDMData_EEpromSet, Data) == 19);
static_assert(sizeof(TRDMData_UIDSet) == 248 && offsetof(TRDMData_UIDSet, UID) == 16);
static_assert(sizeof(TRDMData_ColorOutputValue) == 4);
static_assert(offsetof(TRDMData_ColorOutputValue, Color) == 1 &&
              offsetof(TRDMData_ColorOutputValue, Value) == 2);
static_assert(sizeof(TRDMData_CPUIDResponseData) == 462);
static_assert(offsetof(TRDMData_CPUIDResponseData, No) == 1 &&
              offsetof(TRDMData_CPUIDResponseData, IdData) == 2);
static_assert(sizeof(TRDMData_ColorCalibrationGetData) == 3);
static_assert(offsetof(TRDMData_ColorCalibrationGetData, ColNo) == 1 &&
              offsetof(TRDMData_ColorCalibrationGetData, MeasNo) == 2);
static_assert(sizeof(TRDMData_ColorCalibrationResponseData) == 13);
static_assert(offsetof(TRDMData_ColorCalibrationResponseData, Y) == 4 &&
              offsetof(TRDMData_ColorCalibrationResponseData, Z) == 8 &&
              offsetof(TRDMData_ColorCalibrationResponseData, Temp) == 12);
static_assert(sizeof(TRDMData_ColorCalibrationSetData) == 16);
static_assert(offsetof(TRDMData_ColorCalibrationSetData, ColNo) == 1 &&
              offsetof(TRDMData_ColorCalibrationSetData, MeasNo) == 2 &&
              offsetof(TRDMData_ColorCalibrationSetData, X) == 3 &&
              offsetof(TRDMData_ColorCalibrationSetData, Y) == 7 &&
              offsetof(TRDMData_ColorCalibrationSetData, Z) == 11 &&
              offsetof(TRDMData_ColorCalibrationSetData, Temp) == 15);

static_assert(sizeof(TRDMData) == 486);
static_assert(offsetof(TRDMData, StartCode) == 0 && offsetof(TRDMData, SubStartCode) == 1 &&
              offsetof(TRDMData, MesLen) == 2 && offsetof(TRDMData, DestinationUID) == 3 &&
              offsetof(TRDMData, SourceUID) == 9 && offsetof(TRDMData, TN) == 15 &&
              offsetof(TRDMData, PortID) == 16 && offsetof(TRDMData, MesCount) == 17 &&
              offsetof(TRDMData, SubDevice) == 18 && offsetof(TRDMData, CC) == 20 &&
              offsetof(TRDMData, PID) == 21 && offsetof(TRDMData, PDL) == 23);
static_assert(offsetof(TRDMData, NoData) == 24 && offsetof(TRDMData, UniqueBranch) == 24 &&
              offsetof(TRDMData, DeviceInfoResponse) == 24 &&
              offsetof(TRDMData, SoftwareLabelResponse) == 24 && offsetof(TRDMData, UnMuteResponse2) == 24 &&
              offsetof(TRDMData, UnMuteResponse8) == 24 && offsetof(TRDMData, AnsiString) == 24 &&
              offsetof(TRDMData, WordParam) == 24 && offsetof(TRDMData, DMXPersonalityGet) == 24 &&
              offsetof(TRDMData, ByteParam) == 24 &&
              offsetof(TRDMData, DMXPersonalityDescriptionResponse) == 24 &&
              offsetof(TRDMData, WordParams) == 24 && offsetof(TRDMData, Raw) == 24 &&
              offsetof(TRDMData, ZYLSerialSet) == 24 && offsetof(TRDMData, SensorDefinition) == 24 &&
              offsetof(TRDMData, NACK_reason) == 24 && offsetof(TRDMData, SensorValue) == 24 &&
              offsetof(TRDMData, EEpromGetCommand) == 24 && offsetof(TRDMData, EEpromSetCommand) == 24 &&
              offsetof(TRDMData, UIDSetCommand) == 24 && offsetof(TRDMData, ColorOutputValue) == 24 &&
              offsetof(TRDMData, CPUIDResponseData) == 24 &&
              offsetof(TRDMData, ColorCalibrationGetData) == 24 &&
              offsetof(TRDMData, ColorCalibrationResponseData) == 24 &&
              offsetof(TRDMData, ColorCalibrationSetData) == 24);

static_assert(sizeof(TRDMResponseData) == 526);
static_assert(offsetof(TRDMResponseData, ResponseLen) == 0 &&
              offsetof(TRDMResponseData, ResponseTimeMs) == 4 && offsetof(TRDMResponseData, ChkSum) == 8 &&
              offsetof(TRDMResponseData, ErrorCode) == 10 && offsetof(TRDMResponseData, Raw) == 14 &&
              offsetof(TRDMResponseData, Data) == 14);

// Singles in the manufacturer layouts: IEEE-754, least significant byte first on every host.
float GetLESingle(const std::uint8_t* P);
void PutLESingle(std::uint8_t* P, float F);

// Opens the manufacturer's SET layouts; 16 characters, no terminator.
extern const char FactorySignature[16];

// ---------------------------------------------------------------------------------------------
// Requests

// One request under construction, sealed by Finalize (exactly once) before it is sent. The
// cable layer sends the first MessageLength() + 2 bytes of CommandData().
class TRDMCommand {
  public:
    TRDMCommand();
    explicit TRDMCommand(const TUID& UID);
    TRDMCommand(const TUID& UID, std::uint8_t CC, std::uint16_t PID, bool MakeFinal);
    TRDMCommand(const TRDMCommand&) = default;
    TRDMCommand& operator=(const TRDMCommand&) = default;
    virtual ~TRDMCommand();

    const TRDMData& CommandData() const { return fData; }
    int MessageLength() const { return fData.MesLen; }
    std::uint16_t CheckSum() const { return fCheckSum; }
    TUID DestintationUID() const { return fData.DestinationUID; }
    void SetDestintationUID(const TUID& UID) { fData.DestinationUID = UID; }

    void SetCommand(std::uint8_t CC, std::uint16_t PID, bool MakeFinal);

    // Each setter writes only its own bytes of the parameter area, then PDL and MesLen.
    void SetByteParam(std::uint8_t B, bool MakeFinal);
    void SetWordParam(std::uint16_t W, bool MakeFinal);
    void SetByteParams(std::uint8_t B0, std::uint8_t B1, std::uint8_t B2, std::uint8_t B3, bool MakeFinal);
    void SetEEpromGetParams(std::uint16_t Start, std::uint8_t Count, bool MakeFinal);
    void SetColorOutputValueParams(std::uint8_t Pixel, std::uint8_t Color, std::uint16_t Value,
                                   bool MakeFinal);
    void SetColorCalibrationGetData(std::uint8_t Pix, std::uint8_t Col, std::uint8_t Meas, bool MakeFinal);
    void SetColorCalibrationSetData(std::uint8_t Pix, std::uint8_t Col, std::uint8_t Meas, float X, float Y,
                                    float Z, std::uint8_t Temp, bool MakeFinal);

    // Texts are UTF-8; they go on the wire as 8-bit characters (see AnsiText.h). The text and
    // hexadecimal setters throw std::length_error, leaving the request unchanged, when the
    // result would not fit in one packet; the hexadecimal ones throw EConvertError on a pair
    // that is no hexadecimal number, keeping the bytes stored before it.
    void SetAnsiString(const std::string& S, bool MakeFinal);
    void SetZYLSerialNumber(const std::string& S, bool MakeFinal);
    void SetParamFromHexString(const std::string& S, bool MakeFinal);
    void SetUIDParamFromString(const std::string& S, bool MakeFinal);
    void SetEEpromSetParams(std::uint16_t Start, std::uint8_t Count, const std::string& Hex, bool MakeFinal);

    // Puts the PID into wire order and writes the checksum. Throws EAssertionFailed when the PID
    // or the command class is 0, changing nothing.
    virtual void Finalize();
    void CalcCheckSum();
    virtual std::uint8_t* CheckSumAdr();

  protected:
    std::uint16_t fCheckSum = 0;
    TRDMData fData;

    std::uint8_t* ParamArea() { return fData.Raw; }
    void SetPDL(int PDL); // and MesLen = 24 + PDL
    void FinalizeIf(bool MakeFinal);

  private:
    void ApplyDefaults();
};

// DISC_UNIQUE_BRANCH to the broadcast address. Not finalized by its constructors: call Finalize
// before sending.
class TRDMDiscoveryUniqueBranch : public TRDMCommand {
  public:
    TRDMDiscoveryUniqueBranch();
    // The constructors a TRDMCommand offers, starting from the discovery defaults.
    explicit TRDMDiscoveryUniqueBranch(const TUID& UID);
    TRDMDiscoveryUniqueBranch(const TUID& UID, std::uint8_t CC, std::uint16_t PID, bool MakeFinal);
    TRDMDiscoveryUniqueBranch(const TUID& LowBound, const TUID& HighBound);

  private:
    void ApplyDiscoveryDefaults();
};

// ---------------------------------------------------------------------------------------------
// Replies

// Checks a reply against the finalized request that was sent and sets Response.ErrorCode and
// Response.ChkSum. True when the reply answers the request, a NACK included; callers decide by
// ErrorCode. Throws EAssertionFailed for a request class other than discovery, GET or SET and
// for the response types ACK_TIMER and ACK_OVERFLOW.
bool CheckRDMResponse(const TRDMCommand& Command, TRDMResponseData& Response, std::uint32_t MaxTimeMs);

// Decodes the reply to DISC_UNIQUE_BRANCH. True when a separator lies among the first 8 bytes,
// the 16 encoded bytes behind it were all received and their checksum matches. UID holds the
// decoded bytes whenever they were all received, NullUID otherwise.
bool DecodeDiscoveryResponse(TUID& UID, const TRDMResponseData& Response);

// ---------------------------------------------------------------------------------------------
// Names and texts

// The parameter's name, or "(0xHHHH)" for one without a name. PID in host order.
std::string RDMPIDToString(std::uint16_t PID);
// The text for Response.ErrorCode: empty for 0.
std::string RDMErrorToString(const TRDMResponseData& Response);
// A counted 8-bit text from a reply (at most 255 characters, zero bytes kept) as UTF-8.
std::string RDMTextToString(const std::uint8_t* Data, std::int32_t Len);
