#include "AnsiText.h"
#include "RDM_Lib.h"

#include <algorithm>
#include <cstdio>

namespace {

struct TPIDName {
    std::uint16_t PID;
    const char* Name;
};

constexpr TPIDName PIDNames[] = {
    {PID_DISC_UNIQUE_BRANCH, "DISC_UNIQUE_BRANCH"},
    {PID_DISC_MUTE, "DISC_MUTE"},
    {PID_DISC_UN_MUTE, "DISC_UN_MUTE"},
    {PID_SUPPORTED_PARAMETERS, "SUPPORTED_PARAMETERS"},
    {PID_DEVICE_INFO, "DEVICE_INFO"},
    {PID_DEVICE_MODEL_DESCRIPTION, "DEVICE_MODEL_DESCRIPTION"},
    {PID_DEVICE_LABEL, "DEVICE_LABEL"},
    {PID_SOFTWARE_VERSION_LABEL, "SOFTWARE_VERSION_LABEL"},
    {PID_DMX_PERSONALITY, "DMX_PERSONALITY"},
    {PID_DMX_PERSONALITY_DESCRIPTION, "DMX_PERSONALITY_DESCRIPTION"},
    {PID_DMX_START_ADDRESS, "DMX_START_ADDRESS"},
    {PID_SENSOR_DEFINITION, "SENSOR_DEFINITION"},
    {PID_SENSOR_VALUE, "SENSOR_VALUE"},
    {PID_IDENTIFY_DEVICE, "IDENTIFY_DEVICE"},
    {PID_RESET_DEVICE, "RESET_DEVICE"},
    {PID_ZYL_INTERNAL_STATUSFLAGS, "ZYL_INTERNAL_STATUSFLAGS"},
    {PID_ZYL_EEPROM, "ZYL_EEPROM"},
    {PID_ZYL_SERIALNUMBER, "ZYL_SERIALNUMBER"},
    {PID_ZYL_COLORCALIBRATIONDATA, "ZYL_COLORCALIBRATIONDATA"},
    {PID_ZYL_MISC_CONTROL, "ZYL_MISC_CONTROL"},
    {PID_ZYL_UNIQUE_ID, "ZYL_UNIQUE_ID"},
    {PID_ZYL_UID, "ZYL_UID"},
    {PID_ZYL_COLOR_OUTPUT, "ZYL_COLOR_OUTPUT"},
    {PID_ZYL_CALIBRATIONDATE, "ZYL_CALIBRATIONDATE"},
};

constexpr const char* ErrorTexts[] = {
    "",                          // RDM_ERR_NONE
    "Response length too short", // RDM_ERR_TOO_SHORT
    "Response checksum error",   // RDM_ERR_CHECKSUM
    "Response CC error",         // RDM_ERR_CC
    "Response PID error",        // RDM_ERR_PID
    "Response NACK",             // RDM_ERR_NACK
    "Timeout",                   // RDM_ERR_TIMEOUT
};

constexpr std::int32_t MaxTextLength = 255;

} // namespace

std::string RDMPIDToString(std::uint16_t PID) {
    for (const TPIDName& Entry : PIDNames)
        if (Entry.PID == PID)
            return Entry.Name;
    char Text[16];
    std::snprintf(Text, sizeof Text, "(0x%.4X)", static_cast<unsigned>(PID));
    return Text;
}

std::string RDMErrorToString(const TRDMResponseData& Response) {
    const std::int32_t Code = Response.ErrorCode;
    if (Code >= 0 && Code < static_cast<std::int32_t>(std::size(ErrorTexts)))
        return ErrorTexts[Code];
    return "Code = " + std::to_string(Code);
}

std::string RDMTextToString(const std::uint8_t* Data, std::int32_t Len) {
    if (Len <= 0)
        return {};
    return AnsiToUtf8(Data, static_cast<std::size_t>(std::min(Len, MaxTextLength)), SystemAnsiCodePage());
}
