// The settings operations of the single-choice sections.
#include "setting_binding.h"

namespace {

const ChoiceBinding kSerialPort = {&BiosService::getSerialPort, &BiosService::setSerialPort, "setSerialPort",
                                   L"***ERROR*** Failed to set serial port address (%d)!\n"};
const ChoiceBinding kParallelPort = {&BiosService::getParallelPort, &BiosService::setParallelPort, "setParallelPort",
                                     L"***ERROR*** Failed to set parallel port address (%d)!\n"};
// The printer mode is the low byte of the parallel mode word; W writes it with DMA byte 0.
const ChoiceBinding kPrinterMode = {&BiosService::getParallelMode, &BiosService::setParallelMode, "setParallelMode",
                                    L"***ERROR*** Failed to set printer mode (%d)!\n"};
const ChoiceBinding kEppType = {&BiosService::getEppType, &BiosService::setEppType, "setEppType",
                                L"***ERROR*** Failed to set parallel port EPP type (%d)!\n"};
const ChoiceBinding kPs2Port = {&BiosService::getPs2Port, &BiosService::setPs2Port, "setPs2Port",
                                L"***ERROR*** Failed to set PS/2 port setting (%d)!\n"};
const ChoiceBinding kPowerFail = {&BiosService::getPowerOnAfterFail, &BiosService::setPowerOnAfterFail,
                                  "setPowerOnAfterFail",
                                  L"***ERROR*** Failed to set PWRON_After_PWRFail setting (%d)!\n"};
const ChoiceBinding kUsbController = {&BiosService::getUsbController, &BiosService::setUsbController,
                                      "setUsbController", L"***ERROR*** Failed to set USB controller setting (%d)!\n"};
const ChoiceBinding kNumlock = {&BiosService::getNumlock, &BiosService::setNumlock, "setNumlock",
                                L"***ERROR*** Failed to set Numlock setting (%d)!\n"};
const ChoiceBinding kS3Support = {&BiosService::getS3Support, &BiosService::setS3Support, "setS3Support",
                                  L"***ERROR*** Failed to set S3 setting (%d)!\n"};

}  // namespace

const ChoiceBinding* choiceBinding(SectionId::Value id) {
    switch (id) {
        case SectionId::SerialPortAddress: return &kSerialPort;
        case SectionId::ParallelPortAddress: return &kParallelPort;
        case SectionId::PrinterMode: return &kPrinterMode;
        case SectionId::ParallelPortEppType: return &kEppType;
        case SectionId::Ps2PortStatus: return &kPs2Port;
        case SectionId::PwronAfterPwrFail: return &kPowerFail;
        case SectionId::UsbController: return &kUsbController;
        case SectionId::Numlock: return &kNumlock;
        case SectionId::S3Support: return &kS3Support;
        default: return 0;
    }
}
