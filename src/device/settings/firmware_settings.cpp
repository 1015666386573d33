// The firmware's settings by function number.
#include "firmware_settings.h"

namespace {

const uint32_t kByte = 0xFF;    // an option index in CL
const uint32_t kWord = 0xFFFF;  // the parallel mode word in CX
const uint32_t kOwnType = 0;    // a password, the asset tag, the boot order, the wake setting

// A row whose operations are named "get" and "set" followed by `name`.
// NOLINTNEXTLINE(bugprone-macro-parentheses): `name` is part of two names, not an expression.
#define SETTING(function, width, name, getFailure, setFailure) \
    { (function), (width), "get" #name, "set" #name, (getFailure), (setFailure) }

const FirmwareSetting kSettings[] = {
    {kFnAdminPassword, kOwnType, "getAdminPasswordState", "setAdminPassword", 0,
     L"***ERROR*** Failed to set administrator password!\n"},
    {kFnUserPassword, kOwnType, "getUserPasswordState", "setUserPassword", 0,
     L"***ERROR*** Failed to set user password!\n"},
    SETTING(kFnAssetTag, kOwnType, AssetTag, L"***ERROR*** Failed to get asset tag!\n",
            L"***ERROR*** Failed to set asset tag!\n"),
    SETTING(kFnSerialPort, kByte, SerialPort, L"***ERROR*** Failed to get serial port setting!\n",
            L"***ERROR*** Failed to set serial port setting!\n"),
    SETTING(kFnParallelPort, kByte, ParallelPort, L"***ERROR*** Failed to get parallel port setting!\n",
            L"***ERROR*** Failed to set parallel port setting!\n"),
    SETTING(kFnParallelMode, kWord, ParallelMode, L"***ERROR*** Failed to get parallel port mode!\n",
            L"***ERROR*** Failed to set parallel port mode!\n"),
    SETTING(kFnEppType, kByte, EppType, L"***ERROR*** Failed to get parallel port EPP type!\n",
            L"***ERROR*** Failed to set parallel port EPP type!\n"),
    SETTING(kFnBootSequence, kOwnType, BootSequence, L"***ERROR*** Failed to get boot sequence!\n",
            L"***ERROR*** Failed to set boot sequence!\n"),
    SETTING(kFnPs2Port, kByte, Ps2Port, L"***ERROR*** Failed to get PS2 port setting!\n",
            L"***ERROR*** Failed to set PS2 port setting!\n"),
    SETTING(kFnPowerOnAfterFail, kByte, PowerOnAfterFail, L"***ERROR*** Failed to get PWRON_After_PWRFail setting!\n",
            L"***ERROR*** Failed to set PWRON_After_PWRFail setting!\n"),
    SETTING(kFnUsbController, kByte, UsbController, L"***ERROR*** Failed to get USB controller setting!\n",
            L"***ERROR*** Failed to set USB controller setting!\n"),
    SETTING(kFnWakeOnRtc, kOwnType, WakeOnRtc, L"***ERROR*** Failed to get Wake on RTC setting!\n",
            L"***ERROR*** Failed to set Wake on RTC setting!\n"),
    SETTING(kFnNumlock, kByte, Numlock, L"***ERROR*** Failed to get Numlock setting!\n",
            L"***ERROR*** Failed to set Numlock setting!\n"),
    // The one get that fails silently: a firmware without the setting simply has no S3 section.
    SETTING(kFnS3Support, kByte, S3Support, 0, L"***ERROR*** Failed to set S3 setting!\n"),
};

#undef SETTING

}  // namespace

const FirmwareSetting* firmwareSetting(uint8_t function) {
    for (size_t i = 0; i < sizeof kSettings / sizeof kSettings[0]; ++i) {
        if (kSettings[i].function == function) return &kSettings[i];
    }
    return 0;
}

const FirmwareSetting* choiceSetting(uint8_t function) {
    const FirmwareSetting* setting = firmwareSetting(function);
    return setting != 0 && setting->width != kOwnType ? setting : 0;
}
